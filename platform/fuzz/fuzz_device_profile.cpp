// Feeds arbitrary bytes to the device profile parser and checks that whatever it accepts
// serializes to text it accepts again.
#include <ce/core/device_profile.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto profile = ce::DeviceProfile::parse(text)) {
    if (!ce::DeviceProfile::parse(profile->serialize())) std::abort();
  }
  return 0;
}
