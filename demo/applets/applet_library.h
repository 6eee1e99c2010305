// The behaviour shared by the demo's control-panel libraries: each .cpl file owns one
// AppletLibrary for its catalog entries and forwards its exported CPlApplet to it.
//
// - CPL_INIT answers 1, CPL_GETCOUNT the number of applets, CPL_STOP and CPL_EXIT 0.
// - CPL_NEWINQUIRE fills the whole NEWCPLINFOW: name, description, the applet's index in lData
//   and its icon, extracted from the library's own icon resources (the resource file beside the
//   library, as for every program of ours). The icons stay the library's until CPL_EXIT.
// - CPL_INQUIRE gives the icon's resource id (index + 1) and CPL_DYNAMIC_RES for the texts.
// - CPL_IDNAME copies the identifier name into the caller's 33-character buffer.
// - CPL_DBLCLK "opens" the applet: it records "<library>,<index>" as the REG_SZ value
//   LastOpened of HKEY_LOCAL_MACHINE\Software\Demo\Applets (so that a test or a person can see
//   which applet a control-panel host opened) and answers 0.
// - Unknown messages, an index the library does not have, or a null record answer 1 and touch
//   nothing.
// - Every call is recorded as one line appended to the device file \Temp\demo_applets.log, so
//   that a test or a person can see which messages a control-panel host sent, in which order:
//     "<library> <message> [<applet index>] parent=<window handle as 0x%08llx>"
//   with the message by name (CPL_INIT, CPL_GETCOUNT, CPL_NEWINQUIRE 2, CPL_DBLCLK 2, ...); the
//   index is left out for the messages that have none (CPL_INIT, CPL_GETCOUNT, CPL_EXIT).
#pragma once

#include "demo_catalog.h"

#include <ce/cpl.h>

#include <mutex>
#include <vector>

namespace ce::demo {

class AppletLibrary {
public:
  explicit AppletLibrary(std::u16string_view library);
  ~AppletLibrary();
  AppletLibrary(const AppletLibrary &) = delete;
  AppletLibrary &operator=(const AppletLibrary &) = delete;

  LONG handle(HWND parent, UINT message, LPARAM lParam1, LPARAM lParam2);

private:
  const SampleApplet *applet(LPARAM index) const;
  void record(HWND parent, UINT message, LPARAM index) const;
  HICON iconFor(const SampleApplet &applet);
  void releaseIcons();
  // The device path of this library: where it was loaded from, else \Windows\<library>.
  std::u16string devicePath() const;

  std::u16string library_;
  std::span<const SampleApplet> applets_;
  std::mutex mutex_;
  std::vector<HICON> icons_; // by applet index; null until asked for
};

} // namespace ce::demo
