// Stops the running system: tells the menu program to end and stops the service, through the
// services host when it has the service loaded, otherwise through the library's own UnRegister.
#pragma once

#include <ce/types.h>

struct ServiceStopResult {
  bool menuTold = false;      // the menu window was there and was told to end
  bool deregistered = false;  // the services host unloaded "SMC0:"
  bool libraryCalled = false; // the library was loaded here and its UnRegister called
  DWORD unregisterAnswer = 0; // what UnRegister answered (1: the hook thread ended)
};

namespace ServiceStopper {

// Posts the end message to the menu window (class "Vireta"), when there is one.
bool tellMenuToEnd();
// The menu program ends, then the service: "SMC0:" is deregistered; when it is not loaded or
// cannot be deregistered, "\windows\brevin.dll" is loaded and its UnRegister called.
ServiceStopResult stop();

} // namespace ServiceStopper
