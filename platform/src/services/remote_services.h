// The services calls of a device process, made over its connection to the device host, whose
// services host answers them. Each returns false with the reason in GetLastError: the host's
// answer code, or ERROR_BROKEN_PIPE when the host cannot be reached.
#pragma once

#include <ce/host/services_host.h>

#include <string>
#include <string_view>

namespace ce {

class RemoteServices {
public:
  static bool registerService(std::u16string_view prefix, DWORD index, std::u16string_view dll,
                              DWORD context, ServicesHost::ServiceId *id);
  static bool activateService(std::u16string_view keyName, ServicesHost::ServiceId *id);
  static bool deregisterService(ServicesHost::ServiceId id);
  // The loaded service of that device name, with its Dll as registered.
  static bool find(std::u16string_view deviceName, ServicesHost::ServiceId *id,
                   std::u16string *dll);
};

} // namespace ce
