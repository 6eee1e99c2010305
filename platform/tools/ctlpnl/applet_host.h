// The control-panel host's work: open one applet of a control-panel library and show it until
// its window is closed.
//
// Order of calls into the library's exported CPlApplet, each with the host's window as parent:
//   CPL_INIT (0 = the library failed: CPL_EXIT is still sent before it is unloaded)
//   CPL_GETCOUNT (the index must be below it)
//   CPL_NEWINQUIRE for the applet, into a zeroed NEWCPLINFOW
//   CPL_DBLCLK for the applet (non-zero = it could not be opened)
//   ... the window shows, titled with the applet's name, until it is closed (WM_CLOSE) ...
//   CPL_STOP for the applet, CPL_EXIT, then the library is unloaded and the window destroyed
//   (it stays, hidden, until then, so the applet's parent is valid up to CPL_EXIT).
// The name is the record's szName; when the applet leaves it empty, its CPL_IDNAME, else
// "<file>,<index>". The window draws the applet's icon (when the record has one), its name and
// its description.
//
// Failures never reach the screen as a crash: each is one line on standard error ("ctlpnl: ...")
// and a distinct exit code (ExitCode).
#pragma once

#include "applet_command_line.h"

#include <ce/cpl.h>
#include <ce/types.h>

#include <string>

namespace ce::ctlpnl {

class AppletHost {
public:
  enum ExitCode : int {
    kClosed = 0,       // the applet was shown and its window closed
    kBadCommandLine = 2,
    kNotLoaded = 3,    // the library cannot be loaded
    kNoEntryPoint = 4, // it does not export CPlApplet
    kInitFailed = 5,   // CPL_INIT answered 0
    kNoSuchApplet = 6, // the index is not below CPL_GETCOUNT
    kOpenFailed = 7,   // CPL_DBLCLK answered non-zero
    kNoWindow = 8,     // the window could not be made (is the device's host running?)
  };

  // The window class of the host's applet windows.
  static constexpr const char16_t *kWindowClass = u"ControlPanelApplet";

  explicit AppletHost(HINSTANCE instance) : instance_(instance) {}

  int run(const AppletCommandLine &commandLine);

private:
  static LRESULT windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  bool makeWindow();
  void paint(HWND hwnd) const;
  std::u16string appletName(const AppletCommandLine &commandLine, int index) const;
  // Sends CPL_EXIT, unloads the library and destroys the window.
  void unload();

  static AppletHost *current_; // the window procedure's way back to its host (one per process)

  HINSTANCE instance_;
  HMODULE module_ = nullptr;
  APPLET_PROC entry_ = nullptr;
  HWND window_ = nullptr;
  NEWCPLINFOW record_{};
  std::u16string name_;
  std::u16string description_;
};

} // namespace ce::ctlpnl
