#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

#include <string>

// A list view ("SysListView32"), either made here with Create or attached to a dialog's
// control by data exchange. Item and column numbers are the control's own, from 0; the
// int results follow the control's convention of -1 for "none" or failure.
class CListCtrl : public CWnd {
public:
    // Makes a child list view and attaches this object to it.
    bool Create(DWORD style, const RECT& rect, HWND parent, int id);

    // Column `pos` shows subitem `pos`.
    int InsertColumn(int pos, const std::string& header, int width, int format = LVCFMT_LEFT);
    int GetColumnWidth(int column) const;

    int InsertItem(int item, const std::string& text);
    bool SetItemText(int item, int subItem, const std::string& text);
    std::string GetItemText(int item, int subItem) const;
    bool DeleteAllItems();
    int GetItemCount() const;
    // A list with LVS_OWNERDATA holds no texts: it shows `count` rows and asks its parent
    // for each one it draws (LVN_GETDISPINFO). Selections stay by row number.
    bool SetItemCount(int count, DWORD flags = 0);
    // Sets the LVS_EX_* bits in `mask` to those of `styles`.
    void SetExtendedStyle(DWORD mask, DWORD styles);

    // The first item after `start` (-1: from the beginning) having the LVNI_* `flags`.
    int GetNextItem(int start, int flags) const;
    // The first selected item, searching from the start, or -1.
    int GetFirstSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }
    bool SetItemState(int item, UINT state, UINT mask);

    // `code` is LVIR_BOUNDS, LVIR_ICON or LVIR_LABEL; the rectangle is in client coordinates.
    bool GetItemRect(int item, RECT* rect, int code) const;
    // The outer window rectangle in screen coordinates.
    RECT GetWindowRect() const;
};
