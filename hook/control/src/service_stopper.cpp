#include <service_control/service_stopper.h>

#include <hook/system_names.h>

#include <ce/kernel.h>
#include <ce/loader.h>
#include <ce/services.h>
#include <ce/windows_api.h>

namespace ServiceStopper {

bool tellMenuToEnd() {
  const HWND menu = FindWindowW(MenuWindowClass, nullptr);
  return menu && PostMessageW(menu, MenuEndMessage, 1, 0);
}

ServiceStopResult stop() {
  ServiceStopResult result;
  result.menuTold = tellMenuToEnd();
  char16_t deviceName[] = u"SMC0:";
  const HANDLE service = GetServiceHandle(deviceName, nullptr, nullptr);
  if (service != INVALID_HANDLE_VALUE && service) {
    result.deregistered = DeregisterService(service) != FALSE;
    CloseHandle(service);
  }
  if (result.deregistered)
    return result;
  if (const HMODULE library = LoadLibraryW(u"\\windows\\brevin.dll")) {
    using UnRegisterFunction = DWORD (*)();
    // Through the generic function type, which any function pointer may be cast to and from.
    if (const auto unRegister = reinterpret_cast<UnRegisterFunction>(
            reinterpret_cast<void (*)()>(GetProcAddressW(library, u"UnRegister")))) {
      result.libraryCalled = true;
      result.unregisterAnswer = unRegister();
    }
    FreeLibrary(library);
  }
  return result;
}

} // namespace ServiceStopper
