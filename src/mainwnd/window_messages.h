#pragma once

#include <windows.h>

// The program's private window messages and its timers, in one place.

// Summary popup to the main dialog: its time is up (sent).
constexpr UINT WM_POPUP_TIMEOUT = WM_USER + 5;
// The tray icon's callback: wParam the icon id, lParam the mouse message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 8;
// Worker thread to the main dialog: a check has ended (posted).
constexpr UINT WM_CHECK_DONE = WM_USER + 9;

constexpr UINT_PTR ID_TIMER_POPUP = 1030;
constexpr UINT_PTR ID_TIMER_CHECK = 1031;
constexpr UINT_PTR ID_TIMER_UPDATE = 1034;
// One shot: a check once the network is likely back after the machine resumed.
constexpr UINT_PTR ID_TIMER_RESUME = 1035;
