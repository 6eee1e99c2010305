// RegisterService and its companions.
//
// Where they are answered: inside the device host process, by the device's services host
// directly; in any other process, by the device host over the connection whenever a host runs
// for the device root, so every process of a device sees the same services. Only when no device
// host runs (a program or test working on a bare device root) does a process answer them from a
// services host of its own, which no other process sees. A handle remembers which of the two
// made it, so it keeps reaching the same service.
#include "client/host_connection.h"
#include "files/path_argument.h"
#include "services/remote_services.h"
#include "services/service_reference.h"

#include <ce/core/handle_table.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/host/services_host.h>
#include <ce/services.h>

#include <cstring>
#include <memory>

namespace {

using ServiceId = ce::ServicesHost::ServiceId;

ce::ServicesHost &processHost() {
  // Never destroyed: services are stopped by their callers, not by static destruction at exit,
  // when the libraries they use may already be gone.
  static ce::ServicesHost *host = new ce::ServicesHost;
  return *host;
}

enum class Where { HostProcess, Device, Process };

Where where() {
  if (ce::ServicesHost::deviceHost())
    return Where::HostProcess;
  if (ce::HostConnection::instance().connect())
    return Where::Device;
  return Where::Process;
}

HANDLE referenceTo(ServiceId id, bool onDevice) {
  return ce::HandleTable::instance().add(std::make_shared<ce::ServiceReference>(id, onDevice));
}

// Runs `local` on the services host of this process or of the device host (when this is the
// device host's process) and `remote` over the connection otherwise; a null handle on failure.
template <typename Local, typename Remote> HANDLE startService(Local local, Remote remote) {
  const Where place = where();
  ServiceId id = 0;
  if (place == Where::Device) {
    if (!remote(&id))
      return nullptr;
    return referenceTo(id, true);
  }
  auto host = place == Where::HostProcess ? ce::ServicesHost::deviceHost() : nullptr;
  DWORD error = ERROR_SUCCESS;
  id = local(host ? *host : processHost(), &error);
  if (id == 0) {
    SetLastError(error);
    return nullptr;
  }
  return referenceTo(id, place == Where::HostProcess);
}

} // namespace

HANDLE RegisterService(LPCWSTR prefix, DWORD index, LPCWSTR dllName, DWORD context) {
  if (!prefix || !dllName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto prefixText = ce::pathArgument(prefix);
  const auto dll = ce::pathArgument(dllName);
  return startService(
      [&](ce::ServicesHost &host, DWORD *error) {
        return host.registerService(prefixText, index, dll, context, error);
      },
      [&](ServiceId *id) {
        return ce::RemoteServices::registerService(prefixText, index, dll, context, id);
      });
}

HANDLE ActivateService(LPCWSTR keyName, DWORD /*clientInfo: reserved*/) {
  if (!keyName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto key = ce::pathArgument(keyName);
  return startService(
      [&](ce::ServicesHost &host, DWORD *error) { return host.activateService(key, error); },
      [&](ServiceId *id) { return ce::RemoteServices::activateService(key, id); });
}

BOOL DeregisterService(HANDLE service) {
  auto reference = ce::HandleTable::instance().getAs<ce::ServiceReference>(service);
  if (!reference) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!reference->onDevice()) {
    DWORD error = ERROR_INVALID_HANDLE;
    if (!processHost().deregisterService(reference->id(), &error)) {
      SetLastError(error);
      return FALSE;
    }
    return TRUE;
  }
  if (auto host = ce::ServicesHost::deviceHost()) {
    DWORD error = ERROR_INVALID_HANDLE;
    if (!host->deregisterService(reference->id(), &error)) {
      SetLastError(error);
      return FALSE;
    }
    return TRUE;
  }
  return ce::RemoteServices::deregisterService(reference->id()) ? TRUE : FALSE;
}

HANDLE GetServiceHandle(LPWSTR prefix, LPWSTR dllName, LPDWORD dllNameSize) {
  if (!prefix || (dllName && !dllNameSize)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const auto name = ce::pathArgument(prefix);
  if (name.empty()) {
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return INVALID_HANDLE_VALUE;
  }
  const Where place = where();
  ServiceId id = 0;
  std::u16string dll;
  if (place == Where::Device) {
    if (!ce::RemoteServices::find(name, &id, &dll))
      return INVALID_HANDLE_VALUE;
  } else {
    auto host = place == Where::HostProcess ? ce::ServicesHost::deviceHost() : nullptr;
    const auto service = (host ? *host : processHost()).find(name);
    if (!service) {
      SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
      return INVALID_HANDLE_VALUE;
    }
    id = service->id;
    dll = service->dll;
  }
  if (dllNameSize) {
    const DWORD needed = static_cast<DWORD>((dll.size() + 1) * sizeof(WCHAR));
    if (dllName) {
      if (*dllNameSize < needed) {
        *dllNameSize = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return INVALID_HANDLE_VALUE;
      }
      std::memcpy(dllName, dll.c_str(), needed);
    }
    *dllNameSize = needed;
  }
  return referenceTo(id, place != Where::Process);
}
