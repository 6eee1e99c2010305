// Ostrel.exe: one action per run, chosen by the command line; always ends with 0.
#include <service_setup/ostrel.h>

#include <ce/entry.h>

int WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  Ostrel ostrel;
  ostrel.run(ostrelActionFor(commandLine ? commandLine : u""));
  return 0;
}
