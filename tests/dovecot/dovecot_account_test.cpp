#include <memory>

#include "dovecot_server.h"
#include "pop3/messages.h"
#include "pop3/pop.h"
#include "settings/account.h"

namespace {

using DovecotAccount = DovecotTest;
using DovecotPop = DovecotTest;

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
    ASSERT_TRUE(account.DeleteMessage(4)) << account.GetErrorText();
    ASSERT_TRUE(account.DeleteMessage(2, before->GetUid(1))) << account.GetErrorText();
    // Number 2 now names the old third message: the row of the old second is stale.
    EXPECT_FALSE(account.DeleteMessage(2, before->GetUid(1)));
    EXPECT_TRUE(account.DeleteRefusedAsStale());
    EXPECT_FALSE(account.DeleteMessage(3)); // two are left
    EXPECT_FALSE(account.DeleteRefusedAsStale());
    EXPECT_EQ(account.GetErrorText(), "Error occured during DELE");
    const auto list = Check(account);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetSubject(0), "Message 1");
    EXPECT_EQ(list->GetSubject(1), "Message 3");
}

TEST_F(DovecotPop, EveryCommandKeepsTheSessionInStep) {
    // A long listing line, a large message's TOP and refused commands must leave nothing
    // behind for the next reply.
    const auto seeded = Dovecot().Seed(3, {500, 60000, 1025});
    ASSERT_EQ(seeded.size(), 3u);
    CPop pop;
    pop.SetTimeout(3000); // a refusal awaited as a listing would run into it
    ASSERT_TRUE(pop.Connect("127.0.0.1", Dovecot().Port(), "test", "secret")) << pop.GetErrorText();
    ASSERT_TRUE(pop.Stat()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageCount(), 3);
    EXPECT_EQ(pop.GetTotalSize(), 500 + 60000 + 1025);
    ASSERT_TRUE(pop.Top(2, 2000)) << pop.GetErrorText();
    EXPECT_FALSE(pop.Top(7, 1));
    ASSERT_TRUE(pop.List()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageSize(2), 60000);
    EXPECT_EQ(pop.GetMessageSize(3), 1025);
    ASSERT_TRUE(pop.Top(3, 2)) << pop.GetErrorText();
    EXPECT_EQ(pop.m_From, "Sender 3 <sender3@example.com>");
    EXPECT_EQ(pop.m_Subject, "Message 3");
    EXPECT_EQ(pop.m_To, "Test User <test@example.com>");
    EXPECT_EQ(pop.m_Date, seeded[2].Header("Date"));
    EXPECT_EQ(pop.GetSummary(), "Body line 1 of message 3\r\nBody line 2 of message 3\r\n");
    ASSERT_TRUE(pop.Dele(1)) << pop.GetErrorText();
    EXPECT_FALSE(pop.Dele(1));
    EXPECT_EQ(pop.GetErrorText(), "Error occured during DELE");
    ASSERT_TRUE(pop.Rset()) << pop.GetErrorText();
    ASSERT_TRUE(pop.Noop()) << pop.GetErrorText();
    ASSERT_TRUE(pop.Quit()) << pop.GetErrorText();
    Account after = MakeAccount();
    const auto list = Check(after);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetCount(), 3); // RSET kept message 1
}

} // namespace
