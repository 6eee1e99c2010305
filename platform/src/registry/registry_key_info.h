// What RegQueryInfoKeyW reports about a key.
#pragma once

#include <ce/types.h>

#include <cstdint>

namespace ce {

struct RegistryKeyInfo {
  DWORD subKeys = 0;
  DWORD maxSubKeyLength = 0; // characters, without the terminating zero
  DWORD values = 0;
  DWORD maxValueNameLength = 0; // characters, without the terminating zero
  DWORD maxValueLength = 0;     // bytes
  std::int64_t lastWrite = 0;   // FILETIME ticks (100 ns since 1601)
};

} // namespace ce
