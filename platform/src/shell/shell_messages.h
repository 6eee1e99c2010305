// Names and private messages shared by the shell's windows and the host.
#pragma once

#include <ce/messages.h>

namespace ce::shell {

inline constexpr char16_t kTaskbarClass[] = u"HHTaskBar";
inline constexpr char16_t kStartMenuClass[] = u"MSSTARTMENU";
inline constexpr char16_t kDesktopClass[] = u"DeviceDesktop";
inline constexpr char16_t kMenuBarClass[] = u"MenuBar";

// The command the 6.5-style taskbar sends itself for a tap on its Start button.
inline constexpr WPARAM kStartCommand = 0x47A;

// Posted by the host to the taskbar when a window calls SHFullScreen with any of the taskbar's and
// Start icon's flags: wParam is the window, lParam those flags.
inline constexpr UINT kTaskbarFullScreenMessage = WM_APP + 0x51;

// Posted by the host to a soft-key bar's "MenuBar" window when its owner shows or hides the input
// panel's button (SHFullScreen): wParam 1 shows it, 0 hides it.
inline constexpr UINT kMenuBarSipButtonMessage = WM_APP + 0x52;

// Posted to the taskbar by its process's view of the windows when the foreground window, a
// window's title or a window's existence changes (WindowStateView::watch).
inline constexpr UINT kTaskbarWindowsMessage = WM_APP + 0x53;

// Posted to a soft-key bar's "MenuBar" window by its process's view of the windows when its
// owner is shown, hidden or destroyed.
inline constexpr UINT kMenuBarOwnerMessage = WM_APP + 0x54;

} // namespace ce::shell
