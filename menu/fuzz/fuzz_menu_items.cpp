// Arbitrary bytes as the data the menu reads from outside: the first part becomes a shortcut
// file, the rest the values of two item keys (name, target, Icon, ItemPosition, of any length and
// type). The metadata reader, the folder display, the loader's walk and both rearrangements run
// over them; none may crash, and every shown item must have a cell of its own.
#include <menu/folder_discovery.h>
#include <menu/folder_rearranger.h>
#include <menu/folder_view.h>
#include <menu/item_indexes.h>
#include <menu/item_metadata_reader.h>
#include <menu/metadata_tree.h>
#include <toolkit/registry/registry_key.h>
#include <menu/shortcut_file.h>

#include <ce/core/device_root.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

namespace {

struct FuzzDevice {
  FuzzDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() /
           ("fuzz-menu-" + std::to_string(random()) + "-" + std::to_string(random()));
    ce::DeviceRoot::use(root);
  }
  ~FuzzDevice() { clear(); }
  void clear() const {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    std::filesystem::create_directories(root / "fs/Windows/Start Menu/Programs", ec);
    std::ofstream(root / "fs/Windows/app.exe") << "elf";
  }
  std::filesystem::path root;
};

// Takes the next piece of the input: its first byte says how long it is.
std::string_view take(std::string_view &input) {
  if (input.empty())
    return {};
  const std::size_t length =
      std::min<std::size_t>(static_cast<unsigned char>(input[0]), input.size() - 1);
  const auto piece = input.substr(1, length);
  input.remove_prefix(1 + length);
  return piece;
}

void writeValue(const RegistryKey &key, std::u16string_view name, std::string_view bytes,
                DWORD type) {
  key.writeData(name, type, bytes.data(), bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static FuzzDevice device;
  device.clear();
  std::string_view input(reinterpret_cast<const char *>(data), size);

  const auto shortcut = take(input);
  std::ofstream(device.root / "fs/Windows/Start Menu/Programs/Item.lnk", std::ios::binary)
      << shortcut;
  std::ofstream(device.root / "fs/Windows/Start Menu/Programs/Other.lnk")
      << "18#\\Windows\\app.exe";
  for (const auto *entry : {u"Item.lnk", u"Other.lnk"}) {
    const auto key = RegistryKey::create(HKEY_LOCAL_MACHINE, MetadataTree::keyOf(entry));
    for (const auto *name : {u"name", u"target", u"Icon", u"ItemPosition", u"hidden"}) {
      const auto value = take(input);
      if (!value.empty())
        writeValue(key, name, value.substr(1), static_cast<unsigned char>(value[0]) % 8);
    }
  }

  const auto folders = FolderDiscovery::discover(2);
  ShortcutFile::readCommand(u"\\Windows\\Start Menu\\Programs\\Item.lnk");
  ItemMetadataReader(folders).read(u"\\Windows\\Start Menu\\Programs\\Item.lnk");
  auto view = FolderView::load(u"", folders);
  std::set<std::size_t> cells;
  for (const auto &item : view.items()) {
    if (!cells.insert(item.cell).second)
      std::abort(); // two items in one cell
  }
  ItemIndexes indexes;
  indexes.scan(MetadataTree::StartKey);
  FolderRearranger::rearrange(u"", false, ArrangeMode::Compact);
  FolderRearranger::rearrange(u"", true, ArrangeMode::Alphabetical);
  const auto after = FolderView::load(u"", folders);
  for (std::size_t cell = 0; cell < after.items().size(); ++cell) {
    if (after.items()[cell].metadata.position != static_cast<int>(cell))
      std::abort(); // a rearranged folder is numbered 0, 1, 2, ... in cell order
  }
  return 0;
}
