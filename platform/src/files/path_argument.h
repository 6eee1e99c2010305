// Reading a zero-terminated path argument of a platform call.
#pragma once

#include <ce/types.h>

#include <string_view>

namespace ce {

// The path up to its terminating zero, scanning no further than a little beyond what any
// device path may hold, so a missing terminator reads a bounded amount; such a path is then
// refused as too long. Null gives an empty view.
std::u16string_view pathArgument(LPCWSTR path);

} // namespace ce
