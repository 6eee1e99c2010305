// The steps of the menu program's start that need no screen of its own: the hand-over to a
// running instance, the folder of the command line, closing the platform's own Start menu, the
// process ping, starting the taskbar-hook service, and moving stray shortcuts into Programs.
#pragma once

#include <menu/menu_folders.h>

#include <ce/types.h>

#include <cstddef>
#include <string_view>

class ProgramStart {
public:
  static constexpr std::u16string_view WindowClass = u"Vireta";
  static constexpr std::u16string_view PlatformStartMenuClass = u"MSSTARTMENU";
  static constexpr WPARAM ShowCommand = 1012;
  static constexpr UINT PingMessage = 1023;
  static constexpr DWORD PingInterval = 1000; // ms
  // The shared record of the service: its existence tells that the service runs.
  static constexpr std::u16string_view ServiceMapping = u"globalValuesMapVireta";
  static constexpr DWORD ServiceMappingBytes = 32;

  // When a window of the menu's class exists, posts it WM_COMMAND 1012 and answers true: this
  // start ends here and its command line is not passed on.
  static bool handOverToRunningInstance();

  // Stores a non-empty command line as the folder to open (REG_NONE, no terminating zero).
  static bool storeCommandLine(std::u16string_view commandLine);

  // Posts WM_CLOSE, WM_QUIT and WM_DESTROY to the platform's Start menu when it is open.
  static bool closePlatformStartMenu();

  // When more than a second has passed since `lastPing` (a tick count), records the time and
  // posts thread message 1023 to every process of the device. Returns the number of processes
  // found, 0 when no ping was due or the process list could not be taken.
  static std::size_t pingProcesses(DWORD &lastPing);

  enum class ServiceStart {
    AlreadyRunning, // the shared record exists: nothing was done
    Started,        // the service was registered
    Failed,         // registration failed: the caller tells the user ("Brevin.dll error")
    MappingFailed,  // the shared record could not be looked at: nothing was tried
  };
  static ServiceStart startService();

  // Moves every "*.lnk" directly in the Start Menu folder into the Programs folder, unless the
  // menu's root is the Start Menu folder itself. A shortcut whose name is taken in Programs
  // stays where it is. Returns the number moved.
  static std::size_t migrateStartMenuShortcuts(const MenuFolders &folders);
};
