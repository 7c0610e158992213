#include <memory>

#include "dovecot_server.h"
#include "pop3/messages.h"
#include "settings/account.h"

namespace {

using DovecotAccount = DovecotTest;

std::unique_ptr<Messages> Check(Account& account) {
    Messages* list = nullptr;
    account.CheckMail(list);
    return std::unique_ptr<Messages>(list);
}

// The listing itself is held by the CLI and TLS suites; here the numbers shift under it.
TEST_F(DovecotAccount, DeletionRemovesExactlyThatMessage) {
    ASSERT_TRUE(Dovecot().Seed(4));
    Account account;
    account.Set("test", "secret", Dovecot().Server(), 8, 1);
    const auto before = Check(account);
    ASSERT_NE(before, nullptr);
    // Without its unique id a row is confirmed by its size and header block.
    MessageIdentity fourth = before->GetIdentity(3);
    fourth.uid.clear();
    ASSERT_TRUE(account.DeleteMessage(4, fourth)) << account.GetErrorText();
    ASSERT_TRUE(account.DeleteMessage(2, before->GetIdentity(1))) << account.GetErrorText();
    // Number 2 now names the old third message; number 3 is beyond the two that are left.
    EXPECT_FALSE(account.DeleteMessage(2, before->GetIdentity(1)));
    EXPECT_TRUE(account.DeleteRefusedAsStale());
    EXPECT_FALSE(account.DeleteMessage(3, before->GetIdentity(2)));
    EXPECT_TRUE(account.DeleteRefusedAsStale());
    const auto list = Check(account);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetSubject(0), "Message 1");
    EXPECT_EQ(list->GetSubject(1), "Message 3");
}

} // namespace
