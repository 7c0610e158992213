#include "tray/tray_notify_icon.h"

#include "framework/menu.h"
#include "framework/wnd.h"
#include "mime/utf16_win.h"
#include "tray/tray_ressurection_wnd.h"
#include "tray/tray_timer_wnd.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>

namespace {

constexpr UINT kAllFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

// Copies as much of the text as fits with its terminating zero (and at most `most`
// characters), never half a character.
template <size_t N>
void CopyWide(WCHAR (&buffer)[N], const std::string& utf8, size_t most = N - 1) {
    const std::wstring wide = mime::ToUtf16(utf8);
    size_t length = std::min({wide.size(), N - 1, most});
    if (length < wide.size() && length > 0 && IS_HIGH_SURROGATE(wide[length - 1]))
        --length;
    std::copy(wide.begin(), wide.begin() + static_cast<std::ptrdiff_t>(length), buffer);
    buffer[length] = L'\0';
}

} // namespace

CTrayNotifyIcon::ShellNotifyFn CTrayNotifyIcon::s_ShellNotify = &::Shell_NotifyIconW;

CTrayNotifyIcon::CTrayNotifyIcon() {
    std::memset(&m_Data, 0, sizeof(m_Data));
}

CTrayNotifyIcon::~CTrayNotifyIcon() {
    // The hidden windows go first, so that neither can touch the icon while it leaves.
    DestroyAnimationWnd();
    DestroyResurrectionWnd();
    Remove();
}

BOOL CTrayNotifyIcon::Notify(DWORD message) {
    // Not in the area yet: a change only goes into the record the adding will carry.
    if (m_Waiting && message == NIM_MODIFY)
        return TRUE;
    return s_ShellNotify(message, &m_Data);
}

bool CTrayNotifyIcon::TryAddAgain() {
    if (!m_Waiting)
        return true;
    if (m_Hidden)
        return false;
    m_Data.uFlags = kAllFlags;
    // An adding that timed out may have arrived after all: then the icon is there to change.
    if (s_ShellNotify(NIM_ADD, &m_Data) || s_ShellNotify(NIM_MODIFY, &m_Data))
        m_Waiting = FALSE;
    return m_Waiting == FALSE;
}

void CTrayNotifyIcon::CopyTip(const char* tip) {
    static_assert(sizeof(NOTIFYICONDATAW::szTip) / sizeof(WCHAR) > kMaxTipLength,
                  "tip buffer too small");
    // 64 characters is what the oldest shells show; the record has room for more.
    CopyWide(m_Data.szTip, tip == nullptr ? "" : tip, kMaxTipLength);
}

BOOL CTrayNotifyIcon::ShowBalloon(const std::string& title, const std::string& text) {
    if (!m_Created)
        return FALSE;
    m_Data.uFlags = NIF_INFO;
    m_Data.dwInfoFlags = NIIF_INFO | NIIF_RESPECT_QUIET_TIME;
    CopyWide(m_Data.szInfoTitle, title);
    // An empty text would take the balloon away instead of showing it.
    CopyWide(m_Data.szInfo, text.empty() ? std::string(" ") : text);
    return Notify(NIM_MODIFY);
}

BOOL CTrayNotifyIcon::Create(CWnd* notifyWnd, UINT id, const char* tip, HICON icon,
                             UINT callbackMessage) {
    if (notifyWnd == nullptr || notifyWnd->GetSafeHwnd() == nullptr)
        return FALSE;
    if (m_ResurrectionWnd == nullptr && !CreateResurrectionWnd())
        return FALSE;
    m_NotifyWnd = notifyWnd;
    // The whole record: balloons and their quiet-time flag need the fields of the later
    // versions, and every shell since Windows 7 takes it.
    m_Data.cbSize = sizeof(m_Data);
    m_Data.hWnd = notifyWnd->GetSafeHwnd();
    m_Data.uID = id;
    m_Data.uFlags = kAllFlags;
    m_Data.uCallbackMessage = callbackMessage;
    m_Data.hIcon = icon;
    CopyTip(tip);
    m_Waiting = FALSE;
    m_Created = Notify(NIM_ADD);
    if (!m_Created && m_ResurrectionWnd->StartRetrying()) {
        m_Created = TRUE;
        m_Waiting = TRUE;
    }
    return m_Created;
}

BOOL CTrayNotifyIcon::Create(CWnd* notifyWnd, UINT id, const char* tip, const HICON* icons,
                             int count, UINT delayMs, UINT callbackMessage) {
    if (icons == nullptr || count < 1 || notifyWnd == nullptr)
        return FALSE;
    DestroyAnimationWnd();
    if (!CreateAnimationWnd(icons, count, delayMs))
        return FALSE;
    m_Animated = TRUE;
    return Create(notifyWnd, id, tip, icons[0], callbackMessage);
}

BOOL CTrayNotifyIcon::SetTipText(const char* tip) {
    if (!m_Created)
        return FALSE;
    m_Data.uFlags = NIF_TIP;
    CopyTip(tip);
    return Notify(NIM_MODIFY);
}

BOOL CTrayNotifyIcon::SetTipText(UINT stringId) {
    wchar_t text[kMaxTipLength + 1] = {};
    if (::LoadStringW(CWnd::Instance(), stringId, text, static_cast<int>(std::size(text))) <= 0)
        return FALSE;
    return SetTipText(mime::FromUtf16(text).c_str());
}

std::string CTrayNotifyIcon::GetTipText() const {
    return m_Created ? mime::FromUtf16(m_Data.szTip) : std::string();
}

