#include <menu/folder_discovery.h>

#include <menu/metadata_tree.h>
#include <toolkit/registry/registry_key.h>
#include <menu/settings_store.h>

#include "path_text.h"

#include <ce/files.h>

namespace {

bool holdsFolderIcon(const std::u16string &folder) {
  const auto icon = folder + u"\\" + std::u16string(MetadataTree::FolderIconFile);
  const DWORD attributes = GetFileAttributesW(icon.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string findSettingsFolder(const std::u16string &startMenu, const std::u16string &programs) {
  WIN32_FIND_DATAW entry{};
  const auto pattern = startMenu + u"*";
  HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE)
    return {};
  std::u16string found;
  do {
    const std::u16string name(entry.cFileName);
    const auto path = startMenu + name;
    if (name.find(u'.') == std::u16string::npos &&
        (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        pathtext::lower(path) != pathtext::lower(programs) && holdsFolderIcon(path)) {
      found = name;
      break;
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return found;
}

} // namespace

std::u16string FolderDiscovery::specialFolder(int id) {
  WCHAR path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPath(nullptr, path, id, FALSE))
    return {};
  return path;
}

MenuFolders FolderDiscovery::discover(int startFolderId) {
  MenuFolders folders;
  auto root = specialFolder(startFolderId);
  if (root.empty())
    root = specialFolder(CSIDL_PROGRAMS);
  folders.root = root + u"\\";
  folders.programs = specialFolder(CSIDL_PROGRAMS);
  folders.startMenu = specialFolder(CSIDL_STARTMENU) + u"\\";

  const auto name = findSettingsFolder(folders.startMenu, folders.programs);
  if (!name.empty()) {
    RegistryKey::create(HKEY_LOCAL_MACHINE, SettingsStore::KeyPath)
        .writeNumber(u"startFolderId", static_cast<DWORD>(startFolderId));
    RegistryKey::create(HKEY_LOCAL_MACHINE, MetadataTree::SettingsKey)
        .writeText(MetadataTree::SettingsName, name);
    folders.settingsName = name;
    folders.settingsPath = folders.startMenu + name;
  }

  folders.root = pathtext::lower(folders.root);
  folders.programs = pathtext::lower(folders.programs);
  folders.startMenu = pathtext::lower(folders.startMenu);
  folders.settingsName = pathtext::lower(folders.settingsName);
  folders.settingsPath = pathtext::lower(folders.settingsPath);
  return folders;
}
