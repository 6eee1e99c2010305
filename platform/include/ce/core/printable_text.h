// Text from the device (file names, registry strings, program paths, window titles) shown on a
// terminal or written to a log: whatever it holds, it stays on its one line and cannot drive the
// terminal.
#pragma once

#include <ce/export.h>

#include <string>
#include <string_view>

CE_EXPORT_BEGIN

namespace ce {

// UTF-8 `text` with every control character escaped: C0 controls and DEL as \n, \r, \t or \xNN;
// C1 controls (U+0080 to U+009F) and the bidirectional overrides and isolates (U+202A to U+202E,
// U+2066 to U+2069) as \uNNNN; bytes that are not UTF-8 as \xNN. Everything else is kept,
// backslashes included (device paths are full of them).
std::string printable(std::string_view text);

} // namespace ce
CE_EXPORT_END
