// Shortcut files as the device's shell reads them: decoding and parsing arbitrary bytes.
#include "../src/client/shortcut_text.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::u16string text =
      ce::ShortcutText::decode(std::string_view(reinterpret_cast<const char *>(data), size));
  if (auto command = ce::ShortcutText::parse(text)) {
    if (command->target.empty())
      __builtin_trap(); // parse promises a target
  }
  return 0;
}
