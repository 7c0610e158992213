#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

class CListCtrl;

// The text of row, column as the list shows it (UTF-8).
using CellText = std::function<std::string(int row, int column)>;

// Answers LVN_GETINFOTIPW of a report list with LVS_EX_INFOTIP: the whole text of the cell
// under the pointer when its column is too narrow to show it, and no tip otherwise.
void FillCutCellTip(const CListCtrl& list, NMLVGETINFOTIPW& tip, const CellText& textOf);
