// RegisterWindowMessageW: device-wide message numbers from 0xC000, one per name, names compared
// without regard to case. Numbers are never given back while the device runs.
#pragma once

#include <ce/types.h>

#include <map>
#include <string>
#include <string_view>

namespace ce::host {

class RegisteredMessageTable {
public:
  static constexpr UINT kFirst = 0xC000;
  static constexpr UINT kLast = 0xFFFF;

  // The name's number; 0 for an empty name or once every number is taken.
  UINT registerName(std::u16string_view name);

private:
  std::map<std::u16string, UINT> numbers_; // keyed by folded name
  UINT next_ = kFirst;
};

} // namespace ce::host
