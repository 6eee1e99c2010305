#include <menu/screen/start_menu.h>
#include <menu/screen/vireta_program.h>

#include <menu/program_start.h>

#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/global/global_informations.h>

#include <ce/windows.h>

int ViretaProgram::run(HINSTANCE instance, std::u16string_view commandLine) {
  if (ProgramStart::handOverToRunningInstance())
    return 0;
  if (!commandLine.empty())
    ProgramStart::storeCommandLine(commandLine);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  ProgramStart::closePlatformStartMenu();
  DWORD lastPing = lastProcessPing.load();
  ProgramStart::pingProcesses(lastPing);
  lastProcessPing.store(lastPing);
  const bool serviceFailed = ProgramStart::startService() == ProgramStart::ServiceStart::Failed;

  auto *menu = new StartMenu(instance);
  if (serviceFailed)
    menu->tellServiceFailed();
  ProgramStart::migrateStartMenuShortcuts(menu->settings().folders);
  if (menu->isUsable())
    menu->window()->run();
  delete menu;
  return 0;
}
