// Shortcut files as the shell's Start menu reads them for their icons: arbitrary bytes decoded
// and searched for the icon's file and index.
#include "../src/client/shortcut_text.h"
#include "../src/shell/icon_cache.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::u16string text =
      ce::ShortcutText::decode(std::string_view(reinterpret_cast<const char *>(data), size));
  std::u16string file = u"left over";
  int index = 7;
  const bool found = ce::shell::IconCache::iconOfShortcutText(text, file, index);
  if (found == file.empty())
    __builtin_trap(); // a found icon names a file; none leaves no file behind
  if (file.size() > text.size())
    __builtin_trap(); // the file is part of the text
  return 0;
}
