// The toolkit's demo program: one screen with an element of every kind and the toolkit's
// dialogs behind its buttons. Every event it receives goes to \Temp\toolkit_demo.log (see
// demo_identifiers.h), so that tests drive it with the device tool and read what happened.
//
// Command line: "early" shows a message box before the main window exists; "nameless" asks for
// one before the toolkit knows the program's name (the platform's box tells, and the program
// ends).
#include "demo_handler.h"
#include "demo_identifiers.h"

#include <toolkit/dialog/message_box_sense.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/global/global_informations.h>

#include <ce/entry.h>
#include <ce/windows.h>

#include <string>

namespace {

WNDPROC mainProcedure = nullptr;
demo::DemoHandler *handler = nullptr;

// The main window's own procedure, with the places key in front of it.
LRESULT placesKeyProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN && wParam == demo::PlacesKey && handler) {
    handler->logPlaces();
    return 0;
  }
  return CallWindowProcW(mainProcedure, hwnd, message, wParam, lParam);
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  const std::u16string argument = commandLine ? commandLine : u"";
  const demo::EventLog log(demo::LogPath);
  demo::watchDialogs(log);
  if (argument == demo::NamelessArgument) {
    // Without GlobalInformations the box cannot be shown: the platform says so, and the program
    // ends there.
    messageBox(u"Never shown", u"Nameless");
    return 1;
  }
  GlobalInformations::getInstance(demo::ApplicationName);
  if (argument == demo::EarlyBoxArgument)
    log.write("answer", 0,
              messageBox(u"Shown before the program's own window.", u"Problem!",
                         MessageBoxSense::OkCancel));

  handler = new demo::DemoHandler(log);
  auto *application = new DirectDrawWarp(instance, demo::ApplicationName, false);
  if (!application->isUsable()) {
    delete handler;
    return 1;
  }
  mainProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      application->window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&placesKeyProcedure)));
  application->run();
  // The handler's end takes the main window and the toolkit with it.
  delete handler;
  handler = nullptr;
  return 0;
}
