// Starting and raising the menu program from the services host.
#pragma once

#include <ce/types.h>

#include <string>
#include <string_view>

// Starts `path` with `arguments`. A path without a leading '\' is taken in the system's
// directory (`userDirectory` of the shared record, given a final '\'; without a record, the
// directory the settings name, or the default installation directory). A non-zero
// `errorNumber` is first written to "Debug.txt" in the system's directory. A start that fails
// is told to the user in a message box captioned "Hook error".
void launchProgram(std::u16string_view path, std::u16string_view arguments, int errorNumber);

// The path `launchProgram` starts for `path`.
std::u16string resolveProgramPath(std::u16string_view path);

// Brings the menu window to the front, with the windows it owns and the keyboard focus.
void raiseMenu(HWND menu);

// Worker: waits up to 10 seconds for the menu window, brings it to the front with the keyboard
// focus and stays one more second. Its parameter, when not null, is the number of the Start
// request it serves: once a newer request came, the window is left as that one decides. Such a
// raise is handed to the hook thread (RaiseRequest), which handles the Start requests one after
// another, so that a raise never comes between a newer request's look at the window and what it
// does with it.
DWORD bringMenuForward(LPVOID request);

extern "C" {
// Worker: closes the platform's own Start menu when it is open (and notes `HideWM` = 1), starts
// "Vireta.exe" from the system's directory and brings its window forward (its parameter goes on
// to bringMenuForward).
DWORD RunMyStartMenu(LPVOID request);
}
