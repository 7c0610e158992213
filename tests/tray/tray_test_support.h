#pragma once

#include "framework/wnd.h"
#include "tray/tray_notify_icon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

constexpr UINT WM_TRAY_NOTIFY = WM_USER + 8;
constexpr char kAnimationTitle[] = "CTrayNotifyIcon Animation Notification Window";
constexpr char kResurrectionTitle[] = "CTrayNotifyIcon Resurrection Notification Window";

// One call into the notification area, with the record as the icon passed it.
struct ShellCall {
    DWORD message;
    NOTIFYICONDATAA data;
    BOOL result;
    bool animationWndAlive;
    bool resurrectionWndAlive;
};

// Stands in for the main window; hands callbacks on to forwardTo's default handling.
class OwnerWindow : public CWnd {
public:
    OwnerWindow();
    CTrayNotifyIcon* forwardTo = nullptr;
    std::vector<LPARAM> callbacks; // their mouse messages
    std::vector<WPARAM> commands;
    bool Received(LPARAM mouse) const {
        return std::find(callbacks.begin(), callbacks.end(), mouse) != callbacks.end();
    }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// Runs the message loop until done() holds or timeoutMs passed; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);
inline bool WindowExists(const char* title) {
    return ::FindWindowA(nullptr, title) != nullptr;
}
// The icons Wine's "Wine System Tray" window shows, as their windows.
std::vector<HWND> TrayIconWindows();

// A real owner window and the program's own pictures; shell calls go to m_calls and on to Wine.
class TrayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The pictures the animation sent (NIM_MODIFY with NIF_ICON) from call `start` on.
    std::vector<HICON> PicturesFrom(size_t start) const;

    std::vector<ShellCall> m_calls;
    DWORD m_failNext = ~0u; // the next call with this message fails without reaching the shell
    OwnerWindow m_owner;
    HICON m_spin[4] = {}, m_noMail = nullptr, m_mail = nullptr, m_disabled = nullptr;

private:
    static BOOL WINAPI Record(DWORD message, PNOTIFYICONDATAA data);
};
