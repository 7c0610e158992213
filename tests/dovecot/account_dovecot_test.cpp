#include <memory>

#include "dovecot_fixture.h"
#include "pop3/messages.h"
#include "settings/account.h"

namespace {

class DovecotAccount : public DovecotTest {
protected:
    Account MakeAccount(const std::string& password = "secret") {
        Account account;
        account.Set("test", password, Server().Server(), 8, 1);
        return account;
    }

    // Every entry against the seeded files: headers, size and summary.
    static void ExpectListMatches(const Messages& list, const std::vector<SeededMessage>& seeded,
                                  int summaryLines) {
        ASSERT_EQ(list.GetCount(), static_cast<int>(seeded.size()));
        for (int i = 0; i < list.GetCount(); ++i) {
            const SeededMessage& m = seeded[static_cast<std::size_t>(i)];
            SCOPED_TRACE("message " + std::to_string(i + 1));
            EXPECT_EQ(list.GetFrom(i), m.Header("From"));
            EXPECT_EQ(list.GetSubject(i), "Message " + std::to_string(i + 1));
            EXPECT_EQ(list.GetSize(i), std::to_string(m.Kilobytes()));
            EXPECT_EQ(list.GetSummary(i), m.TopBody(summaryLines).substr(0, 1024));
        }
    }
};

TEST_F(DovecotAccount, EmptyMailboxLeavesTheListAlone) {
    Seed(0);
    Account account = MakeAccount();
    Messages* raw = nullptr;
    account.CheckMail(raw);
    std::unique_ptr<Messages> list(raw);
    EXPECT_EQ(account.GetStatus(), Account::MailboxEmpty) << account.GetErrorText();
    EXPECT_EQ(account.m_MessageCount, 0);
    EXPECT_EQ(list, nullptr);
}

TEST_F(DovecotAccount, ThreeMessagesBuildTheListThenCountOnly) {
    // Sizes at the kilobyte edges: 1024 octets are 1 KB, 1025 are 2.
    const auto seeded = Seed(3, {1024, 1025, 3000});
    ASSERT_EQ(seeded.size(), 3u);
    EXPECT_EQ(seeded[0].Kilobytes(), 1);
    EXPECT_EQ(seeded[1].Kilobytes(), 2);

    Account account = MakeAccount();
    Messages* raw = nullptr;
    account.CheckMail(raw);
    std::unique_ptr<Messages> list(raw);
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    EXPECT_EQ(account.m_MessageCount, 3);
    ASSERT_NE(list, nullptr);
    ExpectListMatches(*list, seeded, 8);
    EXPECT_EQ(list->GetFrom(0), "Sender 1 <sender1@example.com>");
    EXPECT_EQ(list->GetSize(2), "3");

    // Same count again: the list stays as it was.
    Messages* before = list.get();
    raw = list.release();
    account.CheckMail(raw);
    list.reset(raw);
    EXPECT_EQ(account.GetStatus(), Account::CountOnly);
    EXPECT_EQ(list.get(), before);
    EXPECT_EQ(list->GetCount(), 3);
}

TEST_F(DovecotAccount, LongSummariesStopAt1024Characters) {
    const auto seeded = Seed(2, {6000, 300});
    Account account = MakeAccount();
    account.m_SummarySize = 100;
    Messages* raw = nullptr;
    account.CheckMail(raw);
    std::unique_ptr<Messages> list(raw);
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetSummary(0).size(), 1024u);
    ExpectListMatches(*list, seeded, 100);
}

TEST_F(DovecotAccount, SummariesOffCountsOnly) {
    Seed(3);
    Account account = MakeAccount();
    account.m_Summaries = 0;
    Messages* raw = nullptr;
    account.CheckMail(raw);
    std::unique_ptr<Messages> list(raw);
    EXPECT_EQ(account.GetStatus(), Account::CountOnly) << account.GetErrorText();
    EXPECT_EQ(account.m_MessageCount, 3);
    EXPECT_EQ(list, nullptr);
}

TEST_F(DovecotAccount, TwoHundredMessages) {
    const auto seeded = Seed(200);
    Account account = MakeAccount();
    Messages* raw = nullptr;
    account.CheckMail(raw);
    std::unique_ptr<Messages> list(raw);
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    EXPECT_EQ(account.m_MessageCount, 200);
    ASSERT_NE(list, nullptr);
    ExpectListMatches(*list, seeded, 8);
}

TEST_F(DovecotAccount, DeletionRemovesExactlyThatMessage) {
    Seed(3);
    Account account = MakeAccount();
    ASSERT_TRUE(account.DeleteMessage(2)) << account.GetErrorText();
    EXPECT_EQ(account.GetStatus(), Account::ListRebuilt); // untouched by a deletion

    Messages* raw = nullptr;
    account.CheckMail(raw);
    std::unique_ptr<Messages> list(raw);
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    EXPECT_EQ(account.m_MessageCount, 2);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetSubject(0), "Message 1");
    EXPECT_EQ(list->GetSubject(1), "Message 3");

    // A message number past the end is refused and nothing goes.
    EXPECT_FALSE(account.DeleteMessage(3));
    EXPECT_EQ(account.GetErrorText(), "Error occured during DELE");
    raw = nullptr;
    Account fresh = MakeAccount();
    fresh.m_Summaries = 0;
    fresh.CheckMail(raw);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(fresh.m_MessageCount, 2);
}

TEST_F(DovecotAccount, WrongPasswordIsBadPasswordName) {
    Seed(3);
    Account good = MakeAccount();
    Messages* raw = nullptr;
    good.CheckMail(raw);
    std::unique_ptr<Messages> list(raw);
    ASSERT_EQ(good.GetStatus(), Account::ListRebuilt) << good.GetErrorText();

    // A deletion with the wrong password fails and leaves the last check's outcome.
    Account wrong = good;
    wrong.m_Password = "wrong";
    EXPECT_FALSE(wrong.DeleteMessage(1));
    EXPECT_EQ(wrong.GetErrorText(), "Bad Password Name");
    EXPECT_EQ(wrong.GetStatus(), Account::ListRebuilt);
    EXPECT_EQ(wrong.m_MessageCount, 3);

    Messages* before = list.get();
    raw = list.release();
    wrong.CheckMail(raw);
    list.reset(raw);
    EXPECT_EQ(wrong.GetStatus(), Account::CheckFailed);
    EXPECT_EQ(wrong.GetErrorText(), "Bad Password Name");
    EXPECT_EQ(list.get(), before);

    // Nothing was deleted.
    Account again = MakeAccount();
    again.m_Summaries = 0;
    Messages* none = nullptr;
    again.CheckMail(none);
    EXPECT_EQ(again.m_MessageCount, 3);
    EXPECT_EQ(none, nullptr);
}

TEST_F(DovecotAccount, UnknownUserFailsTheLogin) {
    Seed(1);
    Account account;
    account.Set("nobody", "secret", Server().Server(), 8, 1);
    Messages* raw = nullptr;
    account.CheckMail(raw);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
    // Dovecot accepts any USER and judges the pair at PASS.
    EXPECT_EQ(account.GetErrorText(), "Bad Password Name");
}

} // namespace
