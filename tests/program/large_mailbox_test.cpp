// A mailbox of thousands of messages: checks that find nothing new leave the list alone, and the
// window keeps answering other threads throughout.
#include "main_window_harness.h"

#include "res/resource.h"

#include <commctrl.h>

#include <cstdio>

TEST_F(MainWindowTest, FiveThousandMessagesUnchangedAreNotRefilledAndTheWindowKeepsAnswering) {
    const int kCount = 5000;
    // With unique ids, so that a check of the same count compares every message.
    auto mailbox = MailboxOf(kCount, true);
    auto& server = Serve(mailbox);
    // Another program took all but the last three.
    mailbox.messages.erase(mailbox.messages.begin(), mailbox.messages.end() - 3);
    auto& changed = Serve(mailbox);
    WriteTestProfile(server.Address());
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_TRUE(PumpUntil([&] { return !dlg.Busy(); }, 120000));
    ASSERT_EQ(kCount, dlg.m_list.GetItemCount());
    const int refills = dlg.m_refills;
    const int row = 4321;
    dlg.Select(row);
    ::SendMessageA(dlg.m_list, LVM_ENSUREVISIBLE, row, FALSE);
    const auto shown = dlg.Row(row);

    // Liveness only: an answer at all within 5 s.
    AnswerProbe pinger(dlg, 5000, 5);
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_EQ(1, dlg.Busy());
    ASSERT_TRUE(PumpUntil([&] { return !dlg.Busy(); }, 120000));
    // A few more answers after the results were taken in.
    pinger.PumpUntilAsked(pinger.m_asked + 4);
    pinger.Stop();
    std::printf("no-change check of %d messages: %d pings, longest answer %ld ms\n", kCount,
                pinger.m_asked.load(), pinger.m_longestMs.load());
    EXPECT_EQ(2, server.Connections());
    EXPECT_GT(pinger.m_asked, 0);
    EXPECT_EQ(0, pinger.m_missed);
    EXPECT_EQ(refills, dlg.m_refills) << "a check that found no change refilled the list";
    EXPECT_EQ(kCount, dlg.m_list.GetItemCount());
    EXPECT_EQ(row, dlg.m_list.GetFirstSelectedItem()) << "the selection survives";
    EXPECT_EQ(shown, dlg.Row(row));

    // A changed mailbox is shown anew: one refill, and no row chosen in the old list survives.
    dlg.Mailbox().m_MailServer = changed.Address();
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_TRUE(PumpUntil([&] { return !dlg.Busy(); }, 120000));
    EXPECT_EQ(refills + 1, dlg.m_refills);
    ASSERT_EQ(3, dlg.m_list.GetItemCount());
    EXPECT_EQ(-1, dlg.m_list.GetFirstSelectedItem());
    EXPECT_EQ((std::vector<std::string>{"Sender 4998", "Subject 4998", "2"}), dlg.Row(0));
}
