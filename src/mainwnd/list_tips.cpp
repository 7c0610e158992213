#include "mainwnd/list_tips.h"

#include "framework/list_ctrl.h"
#include "mime/utf16_win.h"

#include <algorithm>

namespace {

// The space a report list leaves around a cell's text, both sides together.
constexpr int kCellPadding = 12;

} // namespace

void FillCutCellTip(const CListCtrl& list, NMLVGETINFOTIPW& tip, const CellText& textOf) {
    if (tip.pszText == nullptr || tip.cchTextMax <= 0)
        return;
    tip.pszText[0] = L'\0';
    // The tip belongs to a row; which of its cells is the one the pointer rests on.
    LVHITTESTINFO hit = {};
    ::GetCursorPos(&hit.pt);
    ::ScreenToClient(list, &hit.pt);
    list.SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem != tip.iItem || hit.iSubItem < 0)
        return;
    std::wstring text = mime::ToUtf16(textOf(hit.iItem, hit.iSubItem));
    const int needed = static_cast<int>(list.SendMessage(LVM_GETSTRINGWIDTHW, 0,
                                                         reinterpret_cast<LPARAM>(text.c_str()))) +
                       kCellPadding;
    if (text.empty() || needed <= list.GetColumnWidth(hit.iSubItem))
        return;
    const size_t length = std::min(text.size(), static_cast<size_t>(tip.cchTextMax - 1));
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), tip.pszText);
    tip.pszText[length] = L'\0';
}
