#include <installer/system_setup.h>

#include <installer/install_language.h>
#include <installer/installer_labels.h>

#include <service_control/layout_files.h>
#include <toolkit/registry/registry_key.h>
#include <service_control/registry_tree.h>
#include <service_control/service_stopper.h>

#include <hook/system_names.h>

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>
#include <ce/menus.h>
#include <ce/processes.h>
#include <ce/services.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr char16_t QuickLinksKey[] = u"SOFTWARE\\Tolmar_Vireta\\QuickLinks";
constexpr char16_t OptionsProgramKey[] = u"Tolmar_Config start menu\\";
constexpr char16_t StartInfoKey[] = u"security\\shell\\startinfo\\";
constexpr char16_t FixedInstallDirectory[] = u"\\Program Files\\vireta\\";
constexpr char16_t FontTarget[] = u"\\Windows\\tahoma.ttf";
// Settings value: 1 when the font in \Windows is the one installed here.
constexpr char16_t FontInstalledValue[] = u"fontInstalled";

std::u16string lowerCase(std::u16string_view text) {
  std::u16string lower(text);
  for (auto &unit : lower)
    if (unit >= u'A' && unit <= u'Z')
      unit = static_cast<char16_t>(unit - u'A' + u'a');
  return lower;
}

void startProgram(const std::u16string &path) {
  SHELLEXECUTEINFO info{};
  info.cbSize = SHELLEXECUTEINFO_DEVICE_SIZE;
  info.lpVerb = u"open";
  info.lpFile = path.c_str();
  info.lpParameters = u"";
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteEx(&info);
}

// The service stopped, its library gone from \Windows.
void stopService() {
  ServiceStopper::stop();
  DeleteFileW(u"\\windows\\brevin.dll");
}

