#pragma once

#include <windows.h>

class CWnd;

// One Tarnwick per user session, so that one tray icon shows and one process writes the
// profile. The first start owns a named mutex and a hidden window of class
// kInstanceWindowClass; a second start finds that window and asks it to bring the main
// window forward, and the setup program sends it WM_CLOSE, which ends Tarnwick as "Exit"
// does (the settings are saved).
class CSingleInstance {
public:
    static constexpr const char* kInstanceWindowClass = "TarnwickInstance";

    CSingleInstance() = default;
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // True when no other Tarnwick runs in this session; this object then holds the claim.
    bool Claim();
    // Makes the hidden window; its requests go to mainWindow's window at the moment they
    // arrive. mainWindow must outlive this object.
    bool CreateInstanceWindow(CWnd* mainWindow);

    // Asks the Tarnwick that holds the claim to show its main window; waits up to waitMs for
    // its hidden window to appear (it may be starting). False when none answered.
    static bool ActivateRunning(DWORD waitMs);
    // The message that asks for the main window, registered once per session.
    static UINT ShowMainWindowMessage();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HANDLE m_mutex = nullptr;
    HWND m_window = nullptr;
    CWnd* m_mainWindow = nullptr;
};
