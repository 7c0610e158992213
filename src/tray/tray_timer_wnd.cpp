#include "tray/tray_timer_wnd.h"

#include "tray/tray_notify_icon.h"

const char CTrayTimerWnd::kTitle[] = "CTrayNotifyIcon Animation Notification Window";

namespace {

constexpr UINT_PTR kAnimationTimer = 1;

} // namespace

CTrayTimerWnd::CTrayTimerWnd(CTrayNotifyIcon* trayIcon, const HICON* icons, int count, UINT delayMs)
    : m_TrayIcon(trayIcon), m_Icons(icons, icons + count), m_IconCount(count), m_Delay(delayMs) {}

CTrayTimerWnd::~CTrayTimerWnd() {
    // Another program may close this window; the icon must not keep a pointer to it.
    m_TrayIcon->HelperGone(this);
}

bool CTrayTimerWnd::CreateHidden() {
    return Create(nullptr, kTitle, WS_OVERLAPPEDWINDOW);
}

int CTrayTimerWnd::OnCreate(CREATESTRUCTA* create) {
    if (CFrameWnd::OnCreate(create) == -1)
        return -1;
    // Without a timer the window still counts as made: the first picture simply stays.
    m_TimerId = SetTimer(kAnimationTimer, m_Delay);
    return 0;
}

void CTrayTimerWnd::OnDestroy() {
    KillTimer(m_TimerId);
    CFrameWnd::OnDestroy();
}

void CTrayTimerWnd::OnTimer(UINT_PTR) {
    m_CurrentIcon = (m_CurrentIcon + 1) % m_IconCount;
    m_TrayIcon->m_Data.uFlags = NIF_ICON;
    m_TrayIcon->m_Data.hIcon = GetCurrentIcon();
    // A failed step is not retried: the next tick shows the next picture anyway.
    m_TrayIcon->Notify(NIM_MODIFY);
}
