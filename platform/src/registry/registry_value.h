// A value as stored: its type and its bytes exactly as they were given.
#pragma once

#include <ce/types.h>

#include <vector>

namespace ce {

struct RegistryValue {
  DWORD type = 0;
  std::vector<BYTE> data;
};

} // namespace ce
