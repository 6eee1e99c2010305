// Text from the command line (UTF-8) on its way to the device (UTF-16).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ce::tool {

class CommandLineText {
public:
  // The UTF-16 form of `text`, or nothing when it is not well-formed UTF-8: a name or a value
  // with a replacement character in place of what the user typed would be written silently
  // wrong, so such text is refused instead.
  static std::optional<std::u16string> toDevice(std::string_view text);
};

} // namespace ce::tool
