#pragma once

#include "framework/wnd.h"

#include <vector>

class CTrayNotifyIcon;

// The hidden window whose timer steps a tray icon's animation. Made with new by the icon;
// it deletes itself once its window is destroyed (the icon sends it WM_CLOSE).
class CTrayTimerWnd : public CFrameWnd {
public:
    static const char kTitle[];

    // The caller's array need not outlive the call.
    CTrayTimerWnd(CTrayNotifyIcon* trayIcon, const HICON* icons, int count, UINT delayMs);
    ~CTrayTimerWnd() override;

    // Makes the never-shown window. When this fails the object still belongs to the caller.
    bool CreateHidden();
    HICON GetCurrentIcon() const { return m_Icons[static_cast<size_t>(m_CurrentIcon)]; }

protected:
    int OnCreate(CREATESTRUCTA* create) override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR id) override;

private:
    CTrayNotifyIcon* m_TrayIcon;
    std::vector<HICON> m_Icons;
    int m_IconCount;
    UINT m_Delay;
    UINT_PTR m_TimerId = 0;
    int m_CurrentIcon = 0;
};
