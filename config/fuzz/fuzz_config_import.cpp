// Arbitrary bytes imported as a configuration file into a temporary device registry, once with
// the start-menu question accepted and once declined, then the settings key exported again.
#include <config/config_export.h>
#include <config/config_import.h>
#include <config/configuration_actions.h>

#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>

namespace {

struct FuzzDevice {
  FuzzDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() /
           ("fuzz-import-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(root / "fs");
    ce::DeviceRoot::use(root);
  }
  ~FuzzDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::filesystem::path root;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static FuzzDevice device;
  static int runs = 0;
  // Start over now and then so the registry stays small.
  if (++runs % 200 == 0) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Security");
  }

  const std::string text(reinterpret_cast<const char *>(data), size);
  for (bool answer : {true, false}) {
    std::istringstream in(text);
    int asked = 0;
    importConfig(in, u"", [&](std::u16string_view, std::u16string_view) {
      ++asked;
      return answer;
    });
    if (static_cast<std::size_t>(asked) > size)
      std::abort();
  }
  std::ostringstream out;
  if (!exportKey(HKEY_LOCAL_MACHINE, out, SettingsKeyPath, true))
    std::abort();
  return 0;
}
