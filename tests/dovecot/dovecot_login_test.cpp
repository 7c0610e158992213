// The login against Dovecot: CRAM-MD5 (a refused one is the scripted suite's), and
// [IN-USE] while another session holds the mailbox.
#include <string>

#include "dovecot_server.h"
#include "pop3/messages.h"
#include "pop3/pop.h"
#include "settings/account.h"

namespace {

using DovecotLogin = DovecotTest;

TEST_F(DovecotLogin, CramMd5LogsIn) {
    Dovecot().Seed(2);
    CPop pop;
    pop.SetTimeout(5000);
    pop.SetLoginMethod(pop3::LoginMethod::Encrypted);
    ASSERT_TRUE(pop.Connect("127.0.0.1", Dovecot().Port(), "test", "secret")) << pop.GetErrorText();
    EXPECT_EQ(pop.GetLoginUsed(), "AUTH CRAM-MD5");
    ASSERT_TRUE(pop.Stat()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageCount(), 2);
    EXPECT_TRUE(pop.Quit()) << pop.GetErrorText();
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
    EXPECT_EQ(busy.GetStatus(), Account::CheckFailed);
    EXPECT_EQ(busy.GetFailureReason(), "in-use");
    EXPECT_EQ(busy.GetErrorTextWithServerWords(),
              "Bad Password Name\nThe server said: Mailbox is locked by another POP3 session.");
    EXPECT_TRUE(holder.Quit());
}

} // namespace
