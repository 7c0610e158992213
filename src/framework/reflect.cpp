#include "framework/reflect.h"

#include "framework/wnd.h"

bool ReflectControlColour(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND control = reinterpret_cast<HWND>(lParam);
    // Foreign controls never see a message number they do not know.
    if (CWnd::FromHandle(control) == nullptr)
        return false;
    const LRESULT brush = ::SendMessageA(control, WM_REFLECT_CTLCOLOR, wParam, msg);
    if (brush == 0)
        return false;
    *result = brush;
    return true;
}
