#include "tray/tray_ressurection_wnd.h"

#include "tray/tray_notify_icon.h"

namespace {

constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT kRetryMs = 3000;
constexpr int kMaxTries = 40; // two minutes

} // namespace

const char CTrayRessurectionWnd::kTitle[] = "CTrayNotifyIcon Resurrection Notification Window";

// The shell broadcasts this to every top-level window when a new taskbar comes up.
const UINT CTrayRessurectionWnd::s_TaskbarCreatedMessage =
    ::RegisterWindowMessageA("TaskbarCreated");

CTrayRessurectionWnd::CTrayRessurectionWnd(CTrayNotifyIcon* trayIcon) : m_TrayIcon(trayIcon) {}

CTrayRessurectionWnd::~CTrayRessurectionWnd() {
    // Another program may close this window; the icon must not keep a pointer to it.
    m_TrayIcon->HelperGone(this);
}

bool CTrayRessurectionWnd::CreateHidden() {
    return Create(nullptr, kTitle, WS_OVERLAPPEDWINDOW);
}

bool CTrayRessurectionWnd::StartRetrying() {
    m_Tries = 0;
    return SetTimer(kRetryTimer, kRetryMs) != 0;
}

LRESULT CTrayRessurectionWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == s_TaskbarCreatedMessage && s_TaskbarCreatedMessage != 0)
        return OnTaskbarCreated(wParam, lParam);
    if (msg == WM_TIMER && wParam == kRetryTimer) {
        // A taskbar that is slow to come may never send its announcement to a window made
        // before it: the icon asks on its own for a while.
        if (m_TrayIcon->TryAddAgain() || ++m_Tries >= kMaxTries)
            ::KillTimer(m_hWnd, kRetryTimer);
        return 0;
    }
    return CFrameWnd::OnMessage(msg, wParam, lParam);
}

LRESULT CTrayRessurectionWnd::OnTaskbarCreated(WPARAM, LPARAM) {
    // The new taskbar holds none of the old icons. Whether the first adding worked does
    // not matter: an icon made before any taskbar existed arrives now.
    if (!m_TrayIcon->IsHidden()) {
        m_TrayIcon->Hide();
        m_TrayIcon->Show();
    }
    return 0;
}
