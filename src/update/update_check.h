#pragma once

#include <windows.h>

#include "mainwnd/window_messages.h"

// The two ways the main window asks for an update check. Both block the calling (user
// interface) thread while the request runs, and show the notice only when a newer version
// was found.

// Timer ID_TIMER_UPDATE of the main window: kills that timer on `owner`, so the scheduled
// chance comes once per run, then counts the chance and checks when it is due.
void RunScheduledUpdateCheck(HWND owner);

// After the about box was closed with "Check for &Update": checks now, with the wait cursor.
void RunForcedUpdateCheck(HWND owner);
