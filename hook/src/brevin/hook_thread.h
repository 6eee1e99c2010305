// The service's hook thread: finds the taskbar, tells its design, puts the service's procedure
// on it, notes what it found in the settings key, then serves Start requests until it is told to
// stop. Its last act is to clear `hookThreadId`, which is how a stopper in any process learns
// that it ended.
#pragma once

#include <ce/types.h>

DWORD hookThreadMain(LPVOID);

// Request codes of WM_USER thread messages to the hook thread.
inline constexpr WPARAM StartRequest = 1;
inline constexpr WPARAM MenuBarRequest = 2;
inline constexpr WPARAM RescanRequest = 3;
// lParam: the number of the Start request a worker found the menu window for. The window is
// raised here, between the Start requests, and only while no newer one has come.
inline constexpr WPARAM RaiseRequest = 4;
