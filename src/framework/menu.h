#pragma once

#include <windows.h>

#include <string>

// A menu handle. A menu made or loaded here is owned and destroyed with the object; one
// reached through GetSubMenu or FromHandle is borrowed and left alone (its parent owns it).
// Move-only: a copy would destroy the menu twice.
class CMenu {
public:
    CMenu() = default;
    ~CMenu();
    CMenu(CMenu&& other) noexcept;
    CMenu& operator=(CMenu&& other) noexcept;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // A borrowed view of a menu that someone else destroys.
    static CMenu FromHandle(HMENU menu);

    bool LoadMenu(UINT resourceId);
    bool CreatePopupMenu();
    bool AppendMenu(UINT flags, UINT_PTR idOrPopup = 0, const char* text = nullptr);
    // Destroys an owned menu now; a borrowed one is only forgotten.
    void DestroyMenu();
    // Gives up the menu without destroying it, e.g. when it becomes another menu's popup.
    HMENU Detach();

    HMENU GetSafeHmenu() const { return m_menu; }
    operator HMENU() const { return m_menu; }

    // The popup at `pos`, borrowed; empty when that item opens no popup.
    CMenu GetSubMenu(int pos) const;
    int GetMenuItemCount() const;
    // The command of the item at `pos`; 0 for a separator, -1 (as UINT) for a popup.
    UINT GetMenuItemID(int pos) const;

    // MF_ENABLED, MF_GRAYED or MF_DISABLED for the item with command `id`, searched in
    // popups too; returns the previous state, or -1 when there is no such item.
    int EnableMenuItem(UINT id, UINT enable);
    // Renames the item with command `id`, keeping its command and its enabled state.
    bool ModifyMenu(UINT id, const std::string& text);
    std::string GetMenuString(UINT id) const;
    // MF_* state bits of the item with command `id`, or -1 (as UINT) when there is none.
    UINT GetMenuState(UINT id) const;

    // Draws the item at `pos` in bold as the one a double-click would choose.
    bool SetDefaultItem(int pos);
    // The position of the default item, or -1.
    int GetDefaultItem() const;

    // Shows a popup at screen point (x, y); its choice arrives at `owner` as WM_COMMAND,
    // or is returned with TPM_RETURNCMD.
    int TrackPopupMenu(UINT flags, int x, int y, HWND owner) const;

private:
    CMenu(HMENU menu, bool owned) : m_menu(menu), m_owned(owned) {}

    HMENU m_menu = nullptr;
    bool m_owned = false;
};
