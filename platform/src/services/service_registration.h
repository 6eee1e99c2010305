// A service's registration under HKEY_LOCAL_MACHINE\Services, as <ce/services.h> lists its
// values.
#pragma once

#include <ce/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

struct ServiceRegistration {
  std::u16string keyName;
  std::u16string dll;
  std::u16string prefix;
  DWORD index = 0;
  DWORD context = 0;
  DWORD flags = 0;
  std::optional<DWORD> order;

  // The registration of HKEY_LOCAL_MACHINE\Services\<keyName>. ERROR_INVALID_PARAMETER for an
  // empty name or one holding a separator (a key name is one component), ERROR_FILE_NOT_FOUND
  // when the key is missing, ERROR_INVALID_DATA when the values do not describe a service;
  // other registry failures keep their codes.
  static std::optional<ServiceRegistration> read(std::u16string_view keyName, DWORD *error);

  // The subkeys of HKEY_LOCAL_MACHINE\Services in creation order; empty when there are none.
  static std::vector<std::u16string> keyNames();
};

} // namespace ce
