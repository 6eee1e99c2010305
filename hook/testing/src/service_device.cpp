#include <service_testing/service_device.h>

#include "client/host_connection.h"

#include <algorithm>
#include <cstring>

namespace servicetest {
namespace {

void list(HKEY root, const std::string &rootName, const std::u16string &path,
          std::vector<std::string> &lines) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return;
  const std::string name = rootName + "\\" + ce::toUtf8(path);
  lines.push_back(name);
  for (DWORD index = 0;; ++index) {
    char16_t valueName[300] = {};
    DWORD nameLength = 300, type = 0, size = 4096;
    std::vector<BYTE> data(size);
    if (RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS)
      break;
    std::string bytes;
    char hex[4];
    for (DWORD i = 0; i < size; ++i) {
      std::snprintf(hex, sizeof hex, "%02x", data[i]);
      bytes += hex;
    }
    lines.push_back(name + " : " + ce::toUtf8(std::u16string(valueName, nameLength)) + " " +
                    std::to_string(type) + " " + bytes);
  }
  std::vector<std::u16string> children;
  for (DWORD index = 0;; ++index) {
    char16_t child[300] = {};
    DWORD length = 300;
    if (RegEnumKeyExW(key, index, child, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    children.emplace_back(child, length);
  }
  RegCloseKey(key);
  for (const auto &child : children)
    list(root, rootName, path.empty() ? child : path + u"\\" + child, lines);
}

HKEY openKey(HKEY root, std::u16string_view path, REGSAM access) {
  HKEY key = nullptr;
  const std::u16string subKey(path);
  if (RegOpenKeyExW(root, subKey.c_str(), 0, access, &key) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

HKEY createKey(HKEY root, std::u16string_view path) {
  HKEY key = nullptr;
  const std::u16string subKey(path);
  EXPECT_EQ(
      RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  return key;
}

} // namespace

void ServiceDevice::shutdown() const {
  ce::HostConnection::instance().leave();
  tool({"shutdown"});
}

std::optional<DWORD> readNumber(std::u16string_view key, std::u16string_view name, HKEY root) {
  const HKEY handle = openKey(root, key, KEY_READ);
  if (!handle)
    return std::nullopt;
  DWORD value = 0, size = sizeof value, type = 0;
  const std::u16string valueName(name);
  const LONG result = RegQueryValueExW(handle, valueName.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE *>(&value), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

std::optional<std::u16string> readString(std::u16string_view key, std::u16string_view name,
                                         HKEY root) {
  const HKEY handle = openKey(root, key, KEY_READ);
  if (!handle)
    return std::nullopt;
  std::vector<BYTE> data(4096);
  DWORD size = static_cast<DWORD>(data.size()), type = 0;
  const std::u16string valueName(name);
  const LONG result =
      RegQueryValueExW(handle, valueName.c_str(), nullptr, &type, data.data(), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS)
    return std::nullopt;
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data.data(), text.size() * 2);
  if (const auto zero = text.find(u'\0'); zero != std::u16string::npos)
    text.resize(zero);
  return text;
}

bool keyExists(std::u16string_view key, HKEY root) {
  const HKEY handle = openKey(root, key, KEY_READ);
  if (handle)
    RegCloseKey(handle);
  return handle != nullptr;
}

void writeNumber(std::u16string_view key, std::u16string_view name, DWORD value, HKEY root) {
  const HKEY handle = createKey(root, key);
  const std::u16string valueName(name);
  RegSetValueExW(handle, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                 sizeof value);
  RegCloseKey(handle);
}

void writeString(std::u16string_view key, std::u16string_view name, std::u16string_view text,
                 HKEY root) {
  const HKEY handle = createKey(root, key);
  const std::u16string valueName(name);
  RegSetValueExW(handle, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(text.data()),
                 static_cast<DWORD>(text.size() * 2));
  RegCloseKey(handle);
}

void deleteValue(std::u16string_view key, std::u16string_view name, HKEY root) {
  if (const HKEY handle = openKey(root, key, KEY_ALL_ACCESS)) {
    const std::u16string valueName(name);
    RegDeleteValueW(handle, valueName.c_str());
    RegCloseKey(handle);
  }
}

std::vector<std::string> registryListing() {
  std::vector<std::string> lines;
  list(HKEY_LOCAL_MACHINE, "HKLM", u"", lines);
  list(HKEY_CURRENT_USER, "HKCU", u"", lines);
  list(HKEY_CLASSES_ROOT, "HKCR", u"", lines);
  list(HKEY_USERS, "HKU", u"", lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> fileListing(const fs::path &fileSystem) {
  std::vector<std::string> lines;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(fileSystem, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const std::string relative = fs::relative(it->path(), fileSystem).string();
    if (it->is_directory()) {
      lines.push_back(relative + "/");
      continue;
    }
    const std::string bytes = readHostFile(it->path());
    lines.push_back(relative + " " + std::to_string(bytes.size()) + " " +
                    std::to_string(std::hash<std::string>{}(bytes)));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

bool serviceLoaded() {
  char16_t name[] = u"SMC0:";
  const HANDLE service = GetServiceHandle(name, nullptr, nullptr);
  if (service == INVALID_HANDLE_VALUE || !service)
    return false;
  CloseHandle(service);
  return true;
}

bool runToEnd(std::u16string_view path, std::u16string_view arguments, int ms) {
  const std::u16string file(path), parameters(arguments);
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = u"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteEx(&info) || !info.hProcess)
    return false;
  const bool ended = WaitForSingleObject(info.hProcess, static_cast<DWORD>(ms)) == WAIT_OBJECT_0;
  CloseHandle(info.hProcess);
  return ended;
}

} // namespace servicetest
