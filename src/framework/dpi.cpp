#include "framework/dpi.h"

#include "framework/gdi.h"
#include "framework/wnd.h"

#include <utility>

namespace {

constexpr UINT kBaseDpi = 96;

HBITMAP LoadBitmapResource(UINT id, UINT flags) {
    // A DIB section, so that it keeps its colours whatever the screen's depth.
    return static_cast<HBITMAP>(::LoadImageA(CWnd::Instance(), MAKEINTRESOURCEA(id), IMAGE_BITMAP,
                                             0, 0, LR_CREATEDIBSECTION | flags));
}

} // namespace

UINT WindowDpi(HWND window) {
    // Per monitor from Windows 10 on; older systems have one DPI for every monitor.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return dpi;
    }
    CClientDC screen(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

int ScaleToDpi(int length, UINT dpi) {
    return ::MulDiv(length, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectA(bitmap, sizeof(info), &info) == 0)
        return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

HBITMAP LoadBitmapForDpi(UINT small, UINT large, UINT dpi, UINT loadFlags) {
    if (dpi <= kBaseDpi)
        return LoadBitmapResource(small, loadFlags);
    CBitmap base(LoadBitmapResource(small, 0));
    CBitmap source(LoadBitmapResource(large, loadFlags));
    if (base.Get() == nullptr || source.Get() == nullptr)
        return base.Get() != nullptr ? LoadBitmapResource(small, loadFlags) : nullptr;
    const SIZE want = {ScaleToDpi(BitmapSize(base).cx, dpi), ScaleToDpi(BitmapSize(base).cy, dpi)};
    const SIZE have = BitmapSize(source);
    CClientDC screen(nullptr);
    CMemoryDC from(screen), to(screen);
    HBITMAP scaled = ::CreateCompatibleBitmap(screen, want.cx, want.cy);
    if (scaled == nullptr)
        return nullptr;
    {
        CSelectObject selectFrom(from, source);
        CSelectObject selectTo(to, scaled);
        // HALFTONE averages the source pixels under each target pixel: smooth, not blocky.
        ::SetStretchBltMode(to, HALFTONE);
        ::SetBrushOrgEx(to, 0, 0, nullptr);
        ::StretchBlt(to, 0, 0, want.cx, want.cy, from, 0, 0, have.cx, have.cy, SRCCOPY);
    }
    return scaled;
}

void ShowStaticBitmapForDpi(HWND dialog, int id, UINT small, UINT large, CBitmap& keep) {
    const UINT dpi = WindowDpi(dialog);
    if (dpi <= kBaseDpi)
        return;
    CBitmap picture(LoadBitmapForDpi(small, large, dpi));
    if (picture.Get() == nullptr)
        return;
    // The picture the control loaded from the template is ours to free once replaced.
    const auto previous = reinterpret_cast<HBITMAP>(::SendDlgItemMessageA(
        dialog, id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.Get())));
    if (previous != nullptr && previous != picture.Get())
        ::DeleteObject(previous);
    keep = std::move(picture);
}
