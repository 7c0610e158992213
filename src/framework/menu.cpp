#include "framework/menu.h"

#include "framework/wnd.h"

#include <utility>
#include <vector>

CMenu::~CMenu() {
    DestroyMenu();
}

CMenu::CMenu(CMenu&& other) noexcept
    : m_menu(std::exchange(other.m_menu, nullptr)), m_owned(std::exchange(other.m_owned, false)) {}

CMenu& CMenu::operator=(CMenu&& other) noexcept {
    if (this != &other) {
        // Taking a borrowed view of the menu held here must not destroy it.
        if (other.m_menu != m_menu)
            DestroyMenu();
        m_menu = std::exchange(other.m_menu, nullptr);
        m_owned = std::exchange(other.m_owned, false);
    }
    return *this;
}

CMenu CMenu::FromHandle(HMENU menu) {
    return CMenu(menu, false);
}

bool CMenu::LoadMenu(UINT resourceId) {
    DestroyMenu();
    m_menu = ::LoadMenuA(CWnd::Instance(), MAKEINTRESOURCEA(resourceId));
    m_owned = m_menu != nullptr;
    return m_owned;
}

bool CMenu::CreatePopupMenu() {
    DestroyMenu();
    m_menu = ::CreatePopupMenu();
    m_owned = m_menu != nullptr;
    return m_owned;
}

bool CMenu::AppendMenu(UINT flags, UINT_PTR idOrPopup, const char* text) {
    return ::AppendMenuA(m_menu, flags, idOrPopup, text) != FALSE;
}

void CMenu::DestroyMenu() {
    if (m_menu != nullptr && m_owned)
        ::DestroyMenu(m_menu);
    m_menu = nullptr;
    m_owned = false;
}

HMENU CMenu::Detach() {
    m_owned = false;
    return std::exchange(m_menu, nullptr);
}

CMenu CMenu::GetSubMenu(int pos) const {
    return CMenu(::GetSubMenu(m_menu, pos), false);
}

int CMenu::GetMenuItemCount() const {
    return ::GetMenuItemCount(m_menu);
}

UINT CMenu::GetMenuItemID(int pos) const {
    return ::GetMenuItemID(m_menu, pos);
}

int CMenu::EnableMenuItem(UINT id, UINT enable) {
    return static_cast<int>(::EnableMenuItem(m_menu, id, MF_BYCOMMAND | enable));
}

bool CMenu::ModifyMenu(UINT id, const std::string& text) {
    // ModifyMenu would also reset the grayed state; only the text is to change.
    MENUITEMINFOA info = {sizeof(info)};
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<char*>(text.c_str());
    return ::SetMenuItemInfoA(m_menu, id, FALSE, &info) != FALSE;
}

std::string CMenu::GetMenuString(UINT id) const {
    const int length = ::GetMenuStringA(m_menu, id, nullptr, 0, MF_BYCOMMAND);
    if (length <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = ::GetMenuStringA(m_menu, id, buffer.data(), length + 1, MF_BYCOMMAND);
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

UINT CMenu::GetMenuState(UINT id) const {
    return ::GetMenuState(m_menu, id, MF_BYCOMMAND);
}

bool CMenu::SetDefaultItem(int pos) {
    return ::SetMenuDefaultItem(m_menu, static_cast<UINT>(pos), TRUE) != FALSE;
}

int CMenu::GetDefaultItem() const {
    return static_cast<int>(::GetMenuDefaultItem(m_menu, TRUE, 0));
}

int CMenu::TrackPopupMenu(UINT flags, int x, int y, HWND owner) const {
    return static_cast<int>(::TrackPopupMenu(m_menu, flags, x, y, 0, owner, nullptr));
}
