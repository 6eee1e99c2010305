#include <menu/item_metadata_reader.h>

#include <menu/item_target.h>
#include <menu/metadata_tree.h>
#include <menu/shortcut_file.h>
#include <toolkit/registry/registry_key.h>

#include "path_text.h"

#include <ce/files.h>

#include <optional>

std::atomic<bool> ItemMetadataReader::writeBack_{true};

namespace {

constexpr std::u16string_view ControlPanelHost = u"\\windows\\ctlpnl.exe ";

bool isDirectory(const std::u16string &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool fileExists(const std::u16string &path, std::u16string_view fileName,
                const FolderListing *listing) {
  if (listing && listing->known())
    return listing->attributesOf(fileName).has_value();
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::u16string derivedName(std::u16string_view fileName) {
  return pathtext::withoutIgnoreCase(pathtext::withoutIgnoreCase(fileName, u".lnk"), u".cpl");
}

bool nameNeedsDerivation(const std::optional<std::u16string> &name, std::u16string_view fileName) {
  return !name || name->empty() || ce::equalsIgnoreCase(*name, fileName) ||
         pathtext::containsIgnoreCase(*name, u".cpl");
}

// The command a file stands for: a shortcut's command, or the file itself (a program, a
// document or a folder).
std::optional<std::u16string> commandOfFile(const std::u16string &path) {
  if (pathtext::lower(path).ends_with(u".lnk"))
    return ShortcutFile::readCommand(path);
  return path;
}

} // namespace

ItemMetadata ItemMetadataReader::read(std::u16string_view itemFilePath,
                                      const FolderListing *listing) const {
  const auto relative = folders_.relativePathOf(itemFilePath);
  const bool settingsTree = MenuFolders::isSettingsTree(relative);
  // Entries of the Settings tree live below the Start Menu folder.
  std::u16string file(itemFilePath);
  if (settingsTree) {
    file = folders_.directoryOf(relative);
    file.pop_back();
  }
  const auto fileName = pathtext::fileNameOf(itemFilePath);

  ItemMetadata item;
  const auto key =
      RegistryKey::open(HKEY_LOCAL_MACHINE, MetadataTree::keyOf(relative), KEY_ALL_ACCESS);
  const bool hidden = key.hasValue(MetadataTree::Hidden);
  if (key.hasValue(MetadataTree::FalseLink)) {
    item.position = ItemMetadata::FalseLink;
    return item;
  }
  if (!settingsTree && !fileExists(file, fileName, listing)) {
    item.position = ItemMetadata::Dead; // the file was removed; its key stays
    return item;
  }
  const auto stored = key.readInt(MetadataTree::ItemPosition);
  const auto icon = key.readText(MetadataTree::Icon, RegistryKey::DisplayTextBytes);
  auto name = key.readText(MetadataTree::Name, RegistryKey::DisplayTextBytes);
  const auto storedName = name;
  auto target = key.readText(MetadataTree::Target, RegistryKey::DisplayTextBytes);
  if (stored)
    item.position = *stored >= 0 ? *stored : ~*stored;
  if (icon)
    item.icon = *icon;

  const bool deriveName = nameNeedsDerivation(name, fileName);
  bool derivedTarget = false;
  if (target) {
    const auto program = ItemTarget::split(*target).program;
    if (!settingsTree) {
      const auto attributes = ItemTarget::programAttributes(program);
      if (!attributes) {
        item.position = ItemMetadata::Dead;
        return item;
      }
      item.folder = isDirectory(*attributes);
    }
  } else if (settingsTree && pathtext::containsIgnoreCase(fileName, u".cpl")) {
    target = std::u16string(ControlPanelHost) + std::u16string(fileName);
    derivedTarget = true;
  } else if (!settingsTree) {
    target = commandOfFile(file);
    const auto attributes =
        target ? ItemTarget::programAttributes(ItemTarget::split(*target).program) : std::nullopt;
    if (!attributes) {
      item.position = ItemMetadata::Dead;
      return item;
    }
    item.folder = isDirectory(*attributes);
    derivedTarget = true;
  }
  if (settingsTree)
    item.folder = key.subkeyCount() > 0 || isDirectory(file);

  if (deriveName)
    name = derivedName(fileName);
  if (writeBack()) {
    if (deriveName && name != storedName)
      key.writeText(MetadataTree::Name, *name);
    if (derivedTarget)
      key.writeText(MetadataTree::Target, *target);
  }
  item.name = name.value_or(u"");
  item.target = target.value_or(u"");
  if (hidden)
    item.position = ItemMetadata::Hidden;
  return item;
}
