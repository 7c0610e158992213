#include <memory>

#include "dovecot_server.h"
#include "pop3/messages.h"
#include "settings/account.h"

namespace {

using DovecotAccount = DovecotTest;

Account MakeAccount(const std::string& user = "test", const std::string& password = "secret") {
    Account account;
    account.Set(user, password, DovecotServer::Get().Server(), 8, 1);
    return account;
}

std::unique_ptr<Messages> Check(Account& account) {
    Messages* list = nullptr;
    account.CheckMail(list);
    return std::unique_ptr<Messages>(list);
}

TEST_F(DovecotAccount, ChecksListTheRealMailboxWithHeadersSizesAndSummaries) {
    const struct {
        int count;
        std::vector<int> sizes;
        int summaryLines;
    } cases[] = {
        {0, {}, 8},
        // Sizes on the kilobyte edges; the long body's summary stops at 1024 characters.
        {3, {1024, 1025, 6000}, 100},
        {200, {}, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " messages");
        const auto seeded = Dovecot().Seed(c.count, c.sizes);
        ASSERT_EQ(seeded.size(), static_cast<std::size_t>(c.count));
        Account account = MakeAccount();
        account.m_SummarySize = c.summaryLines;
        const auto list = Check(account);
        EXPECT_EQ(account.m_MessageCount, c.count);
        if (c.count == 0) {
            EXPECT_EQ(account.GetStatus(), Account::MailboxEmpty) << account.GetErrorText();
            EXPECT_EQ(list, nullptr);
            continue;
        }
        ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->GetCount(), c.count);
        for (int i = 0; i < c.count; ++i) {
            const SeededMessage& m = seeded[static_cast<std::size_t>(i)];
            EXPECT_EQ(list->GetFrom(i), m.Header("From"));
            EXPECT_EQ(list->GetSubject(i), "Message " + std::to_string(i + 1));
            EXPECT_EQ(list->GetSize(i), std::to_string((m.text.size() + 1023) / 1024));
            EXPECT_EQ(list->GetSummary(i), m.TopBody(c.summaryLines).substr(0, 1024));
            EXPECT_EQ(list->GetUid(i).size(), 16u) << "Dovecot's UIDL, in its configured form";
        }
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
