#include <memory>

#include "dovecot_server.h"
#include "pop3/messages.h"
#include "settings/account.h"

namespace {

using DovecotAccount = DovecotTest;

Account MakeAccount() {
    Account account;
    account.Set("test", "secret", DovecotServer::Get().Server(), 8, 1);
    return account;
}

std::unique_ptr<Messages> Check(Account& account) {
    Messages* list = nullptr;
    account.CheckMail(list);
    return std::unique_ptr<Messages>(list);
}

// An empty mailbox the CLI suite checks, 200 messages the TLS suite's listing.
TEST_F(DovecotAccount, ChecksListTheRealMailboxWithHeadersSizesAndSummaries) {
    // Sizes on the kilobyte edges; the long body's summary stops at 1024 characters.
    const auto seeded = Dovecot().Seed(3, {1024, 1025, 6000});
    ASSERT_EQ(seeded.size(), 3u);
    Account account = MakeAccount();
    account.m_SummarySize = 100;
    const auto list = Check(account);
    EXPECT_EQ(account.m_MessageCount, 3);
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const SeededMessage& m = seeded[static_cast<std::size_t>(i)];
        EXPECT_EQ(list->GetFrom(i), m.Header("From"));
        EXPECT_EQ(list->GetSubject(i), "Message " + std::to_string(i + 1));
        EXPECT_EQ(list->GetSize(i), std::to_string((m.text.size() + 1023) / 1024));
        EXPECT_EQ(list->GetSummary(i), m.TopBody(100).substr(0, 1024));
        EXPECT_EQ(list->GetUid(i).size(), 16u) << "Dovecot's UIDL, in its configured form";
    }
}

TEST_F(DovecotAccount, DeletionRemovesExactlyThatMessage) {
    ASSERT_EQ(Dovecot().Seed(4).size(), 4u);
    Account account = MakeAccount();
    const auto before = Check(account);
    ASSERT_NE(before, nullptr);
    // Without its unique id a row is confirmed by its size and header block.
    MessageIdentity fourth = before->GetIdentity(3);
    fourth.uid.clear();
    ASSERT_TRUE(account.DeleteMessage(4, fourth)) << account.GetErrorText();
    ASSERT_TRUE(account.DeleteMessage(2, before->GetIdentity(1))) << account.GetErrorText();
    // Number 2 now names the old third message: the row of the old second is stale, told by
    // its id or by its headers alike.
    MessageIdentity second = before->GetIdentity(1);
    EXPECT_FALSE(account.DeleteMessage(2, second));
    EXPECT_TRUE(account.DeleteRefusedAsStale());
    second.uid.clear();
    EXPECT_FALSE(account.DeleteMessage(2, second));
    EXPECT_TRUE(account.DeleteRefusedAsStale());
    EXPECT_FALSE(account.DeleteMessage(3, before->GetIdentity(2))); // two are left
    EXPECT_TRUE(account.DeleteRefusedAsStale());
    const auto list = Check(account);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetSubject(0), "Message 1");
    EXPECT_EQ(list->GetSubject(1), "Message 3");
}

} // namespace
