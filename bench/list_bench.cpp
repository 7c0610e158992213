// Times the main window's message list with a large mailbox, under Wine: a refill of changed
// rows in the real window (a virtual list) beside the old way measured in the same run (a
// report list filled item by item with redraw on, and with redraw off), and the longest time
// the window takes to answer during a check that finds no change.
//
//   list_bench.exe [MESSAGES] [REPETITIONS]
#include "main_window_harness.h"

#include "mainwnd/window_messages.h"
#include "pop3/messages.h"
#include "res/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The real main window, timing its handling of each job's end: the rows taken in, the list
// refilled when they changed, and the list painted at once, as the screen would show it.
class BenchDlg : public CTarnwickDlg {
public:
    using CTarnwickDlg::m_account;
    using CTarnwickDlg::m_busy;
    using CTarnwickDlg::m_list;
    using CTarnwickDlg::m_messages;
    using CTarnwickDlg::m_refills;

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg != WM_CHECK_DONE)
            return CTarnwickDlg::OnMessage(msg, wParam, lParam);
        const auto start = Clock::now();
        const LRESULT result = CTarnwickDlg::OnMessage(msg, wParam, lParam);
        ::UpdateWindow(m_list);
        m_lastDoneMs = MsSince(start);
        return result;
    }
    bool Check(const std::string& server) {
        m_account.m_MailServer = server;
        StartCheck();
        return PumpUntil([this] { return m_busy == 0; }, 300000);
    }

    double m_lastDoneMs = 0;
};

// The old way: a report list of the same size holding its own texts, filled row by row.
double FillReportList(HWND list, const Messages& messages, bool redraw) {
    const auto start = Clock::now();
    if (!redraw)
        ::SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (int row = 0; row < messages.GetCount(); ++row) {
        std::string texts[3] = {messages.GetFrom(row), messages.GetSubject(row),
                                messages.GetSize(row)};
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = &texts[0][0];
        const int at = static_cast<int>(
            ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (int column = 1; column < 3; ++column) {
            LVITEMA sub = {};
            sub.iSubItem = column;
            sub.pszText = &texts[column][0];
            ::SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(at),
                           reinterpret_cast<LPARAM>(&sub));
        }
    }
    if (!redraw) {
        ::SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(list, nullptr, TRUE);
    }
    ::UpdateWindow(list);
    return MsSince(start);
}

// Pings the window from another thread, as Windows does to decide whether it hangs.
class Pinger {
public:
    explicit Pinger(HWND window)
        : m_thread([this, window] {
              while (!m_stop) {
                  const auto sent = Clock::now();
                  DWORD_PTR result = 0;
                  ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
                  m_longestMs = std::max(m_longestMs.load(), MsSince(sent));
                  ++m_pings;
                  ::Sleep(2);
              }
              m_finished = true;
          }) {}
    // The window's thread goes on answering until the last ping is back.
    ~Pinger() {
        m_stop = true;
        PumpUntil([this] { return m_finished.load(); }, 30000);
        m_thread.join();
    }
    std::atomic<bool> m_stop{false}, m_finished{false};
    std::atomic<double> m_longestMs{0};
    std::atomic<int> m_pings{0};

private:
    std::thread m_thread;
};

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    TempProfile profile;
    MessageBoxRecorder boxes;
    SetSoundHandler([](const std::string&) { return true; });

    // Two mailboxes of the same size whose rows differ, so that each check changes every row.
    // With unique ids, as a check of an unchanged count compares them all.
    auto first = MailboxOf(count), second = MailboxOf(count);
    first.capabilities = second.capabilities = {"UIDL"};
    for (int i = 0; i < count; ++i) {
        second.messages[i] = testsupport::MakeMessage("Other sender " + std::to_string(i),
                                                      "Other subject", {"Other line"});
        first.messages[i].uid = "a" + std::to_string(i);
        second.messages[i].uid = "b" + std::to_string(i);
    }
    testsupport::ScriptedPop3Server a, b;
    a.ServeMailbox(first).Start();
    b.ServeMailbox(second).Start();
    WriteTestProfile(a.Address());

    BenchDlg dlg;
    if (!dlg.Create())
        return 1;
    dlg.ShowWindow(SW_SHOW);
    if (!dlg.Check(a.Address()) || dlg.m_list.GetItemCount() != count) {
        std::fprintf(stderr, "the first check failed\n");
        return 1;
    }

    // The old way's list: a report view of the main list's size, in a window of its own.
    const RECT area = dlg.m_list.GetWindowRect();
    HWND frame = ::CreateWindowExA(0, "STATIC", "old list", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                   40, area.right - area.left + 20, area.bottom - area.top + 40,
                                   nullptr, nullptr, nullptr, nullptr);
    HWND old = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0,
                                 area.right - area.left, area.bottom - area.top, frame, nullptr,
                                 nullptr, nullptr);
    const char* headings[] = {"From", "Subject", "Size"};
    for (int column = 0; column < 3; ++column) {
        LVCOLUMNA heading = {};
        heading.mask = LVCF_TEXT | LVCF_WIDTH;
        heading.cx = column == 2 ? 60 : 150;
        heading.pszText = const_cast<char*>(headings[column]);
        ::SendMessageA(old, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column),
                       reinterpret_cast<LPARAM>(&heading));
    }

    // In turns, so that a change of load on the machine hits every way alike.
    std::vector<double> virtualMs, redrawOnMs, redrawOffMs, unchangedMs, stallMs;
    const int refillsBefore = dlg.m_refills;
    for (int i = 0; i < repetitions; ++i) {
        dlg.Check(i % 2 == 0 ? b.Address() : a.Address());
        virtualMs.push_back(dlg.m_lastDoneMs);
        // Over a minute for 5000 rows under Wine: once is enough to compare.
        if (i == 0)
            redrawOnMs.push_back(FillReportList(old, *dlg.m_messages, true));
        redrawOffMs.push_back(FillReportList(old, *dlg.m_messages, false));

        // The same mailbox again: nothing changed.
        Pinger pinger(dlg);
        dlg.Check(i % 2 == 0 ? b.Address() : a.Address());
        unchangedMs.push_back(dlg.m_lastDoneMs);
        PumpUntil([] { return false; }, 100);
        stallMs.push_back(pinger.m_longestMs);
    }
    const int refills = dlg.m_refills - refillsBefore;

    const double virtualMedian = Median(virtualMs), onMedian = Median(redrawOnMs);
    std::printf("%d rows, median of %d runs under Wine (ms; redraw on: one run):\n", count,
                repetitions);
    std::printf("  changed refill, main window (virtual list):   %10.1f\n", virtualMedian);
    std::printf("  old way, report list, redraw on:              %10.1f\n", onMedian);
    std::printf("  old way, report list, redraw off:             %10.1f\n", Median(redrawOffMs));
    std::printf("  ratio old (redraw on) / main window:          %10.1fx\n",
                virtualMedian > 0 ? onMedian / virtualMedian : 0.0);
    std::printf("  no-change check, end handled in:              %10.1f\n", Median(unchangedMs));
    std::printf("  no-change check, longest answer to a ping:    %10.1f (worst %.1f)\n",
                Median(stallMs), *std::max_element(stallMs.begin(), stallMs.end()));
    std::printf("  refills: %d for %d changed and %d unchanged checks\n", refills, repetitions,
                repetitions);
    ::DestroyWindow(frame);
    return 0;
}
