#pragma once

#include <windows.h>

#include "framework/gdi.h"

// The display scale a window is drawn at, and pictures made for it.

// Dots per inch of the monitor the window is on (96 is 100 %).
UINT WindowDpi(HWND window);
// A length of 96 DPI scaled to `dpi`, rounded.
int ScaleToDpi(int length, UINT dpi);

// Bitmap resource `small` (drawn for 96 DPI) at the size this DPI asks for: the resource
// itself at 96 DPI, otherwise `large` (the same picture drawn larger) scaled smoothly to
// size. `loadFlags` go to LoadImage (LR_LOADMAP3DCOLORS, say). The caller owns the result;
// null when a resource is missing.
HBITMAP LoadBitmapForDpi(UINT small, UINT large, UINT dpi, UINT loadFlags = 0);
// The size of a bitmap in pixels.
SIZE BitmapSize(HBITMAP bitmap);
// Static picture control `id` of `dialog` shows bitmap `small` at the dialog's scale; `keep`
// owns the picture. At 96 DPI the template's own picture stays.
void ShowStaticBitmapForDpi(HWND dialog, int id, UINT small, UINT large, CBitmap& keep);
