// Menus in their byte form, as a soft-key bar's request brings them from another process:
// decoding arbitrary bytes, and what decodes must survive writing, reading and building again.
#include "../src/controls/menu_codec.h"
#include "../src/controls/menu_table.h"

#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const auto tree = ce::MenuCodec::decode(std::span<const std::uint8_t>(data, size));
  if (!tree)
    return 0;
  const auto again = ce::MenuCodec::decode(ce::MenuCodec::encode(*tree));
  if (!again || !(*again == *tree))
    __builtin_trap(); // what was read must be written back the same
  auto &table = ce::MenuTable::instance();
  const HMENU menu = table.build(*tree);
  if (!menu)
    __builtin_trap();
  const auto copy = table.snapshot(menu);
  if (!copy || !(*copy == *tree))
    __builtin_trap();
  table.destroy(menu);
  return 0;
}
