// Arbitrary bytes as the device's language file: read into the installer's menu texts (which
// keep every key a file names) and written into the settings key of a temporary device root.
#include <installer/installer_labels.h>

#include <ce/core/device_root.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

struct FuzzDevice {
  FuzzDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() /
           ("fuzz-labels-" + std::to_string(random()) + "-" + std::to_string(random()));
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
  {
    std::ofstream out(device.root / "fs" / "lang.fuzz.txt", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
  }
  InstallerLabels labels;
  const bool read = labels.load(u"\\lang.fuzz.txt");
  if (labels.size() < 38 || (!read && labels.size() != 38))
    std::abort(); // the defaults are always there; an unreadable file adds nothing
  if (labels.get(u"LANG_RESTOR").size() > size + 7)
    std::abort();
  labels.writeTo(RegistryKey::create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tolmar_Vireta"));
  return 0;
}
