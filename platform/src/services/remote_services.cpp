#include "services/remote_services.h"

#include "client/host_connection.h"
#include "protocol/services_messages.h"

#include <ce/errors.h>

namespace ce {

bool RemoteServices::registerService(std::u16string_view prefix, DWORD index,
                                     std::u16string_view dll, DWORD context,
                                     ServicesHost::ServiceId *id) {
  const auto registered = HostConnection::instance().request(protocol::RegisterServiceRequest{
      std::u16string(prefix), index, std::u16string(dll), context});
  if (registered)
    *id = registered->id;
  return static_cast<bool>(registered);
}

bool RemoteServices::activateService(std::u16string_view keyName, ServicesHost::ServiceId *id) {
  const auto activated =
      HostConnection::instance().request(protocol::ActivateServiceRequest{std::u16string(keyName)});
  if (activated)
    *id = activated->id;
  return static_cast<bool>(activated);
}

bool RemoteServices::deregisterService(ServicesHost::ServiceId id) {
  return static_cast<bool>(
      HostConnection::instance().request(protocol::DeregisterServiceRequest{id}));
}

bool RemoteServices::find(std::u16string_view deviceName, ServicesHost::ServiceId *id,
                          std::u16string *dll) {
  auto found = HostConnection::instance().request(
      protocol::GetServiceHandleRequest{std::u16string(deviceName)});
  if (!found)
    return false;
  *id = found->id;
  *dll = std::move(found->dll);
  return true;
}

} // namespace ce
