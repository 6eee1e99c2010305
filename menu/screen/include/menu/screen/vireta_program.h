// The menu program from its start to its end: a second start hands its request to the running
// instance and ends; the first stores the folder of its command line, closes the platform's own
// Start menu, pings the device's processes, starts the service when its shared record is
// missing (telling the user when it cannot be started), builds StartMenu, moves stray shortcuts
// into the Programs folder and runs the message loop until the program is told to end.
#pragma once

#include <ce/types.h>

#include <string_view>

class ViretaProgram {
public:
  // Returns the program's exit code (0).
  static int run(HINSTANCE instance, std::u16string_view commandLine);
};
