#include "mainwnd/window_pictures.h"

#include "framework/dpi.h"
#include "res/resource.h"

namespace {

// From 175 % on, the clip drawn at twice the size fits the grown box better than the other.
constexpr UINT kLargeClipDpi = 168;

} // namespace

void ShowWindowPictures(HWND dialog, int aboutButton, CBitmap& info, CAnimateCtrl& animate) {
    const UINT dpi = WindowDpi(dialog);
    // Drawn on the classic button grey, which becomes this system's button face.
    info.Reset(LoadBitmapForDpi(IDB_INFO, IDB_INFO_2X, dpi, LR_LOADMAP3DCOLORS));
    ::SendDlgItemMessageA(dialog, aboutButton, BM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(info.Get()));
    animate.Open(dpi >= kLargeClipDpi ? IDR_SEARCH_AVI_2X : IDR_SEARCH_AVI);
}
