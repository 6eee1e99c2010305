#include <settings_links/applet_library_scan.h>
#include <toolkit/registry/registry_key.h>
#include <settings_links/settings_folders.h>

#include <toolkit/icon/icon_image.h>

#include <ce/core/utf.h>
#include <ce/windows.h>

#include <algorithm>
#include <string_view>


namespace {

constexpr std::u16string_view LibraryFolder = u"\\windows\\";

std::u16string decimal(int value) { return ce::toUtf16(std::to_string(value)); }

// At most `capacity` units up to the first zero: applets fill fixed-size fields.
std::u16string boundedText(const WCHAR *text, std::size_t capacity) {
  const WCHAR *end = std::find(text, text + capacity, u'\0');
  return std::u16string(text, end);
}

// An applet's name made fit for a file name: characters that would leave the resource folder
// or that no file name may hold become "_".
std::u16string fileNameFrom(std::u16string name) {
  for (char16_t &c : name)
    if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos)
      c = u'_';
  if (name == u"." || name == u"..")
    name = u"_";
  return name;
}

bool pathExists(const std::u16string &path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

AppletLibraryScan::AppletLibraryScan(AppletCollection &collection, std::u16string userDirectory)
    : collection_(collection), userDirectory_(std::move(userDirectory)) {}

std::vector<std::u16string> AppletLibraryScan::libraryFiles() {
  std::vector<std::u16string> files;
  WIN32_FIND_DATAW found{};
  const std::u16string pattern = std::u16string(LibraryFolder) + u"*.cpl";
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return files;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      files.push_back(boundedText(found.cFileName, MAX_PATH));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

void AppletLibraryScan::scan(const std::u16string &fileName) {
  const std::u16string path = std::u16string(LibraryFolder) + fileName;
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library)
    return;
  const auto entry = reinterpret_cast<APPLET_PROC>(
      reinterpret_cast<void *>(GetProcAddressW(library, u"CPlApplet")));
  if (entry) {
    if (entry(nullptr, CPL_INIT, 0, 0) != 0) {
      const LONG count =
          std::clamp<LONG>(entry(nullptr, CPL_GETCOUNT, 0, 0), 0, MaxAppletsPerLibrary);
      for (int index = 0; index < count; ++index)
        scanApplet(entry, fileName, index);
    }
    entry(nullptr, CPL_EXIT, 0, 0);
  }
  FreeLibrary(library);
}

void AppletLibraryScan::scanApplet(APPLET_PROC entry, const std::u16string &fileName, int index) {
  WCHAR idBuffer[CPL_IDNAME_LENGTH + 1] = {};
  if (entry(nullptr, CPL_IDNAME, index, reinterpret_cast<LPARAM>(idBuffer)) != 0)
    idBuffer[0] = 0;
  const std::u16string idName = boundedText(idBuffer, CPL_IDNAME_LENGTH);
  const std::u16string listedKey = fileName + u"," + decimal(index);
  const std::u16string key = ce::foldCase(listedKey);

  NEWCPLINFOW info{};
  entry(nullptr, CPL_NEWINQUIRE, index, reinterpret_cast<LPARAM>(&info));
  const std::u16string recordName = boundedText(info.szName, CPL_NAME_LENGTH);
  const std::u16string shownName = recordName.empty() ? idName : recordName;

  if (!collection_.find(key) && (idName.empty() || !collection_.move(ce::foldCase(idName), key))) {
    AppletRecord fresh;
    fresh.name = shownName;
    collection_.obtain(key, fresh);
  }
  AppletRecord &applet = *collection_.find(key);

  // What the applet's item key holds already wins: the user may have renamed or re-imaged it.
  RegistryKey item =
      RegistryKey::open(HKEY_LOCAL_MACHINE, SettingsFolders::itemKeyPath(applet.group, key));
  if (!item)
    item = RegistryKey::open(HKEY_LOCAL_MACHINE,
                             SettingsFolders::itemKeyPath(applet.group, listedKey));
  if (item) {
    if (auto icon = item.readText(u"Icon"))
      applet.icon = *icon;
    if (auto name = item.readText(u"name");
        name && !name->empty() && name->find(u',') == std::u16string::npos)
      applet.name = *name;
    if (auto target = item.readText(u"target"))
      applet.target = *target;
  }
  if (applet.icon.empty())
    applet.icon = saveIcon(info.hIcon, shownName);
  if (applet.name.empty())
    applet.name = shownName;
  if (applet.target.empty())
    applet.target = u"\\Windows\\ctlpnl.exe " + listedKey;

  entry(nullptr, CPL_STOP, index, info.lData);
}

std::u16string AppletLibraryScan::saveIcon(HICON icon, std::u16string name) const {
  if (!icon || name.empty())
    return {};
  const std::u16string stem = userDirectory_ + u"resources\\" + fileNameFrom(std::move(name));
  std::u16string candidate = stem + u".png";
  if (pathExists(candidate))
    candidate = stem + u"1.png";
  return saveIconAsPng(icon, candidate) ? candidate : std::u16string();
}
