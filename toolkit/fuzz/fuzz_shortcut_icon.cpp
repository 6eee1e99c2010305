// Arbitrary bytes as a Start menu shortcut: its icon text, the icon reference read from it and
// its high-resolution twin, and the whole search for the entry's icon with the text as target.
#include <toolkit/icon/icon_reference.h>
#include <toolkit/icon/item_icon.h>

#include <ce/core/device_root.h>
#include <ce/windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

struct FuzzDevice {
  FuzzDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() /
           ("fuzz-shortcut-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(root / "fs/Windows/Start Menu");
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
    std::ofstream out(device.root / "fs/Windows/Start Menu/input.lnk",
                      std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
  }
  const std::u16string shortcut = u"\\Windows\\Start Menu\\input.lnk";
  const std::u16string text = shortcutIconText(shortcut);
  if (text.size() > size)
    std::abort();
  if (const auto reference = IconReference::parse(text)) {
    // The file is the text before the comma, or the shell's library.
    if (reference->file != IconReference::ShellIconLibrary &&
        text.compare(0, reference->file.size(), reference->file) != 0)
      std::abort();
    const std::u16string variant = IconReference::highResolutionVariant(reference->file);
    if (!variant.empty() && variant.size() != reference->file.size() + 4)
      std::abort();
  }
  if (HICON icon = extractItemIcon(text, shortcut))
    DestroyIcon(icon);
  return 0;
}
