#pragma once

#include "framework/wnd.h"

class CTrayNotifyIcon;

// The hidden top-level window that hears the shell's "TaskbarCreated" broadcast and puts
// its tray icon back into the new taskbar. Made with new by the icon; it deletes itself
// once its window is destroyed (the icon sends it WM_CLOSE).
class CTrayRessurectionWnd : public CFrameWnd {
public:
    static const char kTitle[];
    // Registered once at program start and kept for the whole run.
    static const UINT s_TaskbarCreatedMessage;

    explicit CTrayRessurectionWnd(CTrayNotifyIcon* trayIcon);
    ~CTrayRessurectionWnd() override;

    // Makes the never-shown window. When this fails the object still belongs to the caller.
    bool CreateHidden();
    // Tries to add the waiting icon every few seconds for two minutes; false when the timer
    // could not be set.
    bool StartRetrying();

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);

private:
    CTrayNotifyIcon* m_TrayIcon;
    int m_Tries = 0;
};
