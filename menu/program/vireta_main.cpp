// Vireta.exe, the menu program.
#include <menu/screen/vireta_program.h>

#include <ce/entry.h>

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  return ViretaProgram::run(instance, commandLine ? commandLine : u"");
}
