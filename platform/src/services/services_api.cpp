// RegisterService and its companions. Each process answers them from a services host of its
// own until the device host serves them to every process.
#include "files/path_argument.h"
#include "services/service_reference.h"
#include "services/services_host.h"

#include <ce/core/handle_table.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/services.h>

#include <cstring>
#include <memory>

namespace {

ce::ServicesHost &servicesHost() {
  // Never destroyed: services are stopped by their callers, not by static destruction at exit,
  // when the libraries they use may already be gone.
  static ce::ServicesHost *host = new ce::ServicesHost;
  return *host;
}

HANDLE referenceTo(ce::ServicesHost::ServiceId id) {
  return ce::HandleTable::instance().add(std::make_shared<ce::ServiceReference>(id));
}

} // namespace

HANDLE RegisterService(LPCWSTR prefix, DWORD index, LPCWSTR dllName, DWORD context) {
  if (!prefix || !dllName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  const auto id = servicesHost().registerService(ce::pathArgument(prefix), index,
                                                 ce::pathArgument(dllName), context, &error);
  if (id == 0) {
    SetLastError(error);
    return nullptr;
  }
  return referenceTo(id);
}

HANDLE ActivateService(LPCWSTR keyName, DWORD /*clientInfo: reserved*/) {
  if (!keyName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  const auto id = servicesHost().activateService(ce::pathArgument(keyName), &error);
  if (id == 0) {
    SetLastError(error);
    return nullptr;
  }
  return referenceTo(id);
}

BOOL DeregisterService(HANDLE service) {
  auto reference = ce::HandleTable::instance().getAs<ce::ServiceReference>(service);
  DWORD error = ERROR_INVALID_HANDLE;
  if (!reference || !servicesHost().deregisterService(reference->id(), &error)) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

HANDLE GetServiceHandle(LPWSTR prefix, LPWSTR dllName, LPDWORD dllNameSize) {
  if (!prefix || (dllName && !dllNameSize)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const auto service = servicesHost().find(ce::pathArgument(prefix));
  if (!service) {
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return INVALID_HANDLE_VALUE;
  }
  if (dllNameSize) {
    const DWORD needed = static_cast<DWORD>((service->dll.size() + 1) * sizeof(WCHAR));
    if (dllName) {
      if (*dllNameSize < needed) {
        *dllNameSize = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return INVALID_HANDLE_VALUE;
      }
      std::memcpy(dllName, service->dll.c_str(), needed);
    }
    *dllNameSize = needed;
  }
  return referenceTo(service->id);
}
