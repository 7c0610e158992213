#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

class CWnd;
class CTrayTimerWnd;
class CTrayRessurectionWnd;

// One icon with a tip text in the notification area. Mouse events on the icon reach the
// owner window as its callback message; HandleNotification is a default handling of it.
// The icon never destroys an icon handle: the caller owns them all.
class CTrayNotifyIcon {
public:
    // Every call into the notification area goes through this pointer, so that tests can
    // watch the exact calls (and still forward them to the shell).
    // The wide record: the tip is mail text in any language.
    using ShellNotifyFn = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW data);
    static ShellNotifyFn s_ShellNotify;

    // The longest tip the area shows in UTF-16 units, without the terminating zero; longer
    // texts are cut, never inside a character.
    static constexpr size_t kMaxTipLength = 63;

    CTrayNotifyIcon();
    virtual ~CTrayNotifyIcon();
    CTrayNotifyIcon(const CTrayNotifyIcon&) = delete;
    CTrayNotifyIcon& operator=(const CTrayNotifyIcon&) = delete;

    // TRUE also when no taskbar exists yet (a start at logon can come first): the icon then
    // waits for one, keeping every change meanwhile, and is added when the taskbar
    // announces itself, or by a try every few seconds for two minutes.
    BOOL Create(CWnd* notifyWnd, UINT id, const char* tip, HICON icon, UINT callbackMessage);
    // The animated form: starts cycling through icons at once.
    BOOL Create(CWnd* notifyWnd, UINT id, const char* tip, const HICON* icons, int count,
                UINT delayMs, UINT callbackMessage);

    // Tips are UTF-8.
    BOOL SetTipText(const char* tip);
    BOOL SetTipText(UINT stringId);
    std::string GetTipText() const;

    // A balloon over the icon, title and text in UTF-8 (cut to what the record holds); the
    // shell keeps it back during the user's quiet time. A click on it reaches the owner as
    // the callback message with NIN_BALLOONUSERCLICK. FALSE when not created.
    BOOL ShowBalloon(const std::string& title, const std::string& text);

    // Ends a running animation.
    BOOL SetIcon(HICON icon);
    BOOL SetIcon(const char* resourceName);
    BOOL SetIcon(UINT resourceId) { return SetIcon(MAKEINTRESOURCEA(resourceId)); }
    BOOL SetStandardIcon(const char* iconName);
    // The picture shown now (the current animation picture while animating).
    HICON GetIcon() const;

    // Shows icons[0] at once, then the next picture every delayMs, wrapping around.
    BOOL Animate(const HICON* icons, int count, UINT delayMs);
    bool IsAnimated() const { return m_Animated != FALSE; }

    BOOL SetNotificationWnd(CWnd* notifyWnd);
    CWnd* GetNotificationWnd() const { return m_NotifyWnd; }

    void Hide();
    void Show();
    void Remove();
    bool IsHidden() const { return m_Hidden != FALSE; }
    bool IsCreated() const { return m_Created != FALSE; }
    bool IsWaitingForTaskbar() const { return m_Waiting != FALSE; }

    // Default handling of the callback message: a right button release shows the first
    // popup of the menu whose resource number is the icon id, a double click sends its
    // first item's command. Returns 1 when the message was for this icon, else 0.
    virtual int HandleNotification(WPARAM id, LPARAM mouseMessage);

private:
    friend class CTrayTimerWnd;
    friend class CTrayRessurectionWnd;

    // A hidden window of this icon is going, whoever closed it: the icon forgets it.
    void HelperGone(const CWnd* helper);

    BOOL Notify(DWORD message);
    // One more try to add an icon that waits for the taskbar; true when it need not try again.
    bool TryAddAgain();
    void CopyTip(const char* tip);
    bool CreateResurrectionWnd();
    bool CreateAnimationWnd(const HICON* icons, int count, UINT delayMs);
    void DestroyAnimationWnd();
    void DestroyResurrectionWnd();

    NOTIFYICONDATAW m_Data;
    BOOL m_Created = FALSE;
    BOOL m_Hidden = FALSE;
    CWnd* m_NotifyWnd = nullptr;
    CTrayTimerWnd* m_AnimationWnd = nullptr;
    CTrayRessurectionWnd* m_ResurrectionWnd = nullptr;
    BOOL m_Animated = FALSE;
    BOOL m_Waiting = FALSE;
};
