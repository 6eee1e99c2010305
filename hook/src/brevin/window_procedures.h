// The procedures the service puts on the taskbar and on bottom menu bars. They run on the
// thread of the window they replace, talk to the hook thread only by posted thread messages and
// the flags of the shared record, and pass everything else to the window's own procedure.
#pragma once

#include <ce/windows_api.h>

// The narrow taskbar: its Start command and the Windows key.
LRESULT taskbarProc65(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The older taskbar: a press on its left third and the Windows key.
LRESULT taskbarProcClassic(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// A bottom menu bar: a tap on its left sixth.
LRESULT menuBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Posts a Start request (WM_USER, 1) to the hook thread.
void postStartRequest();

// Worker: hooks the bottom menu bars of every top-level window, then prunes the table.
DWORD rescanMenuBars(LPVOID);
// Hooks the bottom menu bars found below `window`; returns how many it hooked.
int hookBottomMenuBars(HWND window);
