// Names and private messages shared by the shell's windows and the host.
#pragma once

#include <ce/messages.h>

namespace ce::shell {

inline constexpr char16_t kTaskbarClass[] = u"HHTaskBar";
inline constexpr char16_t kStartMenuClass[] = u"MSSTARTMENU";
inline constexpr char16_t kDesktopClass[] = u"DeviceDesktop";

// The command the 6.5-style taskbar sends itself for a tap on its Start button.
inline constexpr WPARAM kStartCommand = 0x47A;

// Posted by the host to the taskbar when a window calls SHFullScreen with SHFS_HIDETASKBAR or
// SHFS_SHOWTASKBAR: wParam is the window, lParam its flags.
inline constexpr UINT kTaskbarFullScreenMessage = WM_APP + 0x51;

} // namespace ce::shell
