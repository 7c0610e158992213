#include "tray/tray_ressurection_wnd.h"

#include "tray/tray_notify_icon.h"

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

LRESULT CTrayRessurectionWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == s_TaskbarCreatedMessage && s_TaskbarCreatedMessage != 0)
        return OnTaskbarCreated(wParam, lParam);
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