BOOL CTrayNotifyIcon::SetIcon(HICON icon) {
    if (!m_Created)
        return FALSE;
    DestroyAnimationWnd();
    m_Animated = FALSE;
    m_Data.uFlags = NIF_ICON;
    m_Data.hIcon = icon;
    return Notify(NIM_MODIFY);
}

BOOL CTrayNotifyIcon::SetIcon(const char* resourceName) {
    // Icons from LoadIcon are shared by the system: nobody destroys them.
    HICON icon = ::LoadIconA(CWnd::Instance(), resourceName);
    return icon != nullptr && SetIcon(icon);
}

BOOL CTrayNotifyIcon::SetStandardIcon(const char* iconName) {
    HICON icon = ::LoadIconA(nullptr, iconName);
    return icon != nullptr && SetIcon(icon);
}

HICON CTrayNotifyIcon::GetIcon() const {
    if (!m_Created)
        return nullptr;
    if (m_Animated && m_AnimationWnd != nullptr)
        return m_AnimationWnd->GetCurrentIcon();
    return m_Data.hIcon;
}

BOOL CTrayNotifyIcon::Animate(const HICON* icons, int count, UINT delayMs) {
    if (icons == nullptr || count < 1)
        return FALSE;
    if (!SetIcon(icons[0]))
        return FALSE;
    DestroyAnimationWnd();
    if (!CreateAnimationWnd(icons, count, delayMs))
        return FALSE;
    m_Animated = TRUE;
    return TRUE;
}

BOOL CTrayNotifyIcon::SetNotificationWnd(CWnd* notifyWnd) {
    if (!m_Created || notifyWnd == nullptr || notifyWnd->GetSafeHwnd() == nullptr)
        return FALSE;
    // The shell knows an icon by its window and id, so a NIM_MODIFY naming another window
    // finds no icon: the icon leaves under the old window and comes back under the new one.
    if (!m_Hidden) {
        m_Data.uFlags = 0;
        Notify(NIM_DELETE);
    }
    m_NotifyWnd = notifyWnd;
    m_Data.hWnd = notifyWnd->GetSafeHwnd();
    if (m_Hidden)
        return TRUE;
    m_Data.uFlags = kAllFlags;
    return Notify(NIM_ADD);
}

void CTrayNotifyIcon::Hide() {
    if (m_Hidden)
        return;
    m_Data.uFlags = NIF_ICON;
    Notify(NIM_DELETE);
    m_Hidden = TRUE;
}

void CTrayNotifyIcon::Show() {
    if (!m_Hidden)
        return;
    m_Data.uFlags = kAllFlags;
    if (Notify(NIM_ADD))
        m_Waiting = FALSE;
    m_Hidden = FALSE;
}

void CTrayNotifyIcon::Remove() {
    if (!m_Created)
        return;
    m_Data.uFlags = 0;
    Notify(NIM_DELETE);
    m_Created = FALSE;
    m_Waiting = FALSE;
}

int CTrayNotifyIcon::HandleNotification(WPARAM id, LPARAM mouseMessage) {
    if (id != m_Data.uID)
        return 0;
    CMenu menu;
    if (!menu.LoadMenu(m_Data.uID))
        return 0;
    // Borrowed: it goes with the loaded menu.
    CMenu popup = menu.GetSubMenu(0);
    if (popup.GetSafeHmenu() == nullptr)
        return 0;
    if (mouseMessage == WM_RBUTTONUP) {
        popup.SetDefaultItem(0);
        POINT cursor = {};
        ::GetCursorPos(&cursor);
        // Without this the menu would not close when the user clicks elsewhere.
        ::SetForegroundWindow(m_Data.hWnd);
        popup.TrackPopupMenu(0, cursor.x, cursor.y, m_Data.hWnd);
    } else if (mouseMessage == WM_LBUTTONDBLCLK) {
        ::SendMessageA(m_Data.hWnd, WM_COMMAND, popup.GetMenuItemID(0), 0);
    }
    return 1;
}

bool CTrayNotifyIcon::CreateResurrectionWnd() {
    auto wnd = std::make_unique<CTrayRessurectionWnd>(this);
    if (!wnd->CreateHidden())
        return false;
    // From here on the window owns its object.
    m_ResurrectionWnd = wnd.release();
    return true;
}

bool CTrayNotifyIcon::CreateAnimationWnd(const HICON* icons, int count, UINT delayMs) {
    auto wnd = std::make_unique<CTrayTimerWnd>(this, icons, count, delayMs);
    if (!wnd->CreateHidden())
        return false;
    m_AnimationWnd = wnd.release();
    return true;
}

void CTrayNotifyIcon::HelperGone(const CWnd* helper) {
    if (helper == reinterpret_cast<const CWnd*>(m_AnimationWnd)) {
        m_AnimationWnd = nullptr;
        m_Animated = FALSE;
    }
    if (helper == reinterpret_cast<const CWnd*>(m_ResurrectionWnd))
        m_ResurrectionWnd = nullptr;
}

void CTrayNotifyIcon::DestroyAnimationWnd() {
    if (m_AnimationWnd == nullptr)
        return;
    // The window deletes its own object once it is destroyed.
    ::SendMessageA(m_AnimationWnd->GetSafeHwnd(), WM_CLOSE, 0, 0);
    m_AnimationWnd = nullptr;
}

void CTrayNotifyIcon::DestroyResurrectionWnd() {
    if (m_ResurrectionWnd == nullptr)
        return;
    ::SendMessageA(m_ResurrectionWnd->GetSafeHwnd(), WM_CLOSE, 0, 0);
    m_ResurrectionWnd = nullptr;
}
