#pragma once

#include <windows.h>

// The program's private window messages and its timers, in one place.

// Summary popup to the main dialog: its time is up (sent).
constexpr UINT WM_POPUP_TIMEOUT = WM_USER + 5;
// The tray icon's callback: wParam the icon id, lParam the mouse message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 8;
// Worker thread to the main dialog: a job (a check or a deletion) has ended (posted).
constexpr UINT WM_CHECK_DONE = WM_USER + 9;
// The main dialog to itself: the last question, menu or sheet has closed, so what waited
// for it (a timer tick, the end of a job) may run now (posted).
constexpr UINT WM_RESUME_WORK = WM_USER + 20;
// The update check's worker to the main dialog: the check has ended (posted).
constexpr UINT WM_UPDATE_DONE = WM_USER + 30;

constexpr UINT_PTR ID_TIMER_POPUP = 1030;
constexpr UINT_PTR ID_TIMER_CHECK = 1031;
constexpr UINT_PTR ID_TIMER_UPDATE = 1034;
// One shot: the next try of a check that met a passing network fault, or the check once the
// network is likely back after the machine woke.
constexpr UINT_PTR ID_TIMER_RETRY = 1040;
// While the program ends: waits for the boxes it closed to be gone.
constexpr UINT_PTR ID_TIMER_EXIT = 1041;
