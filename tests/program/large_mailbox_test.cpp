// A mailbox of thousands of messages: the window keeps answering other threads while their
// rows come in, and a changed mailbox is shown anew. That an unchanged one is not refilled is
// seen in the deletion test's cancelled configuration.
#include "main_window_harness.h"

#include "res/resource.h"

#include <commctrl.h>

TEST_F(MainWindowTest,
       FiveThousandMessagesComeInWhileTheWindowKeepsAnsweringAndAChangeRefillsOnce) {
    const int kCount = 5000;
    auto mailbox = MailboxOf(kCount, true);
    auto& server = Serve(mailbox);
    // Another program took all but the last three.
    mailbox.messages.erase(mailbox.messages.begin(), mailbox.messages.end() - 3);
    auto& changed = Serve(mailbox);
    WriteTestProfile(server.Address());
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());

    // Liveness only: an answer at all within 5 s.
    AnswerProbe pinger(dlg, 5000, 5);
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_EQ(1, dlg.Busy());
    ASSERT_TRUE(PumpUntil([&] { return !dlg.Busy(); }, 120000));
    // A few more answers after the results were taken in.
    pinger.PumpUntilAsked(pinger.m_asked + 4);
    pinger.Stop();
    EXPECT_GT(pinger.m_asked, 0);
    EXPECT_EQ(0, pinger.m_missed);
    ASSERT_EQ(kCount, dlg.m_list.GetItemCount());
    const int refills = dlg.m_refills;
    dlg.Select(4321);
    ::SendMessageA(dlg.m_list, LVM_ENSUREVISIBLE, 4321, FALSE);

    // One refill, and no row chosen in the old list survives.
    dlg.Mailbox().m_MailServer = changed.Address();
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_TRUE(PumpUntil([&] { return !dlg.Busy(); }, 120000));
    EXPECT_EQ(refills + 1, dlg.m_refills);
    ASSERT_EQ(3, dlg.m_list.GetItemCount());
    EXPECT_EQ(-1, dlg.m_list.GetFirstSelectedItem());
    EXPECT_EQ((std::vector<std::string>{"Sender 4998", "Subject 4998", "2"}), dlg.Row(0));
}
