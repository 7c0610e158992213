#pragma once

#include "framework/gdi.h"
#include "framework/wnd.h"
#include "tray/tray_notify_icon.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

constexpr UINT WM_TRAY_NOTIFY = WM_USER + 8;
constexpr char kAnimationTitle[] = "CTrayNotifyIcon Animation Notification Window";
constexpr char kResurrectionTitle[] = "CTrayNotifyIcon Resurrection Notification Window";

// One call into the notification area as the icon made it.
struct ShellCall {
    DWORD message;
    DWORD size;
    HWND window;
    UINT id;
    UINT flags;
    UINT callbackMessage;
    HICON icon;
    std::string tip;
    BOOL result;
    // Which hidden windows existed at the moment of the call.
    bool animationWndAlive;
    bool resurrectionWndAlive;
};

// Sits in the icon's shell seam for its lifetime, records every call and forwards it to
// the real shell (unless told to fail one).
class ShellRecorder {
public:
    ShellRecorder();
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    const std::vector<ShellCall>& Calls() const { return m_calls; }
    const ShellCall& Last() const { return m_calls.back(); }
    void Clear() { m_calls.clear(); }
    // The next call with this message returns FALSE without reaching the shell.
    void FailNext(DWORD message) { m_failNext = message; }

private:
    static BOOL WINAPI Record(DWORD message, PNOTIFYICONDATAA data);

    CTrayNotifyIcon::ShellNotifyFn m_previous;
    std::vector<ShellCall> m_calls;
    DWORD m_failNext = ~0u;
};

// A hidden window standing in for the main window: it collects the callback messages and
// the commands it receives, and can pass the callback on to an icon's default handling.
class OwnerWindow : public CWnd {
public:
    OwnerWindow();
    CTrayNotifyIcon* m_forwardTo = nullptr;
    std::vector<std::pair<WPARAM, LPARAM>> m_callbacks;
    std::vector<std::pair<WPARAM, LPARAM>> m_commands;
    std::vector<int> m_handled;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// Runs the message loop until done() holds or timeoutMs passed; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);
void PumpFor(DWORD ms);

bool WindowExists(const char* title);
int CountTopLevelWindows(const char* title);

// Sends "TaskbarCreated" to every top-level window, as a restarted shell does (Wine's
// never does), and returns once all have handled it.
void BroadcastTaskbarCreated();

// The icons Wine's stand-alone tray (a window named "Wine System Tray") is showing now,
// as their windows, in the order they were added.
std::vector<HWND> TrayIconWindows();
// Starts /usr/bin/xdotool with the given arguments without waiting for it.
bool LaunchXdotool(const std::string& arguments);

// A real owner window, the program's own pictures and a recorder in the shell seam. The
// shell itself is real: these tests need a display with Wine's tray.
class TrayTest : public ::testing::Test {
protected:
    TrayTest();
    void SetUp() override;

    ShellRecorder m_shell;
    OwnerWindow m_owner;
    CIcon m_spin[4];
    HICON m_spinHandles[4] = {};
    CIcon m_noMail;
    CIcon m_mail;
    CIcon m_disabled;
};
