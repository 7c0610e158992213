#pragma once

#include <windows.h>

#include "framework/animate_ctrl.h"
#include "framework/gdi.h"

// The main window's pictures at the display's scale: the "i" on the about button, kept in
// `info`, and the search clip, opened (not played) in `animate`.
void ShowWindowPictures(HWND dialog, int aboutButton, CBitmap& info, CAnimateCtrl& animate);
