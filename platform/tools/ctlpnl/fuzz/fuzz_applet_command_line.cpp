// The control-panel host's command line: any text gives a library path (device path, never
// empty) or a refusal, and never crashes.
#include "applet_command_line.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  std::string error;
  const auto parsed = ce::ctlpnl::AppletCommandLine::parse(text, &error);
  if (parsed) {
    const std::u16string &library = parsed->library();
    if (library.empty() || (library.front() != u'\\' && library.front() != u'/'))
      std::abort();
    if (library.find(u'"') != std::u16string::npos)
      std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  return 0;
}
