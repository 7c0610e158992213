#pragma once

#include <windows.h>

class CListCtrl;
class ProfileBatch;

// The main window's place and its list's column widths, kept in the profile from one run to
// the next (section "Window": "Position" is the top-left corner in screen pixels,
// "ColumnWidths" the three widths in pixels at 96 DPI, so that they keep their look when the
// display's scale changes). The window's size is the template's.

// After the columns exist: the remembered place, brought back inside a work area when it is
// off every monitor, and the remembered widths. Without remembered values nothing changes.
void RestoreWindowPlacement(HWND window, CListCtrl& list);
// At Exit.
void SaveWindowPlacement(HWND window, const CListCtrl& list, ProfileBatch& batch);
