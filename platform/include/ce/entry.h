// A device program's entry point. Link the program with `platform_entry`: its main() connects to
// the device host when a device root is set (CE_DEVICE), builds the command line and calls
// WinMain, whose result becomes the program's exit code.
//
// The command line is the program's arguments without its name, as on the device: the exact text
// the starter gave (ShellExecuteEx's parameters) for programs the host starts, otherwise the
// host arguments joined by spaces, each one holding a space or a quote put in double quotes.
// hPrevInstance is always null; nShowCmd is the show command the starter asked for
// (SW_SHOWNORMAL when started from outside the device).
//
// A program lives no longer than its device's host: one the host started is killed when the
// host's process ends, whatever way it ends (the host is its parent); one that joined from
// outside is killed once its connection breaks and the host is seen gone. Either way it ends as
// by SIGKILL, without running more of its own code: its system has gone.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

int WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd);

CE_EXTERN_C_END
