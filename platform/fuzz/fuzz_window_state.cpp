// Window-state notices, as the host's connection brings them to every process: decoding
// arbitrary bytes, writing back exactly what was read, and a view that takes them answering
// for every window they name, however their parents chain (cycles, missing links).
#include "../src/windowing/window_state.h"
#include "../src/windowing/window_state_view.h"

#include <algorithm>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  ce::WindowStateNotice notice;
  if (!ce::protocol::decode(bytes, notice))
    return 0;
  ce::protocol::Message message;
  if (!ce::protocol::encode(message, 1, 0, 0, notice) || message.payload.size() != size ||
      !std::equal(message.payload.begin(), message.payload.end(), data))
    __builtin_trap(); // what was read must be written back the same
  // Connection 0: the view never takes the fuzzer's windows for a real connection's.
  auto &view = ce::WindowStateView::instance();
  view.take(bytes, 0);
  for (const ce::WindowState &w : notice.windows)
    if (std::find(notice.removed.begin(), notice.removed.end(), w.handle) == notice.removed.end() &&
        !view.window(w.handle, true))
      __builtin_trap(); // every window it took and did not take away again is there
  return 0;
}
