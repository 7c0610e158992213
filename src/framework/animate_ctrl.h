#pragma once

#include "framework/wnd.h"

// An animation control ("SysAnimate32") playing an AVI clip from the program's resources,
// made here with Create or attached to a dialog's control by data exchange.
class CAnimateCtrl : public CWnd {
public:
    bool Create(DWORD style, const RECT& rect, HWND parent, int id);

    // Loads the clip stored as resource `resourceId` of type "AVI"; false when it is missing
    // or not a clip the control can show.
    bool Open(UINT resourceId);
    // Frames `from` to `to` (0xFFFF: the last), `repeat` times (-1: until stopped).
    bool Play(UINT from, UINT to, UINT repeat);
    bool Stop();
    // Unloads the clip; the control shows nothing afterwards.
    bool Close();
};
