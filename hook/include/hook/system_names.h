// Names and numbers that the system's programs agree on: the menu window and the messages it
// takes, the registry keys of the service and of the settings.
#pragma once

#include <ce/types.h>

// The menu program's window class (and title).
inline constexpr char16_t MenuWindowClass[] = u"Vireta";
// WM_COMMAND wParam: a second start asks the running menu to show itself.
inline constexpr WPARAM MenuShowCommand = 1012;
// WM_USER wParam: the options program saved new settings; the menu ends.
inline constexpr WPARAM MenuReloadCommand = 1056;
// Posted with wParam 1 by the service, its registration program and the setup library: the menu
// program ends.
inline constexpr UINT MenuEndMessage = 0x420;

// The platform's own Start menu and taskbar windows.
inline constexpr char16_t PlatformStartMenuClass[] = u"MSSTARTMENU";
inline constexpr char16_t TaskbarClass[] = u"HHTaskBar";
inline constexpr char16_t MenuBarClass[] = u"ToolbarWindow32";

// HKEY_LOCAL_MACHINE keys.
inline constexpr char16_t SettingsKey[] = u"SOFTWARE\\Tolmar_Vireta";
inline constexpr char16_t ServicesKey[] = u"Services";
inline constexpr char16_t ServiceKeyName[] = u"Vireta";
inline constexpr char16_t ServiceKey[] = u"Services\\Vireta";

// The service as the services host names it, and its library.
inline constexpr char16_t ServiceDeviceName[] = u"SMC0:";
inline constexpr char16_t ServicePrefix[] = u"SMC";
inline constexpr char16_t ServiceLibraryName[] = u"Brevin.dll";
inline constexpr char16_t ServiceLibraryPath[] = u"\\Windows\\Brevin.dll";

// The default installation directory.
inline constexpr char16_t DefaultSystemDirectory[] = u"\\Program Files\\Vireta\\";
