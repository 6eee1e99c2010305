// A soft-key bar's request as the host's bar server reads it from any process: arbitrary bytes
// never crash the decoder, and what it accepts is written back the same.
#include "../src/controls/menu_bar_request.h"

#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const auto request = ce::MenuBarRequest::decode(std::span<const std::uint8_t>(data, size));
  if (!request)
    return 0;
  const auto again = ce::MenuBarRequest::decode(request->encode());
  if (!again || again->owner != request->owner || again->flags != request->flags ||
      again->colour != request->colour || !(again->menu == request->menu))
    __builtin_trap();
  return 0;
}
