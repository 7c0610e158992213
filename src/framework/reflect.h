#pragma once

#include <windows.h>

// Control-colour messages that a parent passes back to the control they are about, so that
// a control object can choose its own colours. wParam is the drawing context, lParam the
// original WM_CTLCOLOR... message; a brush as result means handled, 0 means not.
constexpr UINT WM_REFLECT_BASE = 0xBC00;
constexpr UINT WM_REFLECT_CTLCOLOR = WM_REFLECT_BASE + 0x0019;

// Offers a WM_CTLCOLOR... message the parent received to the framework object of the
// control it names; true with the brush in *result when that object chose the colours.
bool ReflectControlColour(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
