#include "framework/animate_ctrl.h"

#include <commctrl.h>

bool CAnimateCtrl::Create(DWORD style, const RECT& rect, HWND parent, int id) {
    return CreateControl(ANIMATE_CLASSA, style | WS_CHILD, rect.left, rect.top,
                         rect.right - rect.left, rect.bottom - rect.top, parent, id);
}

bool CAnimateCtrl::Open(UINT resourceId) {
    // The module handle in wParam makes the control look among our resources.
    return SendMessage(ACM_OPENA, reinterpret_cast<WPARAM>(Instance()),
                       reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(resourceId))) != FALSE;
}

bool CAnimateCtrl::Play(UINT from, UINT to, UINT repeat) {
    return SendMessage(ACM_PLAY, static_cast<WPARAM>(repeat),
                       MAKELPARAM(static_cast<WORD>(from), static_cast<WORD>(to))) != FALSE;
}

bool CAnimateCtrl::Stop() {
    return SendMessage(ACM_STOP) != FALSE;
}

bool CAnimateCtrl::Close() {
    return SendMessage(ACM_OPENA, 0, 0) != FALSE;
}
