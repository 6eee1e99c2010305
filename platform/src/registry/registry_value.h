// Where a value read from the registry goes: the reader hands over its type and its bytes
// exactly as they were given, without copying them anywhere first.
#pragma once

#include <ce/types.h>

#include <span>

namespace ce {

class RegistryValueSink {
public:
  virtual void take(DWORD type, std::span<const BYTE> data) = 0;

protected:
  ~RegistryValueSink() = default;
};

} // namespace ce
