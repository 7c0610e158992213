#pragma once

// The real main dialog, made modeless so that a test drives it from its own message loop,
// with its sounds, starts and message boxes recorded instead of played, run or shown.

#include "framework/shell_seams.h"
#include "mainwnd/tarnwick_dlg.h"
#include "support/scripted_pop3_server.h"
#include "ui/framework_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class TestDlg : public CTarnwickDlg {
public:
    using CTarnwickDlg::m_config;
    using CTarnwickDlg::m_list;
    using CTarnwickDlg::m_popup;
    using CTarnwickDlg::m_refills;
    using CTarnwickDlg::m_trayIcon;
    using CTarnwickDlg::m_trayMenu;

    bool WaitIdle() {
        return PumpUntil([this] { return !m_cycle.Busy(); });
    }
    // The mailbox the next job works on.
    Account& Mailbox() { return m_cycle.MutableAccount(); }
    int Busy() const { return m_cycle.Busy() ? 1 : 0; }
    std::vector<std::string> Row(int i) const {
        return {m_list.GetItemText(i, 0), m_list.GetItemText(i, 1), m_list.GetItemText(i, 2)};
    }
    void Command(UINT id) { SendMessage(WM_COMMAND, id, 0); }
    void Select(int row) {
        m_list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    // The middle of a cell's text, in the list's client coordinates.
    POINT CellCentre(int row, int column) const {
        RECT cell = {LVIR_LABEL, column};
        m_list.SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                           reinterpret_cast<LPARAM>(&cell));
        return {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    }
    bool MenuGrayed(UINT id) const { return (m_trayMenu.GetMenuState(id) & MF_GRAYED) != 0; }
};

// A profile for the account at `server`, first run done, no check at start-up.
void WriteTestProfile(const std::string& server, const std::string& password = "secret",
                      const std::string& user = "ann");

// `count` messages "Subject i" from "Sender i" of 1500 octets, with ids "ui" if `withUids`.
testsupport::Mailbox MailboxOf(int count, bool withUids = false);

// Asks a window from another thread, again and again, whether it answers within `limitMs`,
// as the taskbar, setup and Windows' hang detection do.
class AnswerProbe {
public:
    AnswerProbe(HWND window, DWORD limitMs, DWORD pauseMs);
    ~AnswerProbe() { Stop(); }
    AnswerProbe(const AnswerProbe&) = delete;
    AnswerProbe& operator=(const AnswerProbe&) = delete;
    // Runs this thread's message loop until the window was asked `times` times in all.
    void PumpUntilAsked(int times) {
        PumpUntil([&] { return m_asked >= times; }, 10000);
    }
    // The window's thread goes on answering until the last question is back.
    void Stop();

    std::atomic<int> m_asked{0}, m_missed{0};

private:
    std::atomic<bool> m_stop{false}, m_finished{false};
    std::thread m_thread;
};

// Acts on the configuration sheet from inside its loop, once it shows; one at a time.
class SheetAnswer {
public:
    explicit SheetAnswer(std::function<void(HWND sheet)> answer);
    ~SheetAnswer();
    SheetAnswer(const SheetAnswer&) = delete;
    SheetAnswer& operator=(const SheetAnswer&) = delete;

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static inline SheetAnswer* s_current = nullptr;
    std::function<void(HWND)> m_answer;
    UINT_PTR m_timer;
};

struct Launched {
    LaunchRequest::Kind kind;
    std::string target;
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest();
    ~MainWindowTest() override;

    // Starts a scripted server serving `mailbox` and keeps it for the test.
    testsupport::ScriptedPop3Server& Serve(const testsupport::Mailbox& mailbox);

    TempProfile m_profile;
    MessageBoxRecorder m_boxes;
    std::vector<std::string> m_sounds;
    std::vector<Launched> m_launched;
    UINT_PTR m_launchResult = 42;
    std::vector<std::unique_ptr<testsupport::ScriptedPop3Server>> m_servers;

private:
    SoundHandler m_previousSound;
    LaunchHandler m_previousLaunch;
};
