#include "command_line_text.h"

#include <ce/core/utf.h>

namespace ce::tool {

std::optional<std::u16string> CommandLineText::toDevice(std::string_view text) {
  std::u16string units = toUtf16(text);
  // Well-formed text survives the round trip unchanged; ill-formed bytes come back as U+FFFD.
  if (toUtf8(units) != text)
    return std::nullopt;
  return units;
}

} // namespace ce::tool
