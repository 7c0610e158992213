// The login against Dovecot: CRAM-MD5 with the right and a wrong password and the server's
// [AUTH] words, and [IN-USE] while another session holds the mailbox.
#include <string>

#include "dovecot_server.h"
#include "pop3/messages.h"
#include "pop3/pop.h"
#include "settings/account.h"

namespace {

using DovecotLogin = DovecotTest;

TEST_F(DovecotLogin, CramMd5LogsInWithTheRightPasswordAndShowsTheServersWordsWithAWrongOne) {
    Dovecot().Seed(2);
    for (const std::string password : {"secret", "wrong"}) {
        SCOPED_TRACE(password);
        CPop pop;
        pop.SetTimeout(5000);
        pop.SetLoginMethod(pop3::LoginMethod::Encrypted);
        const bool in = pop.Connect("127.0.0.1", Dovecot().Port(), "test", password);
        EXPECT_EQ(pop.GetLoginUsed(), "AUTH CRAM-MD5");
        EXPECT_EQ(in, password == "secret") << pop.GetErrorText();
        if (in) {
            ASSERT_TRUE(pop.Stat()) << pop.GetErrorText();
            EXPECT_EQ(pop.GetMessageCount(), 2);
            EXPECT_TRUE(pop.Quit()) << pop.GetErrorText();
        } else {
            EXPECT_EQ(pop.GetErrorText(), "Bad Password Name");
            EXPECT_EQ(pop.GetRefusal().code, pop3::ResponseCode::Auth);
            EXPECT_EQ(pop.GetRefusal().text, "Authentication failed.");
        }
    }
}

TEST_F(DovecotLogin, ABusyMailboxIsInUse) {
    Dovecot().Seed(1);
    // One session holds the mailbox; Dovecot waits for its lock a while, then refuses.
    CPop holder;
    ASSERT_TRUE(holder.Connect("127.0.0.1", Dovecot().Port(), "test", "secret"))
        << holder.GetErrorText();
    EXPECT_EQ(holder.GetLoginUsed(), "USER");
    Account busy;
    busy.Set("test", "secret", Dovecot().Server(), 8, 1);
    Messages* list = nullptr;
    busy.CheckMail(list);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(busy.GetStatus(), Account::CheckFailed);
    EXPECT_EQ(busy.GetFault().kind, pop3::FaultKind::Passing);
    EXPECT_EQ(busy.GetFailureReason(), "in-use");
    EXPECT_EQ(busy.GetErrorTextWithServerWords(),
              "Bad Password Name\nThe server said: Mailbox is locked by another POP3 session.");
    EXPECT_TRUE(holder.Quit());
}

} // namespace