// The installation directory's shortcut to Ostrel.exe, made to point at the directory the
// package went to, and the StartUp folder's copy of it.
void pointShortcutAt(std::u16string_view installDirectory) {
  const std::u16string shortcut = std::u16string(installDirectory) + u"\\Ostrel.lnk";
  const std::u16string target = u"\"" + std::u16string(installDirectory) + u"\\Ostrel.exe\"";
  const std::string text = std::to_string(target.size()) + "#" + ce::toUtf8(target);
  const HANDLE file = CreateFileW(shortcut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  DWORD written = 0;
  const bool complete =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  char16_t startup[MAX_PATH] = {};
  if (complete && SHGetSpecialFolderPath(nullptr, startup, CSIDL_STARTUP, TRUE))
    CopyFileW(shortcut.c_str(), (std::u16string(startup) + u"\\Ostrel.lnk").c_str(), FALSE);
}


// Deletes the key when it holds neither values nor subkeys; true when it is gone.
bool removeIfEmpty(HKEY parent, std::u16string_view path) {
  DWORD subkeys = 0, values = 0;
  {
    const RegistryKey key = RegistryKey::open(parent, path);
    if (!key)
      return true;
    if (RegQueryInfoKeyW(key.handle(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return false;
  }
  if (subkeys != 0 || values != 0)
    return false;
  const std::u16string name(path);
  return RegDeleteKeyW(parent, name.c_str()) == ERROR_SUCCESS;
}


constexpr char16_t ThinFont[] = u"HelveticaNeue LT 35 Thin.ttf";

std::optional<std::string> fileContent(const std::u16string &path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  std::string content;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    content.append(buffer, read);
  CloseHandle(file);
  return content;
}

bool sameFileContent(const std::u16string &a, const std::u16string &b) {
  const auto first = fileContent(a);
  const auto second = first ? fileContent(b) : std::nullopt;
  return first && second && *first == *second;
}

} // namespace

bool SystemSetup::isProgramFilesDirectory(std::u16string_view installDirectory,
                                          std::u16string_view programFiles) {
  const auto found = installDirectory.find(programFiles);
  return !programFiles.empty() && (found == 0 || found == 1);
}

int SystemSetup::installInit(HWND parent, std::u16string_view installDirectory) {
  parent_ = parent;
  char16_t programFiles[MAX_PATH] = {};
  SHGetSpecialFolderPath(parent, programFiles, CSIDL_PROGRAM_FILES, FALSE);
  // Refused before anything is touched: a running system stays as it is.
  if (!isProgramFilesDirectory(installDirectory, programFiles)) {
    MessageBoxW(parent, u"Please DON'T install vireta on SD!", u"Directory error!", MB_ICONHAND);
    return Cancel;
  }
  stopService();
  deleteDirectory(std::u16string(installDirectory) + u"\\resources\\");
  return Continue;
}

int SystemSetup::installExit(HWND parent, std::u16string_view installDirectory) {
  parent_ = parent;
  const std::u16string directory(installDirectory);
  const std::u16string resourceDirectory = directory + u"\\resources\\VGA\\";
  writeServiceKey();
  writeSettings(resourceDirectory);
  resetQuickLinks();
  pointShortcutAt(directory);
  const HANDLE service = ActivateService(ServiceKeyName, 0);
  if (service) {
    CloseHandle(service);
  } else {
    // Without the service nothing replaces the platform's Start menu: it must open again.
    LayoutFiles::restore();
    MessageBoxW(nullptr, u"ERROR can't start Vireta", u"Service run", MB_OK);
  }
  copyLanguageTexts(directory);
  startProgram(directory + u"\\ConfigVireta.exe");
  installFont(resourceDirectory);
  return 0;
}

int SystemSetup::uninstallInit(HWND parent, std::u16string_view) {
  parent_ = parent;
  stopService();
  removeFont();
  if (const RegistryKey software = RegistryKey::create(HKEY_LOCAL_MACHINE, u"SOFTWARE"))
    RegistryTree::deleteKeyTree(software.handle(), OptionsProgramKey);
  if (const RegistryKey startInfo = RegistryKey::open(HKEY_LOCAL_MACHINE, StartInfoKey)) {
    cleanIconPaths(startInfo.handle(), u"start\\");
    // Nothing of the menu's layout or of the generated Settings folders stays behind; the keys
    // above the tree go too when the system's data was all they held.
    if (removeItemMetadata(startInfo.handle(), u"start\\")) {
      for (const char16_t *path :
           {u"security\\shell\\startinfo", u"security\\shell", u"security"}) {
        if (!removeIfEmpty(HKEY_LOCAL_MACHINE, path))
          break;
      }
    }
  }
  removeRegistryData();
  removeStartupShortcut();
  LayoutFiles::restore();
  return 0;
}

int SystemSetup::uninstallExit(HWND parent) {
  parent_ = parent;
  deleteDirectory(FixedInstallDirectory);
  return 0;
}

void SystemSetup::writeServiceKey() {
  const RegistryKey service = RegistryKey::create(HKEY_LOCAL_MACHINE, ServiceKey);
  service.writeText(u"Dll", ServiceLibraryPath);
  service.writeText(u"Prefix", ServicePrefix);
  service.writeText(u"DisplayName", ServiceKeyName);
  service.writeNumber(u"Order", 255);
  service.writeNumber(u"Keep", 1);
  service.writeNumber(u"Index", 0);
  service.writeNumber(u"Context", 0);
  service.writeNumber(u"Flags", 2);
}

void SystemSetup::writeSettings(std::u16string_view resourceDirectory) {
  const RegistryKey settings = RegistryKey::create(HKEY_LOCAL_MACHINE, SettingsKey);
  settings.writeText(u"SourcesDirectory", resourceDirectory);
}

void SystemSetup::resetQuickLinks() {
  const RegistryKey quickLinks = RegistryKey::create(HKEY_LOCAL_MACHINE, QuickLinksKey);
  quickLinks.deleteValue(u"exclusionList");
  quickLinks.deleteValue(u"quickList");
}

std::u16string SystemSetup::copyLanguageTexts(std::u16string_view installDirectory) {
  const std::u16string path = std::u16string(installDirectory) + u"\\resources\\lang\\" +
                              std::u16string(languageFileFor(GetSystemDefaultLangID()));
  InstallerLabels labels;
  labels.load(path);
  const RegistryKey settings = RegistryKey::create(HKEY_LOCAL_MACHINE, SettingsKey);
  labels.writeTo(settings);
  settings.writeText(u"langFile", path);
  return path;
}

void SystemSetup::installFont(std::u16string_view resourceDirectory) {
  if (GetFileAttributesW(FontTarget) != INVALID_FILE_ATTRIBUTES)
    return; // the device's own font stays
  const std::u16string source = std::u16string(resourceDirectory) + u"tahoma.ttf";
  if (CopyFileW(source.c_str(), FontTarget, FALSE))
    RegistryKey::create(HKEY_LOCAL_MACHINE, SettingsKey).writeNumber(FontInstalledValue, 1);
}

void SystemSetup::removeFont() {
  const RegistryKey settings = RegistryKey::open(HKEY_LOCAL_MACHINE, SettingsKey);
  if (settings.readNumber(FontInstalledValue).value_or(0) == 1)
    DeleteFileW(FontTarget);
  // The menu copies its thin face into \Windows without ever replacing one the device had, so a
  // copy identical to the one in the system's resources is the system's own.
  const std::u16string resources =
      settings.readText(u"SourcesDirectory").value_or(u"\\Program Files\\Vireta\\resources\\VGA\\");
  const std::u16string source = resources + (resources.ends_with(u'\\') ? u"" : u"\\") + ThinFont;
  const std::u16string copy = std::u16string(u"\\Windows\\") + ThinFont;
  if (sameFileContent(source, copy))
    DeleteFileW(copy.c_str());
}

void SystemSetup::removeRegistryData() {
  if (const RegistryKey services = RegistryKey::create(HKEY_LOCAL_MACHINE, ServicesKey))
    RegistryTree::deleteKeyTree(services.handle(), ServiceKeyName);
  RegistryTree::deleteKeyTree(HKEY_LOCAL_MACHINE, SettingsKey);
}

void SystemSetup::removeStartupShortcut() {
  char16_t startup[MAX_PATH] = {};
  if (SHGetSpecialFolderPath(nullptr, startup, CSIDL_STARTUP, FALSE))
    DeleteFileW((std::u16string(startup) + u"\\Ostrel.lnk").c_str());
}

void SystemSetup::cleanIconPaths(HKEY parent, std::u16string_view path) {
  const RegistryKey key = RegistryKey::open(parent, path);
  if (!key)
    return;
  if (const auto icon = key.readText(u"Icon", 260);
      icon && lowerCase(*icon).find(u"\\vireta\\resources\\") != std::u16string::npos) {
    // The key is open for reading; the value goes through a writable handle of the same key.
    RegistryKey::open(parent, path, KEY_ALL_ACCESS).deleteValue(u"Icon");
  }
  std::u16string prefix(path);
  if (prefix.size() > 1 && prefix.back() != u'\\')
    prefix += u'\\';
  std::vector<std::u16string> children;
  for (DWORD index = 0;; ++index) {
    char16_t name[261] = {};
    DWORD length = 261;
    if (RegEnumKeyExW(key.handle(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    children.emplace_back(name, length);
  }
  for (const auto &child : children)
    cleanIconPaths(parent, prefix + child);
}

bool SystemSetup::removeItemMetadata(HKEY parent, std::u16string_view path) {
  std::u16string prefix(path);
  if (prefix.size() > 1 && prefix.back() != u'\\')
    prefix += u'\\';
  {
    const RegistryKey key = RegistryKey::open(parent, path, KEY_ALL_ACCESS);
    if (!key)
      return false;
    for (const auto &child : key.subkeyNames())
      removeItemMetadata(parent, prefix + child);
    for (const char16_t *value : {u"name", u"target", u"ItemPosition", u"hidden", u"falseLink"})
      key.deleteValue(value);
  }
  return removeIfEmpty(parent, path);
}

void SystemSetup::deleteDirectory(std::u16string_view directory) {
  std::u16string list(directory);
  list.push_back(u'\0'); // the list ends with two zeros
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = list.c_str();
  operation.fFlags = FOF_NOCONFIRMATION | FOF_SILENT;
  SHFileOperationW(&operation);
}
