#include "framework/list_ctrl.h"

#include "mime/utf16_win.h"

#include <vector>

bool CListCtrl::Create(DWORD style, const RECT& rect, HWND parent, int id) {
    return CreateControl(WC_LISTVIEWA, style | WS_CHILD, rect.left, rect.top,
                         rect.right - rect.left, rect.bottom - rect.top, parent, id);
}

int CListCtrl::InsertColumn(int pos, const std::string& header, int width, int format) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<char*>(header.c_str());
    column.iSubItem = pos;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(pos),
                                        reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::GetColumnWidth(int column) const {
    return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

// Item texts are mail texts in any language: they go in and out wide.
int CListCtrl::InsertItem(int item, const std::string& text) {
    std::wstring wide = mime::ToUtf16(text);
    LVITEMW lvItem = {};
    lvItem.mask = LVIF_TEXT;
    lvItem.iItem = item;
    lvItem.pszText = wide.data();
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvItem)));
}

bool CListCtrl::SetItemText(int item, int subItem, const std::string& text) {
    std::wstring wide = mime::ToUtf16(text);
    LVITEMW lvItem = {};
    lvItem.iSubItem = subItem;
    lvItem.pszText = wide.data();
    return SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item),
                       reinterpret_cast<LPARAM>(&lvItem)) != FALSE;
}

std::string CListCtrl::GetItemText(int item, int subItem) const {
    // The control copies at most the buffer and says how much it copied; a full buffer
    // may mean a cut text, so grow and ask again.
    for (size_t size = 256;; size *= 2) {
        std::vector<wchar_t> buffer(size);
        LVITEMW lvItem = {};
        lvItem.iSubItem = subItem;
        lvItem.pszText = buffer.data();
        lvItem.cchTextMax = static_cast<int>(size);
        const LRESULT copied = SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                                           reinterpret_cast<LPARAM>(&lvItem));
        if (copied < static_cast<LRESULT>(size) - 1 || size >= 65536)
            return mime::FromUtf16(buffer.data());
    }
}

bool CListCtrl::DeleteAllItems() {
    return SendMessage(LVM_DELETEALLITEMS) != FALSE;
}

int CListCtrl::GetItemCount() const {
    return static_cast<int>(SendMessage(LVM_GETITEMCOUNT));
}

int CListCtrl::GetNextItem(int start, int flags) const {
    return static_cast<int>(
        SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
}

bool CListCtrl::SetItemState(int item, UINT state, UINT mask) {
    LVITEMA lvItem = {};
    lvItem.state = state;
    lvItem.stateMask = mask;
    return SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item),
                       reinterpret_cast<LPARAM>(&lvItem)) != FALSE;
}

bool CListCtrl::GetItemRect(int item, RECT* rect, int code) const {
    rect->left = code;
    return SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item),
                       reinterpret_cast<LPARAM>(rect)) != FALSE;
}

RECT CListCtrl::GetWindowRect() const {
    RECT rect = {};
    ::GetWindowRect(m_hWnd, &rect);
    return rect;
}

bool CListCtrl::SetItemCount(int count, DWORD flags) {
    return SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), static_cast<LPARAM>(flags)) !=
           FALSE;
}

void CListCtrl::SetExtendedStyle(DWORD mask, DWORD styles) {
    SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, static_cast<LPARAM>(styles));
}
