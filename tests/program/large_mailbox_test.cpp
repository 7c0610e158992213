// A mailbox of thousands of messages: checks that find nothing new leave the list alone, and the
// window keeps answering other threads throughout.
#include "main_window_harness.h"

#include "res/resource.h"

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Sends WM_NULL to a window from its own thread for as long as it lives, as Windows does to
// decide whether a window hangs, and keeps the longest answer.
class Pinger {
public:
    explicit Pinger(HWND window)
        : m_thread([this, window] {
              while (!m_stop) {
                  const auto sent = std::chrono::steady_clock::now();
                  DWORD_PTR result = 0;
                  // Liveness only: an answer at all within 5 s.
                  if (::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) == 0)
                      ++m_unanswered;
                  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - sent)
                                      .count();
                  if (ms > m_longestMs)
                      m_longestMs = static_cast<long>(ms);
                  ++m_answered;
                  ::Sleep(5);
              }
              m_finished = true;
          }) {}
    ~Pinger() { Stop(); }
    // The window's thread goes on answering until the last ping is back.
    void Stop() {
        m_stop = true;
        PumpUntil([this] { return m_finished.load(); }, 15000);
        if (m_thread.joinable())
            m_thread.join();
    }

    std::atomic<bool> m_stop{false}, m_finished{false};
    std::atomic<int> m_answered{0}, m_unanswered{0};
    std::atomic<long> m_longestMs{0};

private:
    std::thread m_thread;
};

} // namespace

TEST_F(MainWindowTest, FiveThousandMessagesUnchangedAreNotRefilledAndTheWindowKeepsAnswering) {
    const int kCount = 5000;
    // With unique ids, so that a check of the same count compares every message.
    auto mailbox = MailboxOf(kCount);
    mailbox.capabilities = {"UIDL"};
    for (int i = 0; i < kCount; ++i)
        mailbox.messages[i].uid = "u" + std::to_string(i + 1);
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

    Pinger pinger(dlg);
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_EQ(1, dlg.Busy());
    ASSERT_TRUE(PumpUntil([&] { return !dlg.Busy(); }, 120000));
    // A few more answers after the results were taken in.
    const int answered = pinger.m_answered;
    PumpUntil([&] { return pinger.m_answered > answered + 3; }, 5000);
    pinger.Stop();
    std::printf("no-change check of %d messages: %d pings, longest answer %ld ms\n", kCount,
                pinger.m_answered.load(), pinger.m_longestMs.load());
    EXPECT_EQ(2, server.Connections());
    EXPECT_GT(pinger.m_answered, 0);
    EXPECT_EQ(0, pinger.m_unanswered);
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
