#include "installation_record.h"

#include <ce/errors.h>
#include <ce/registry.h>

namespace ce::tool {
namespace {

// A record holds paths of at most MAX_PATH units each; this bounds what is read back.
constexpr DWORD kLongestList = 4u << 20;

class Key {
public:
  ~Key() {
    if (key_)
      RegCloseKey(key_);
  }
  HKEY *out() { return &key_; }
  HKEY get() const { return key_; }

private:
  HKEY key_ = nullptr;
};

DWORD setString(HKEY key, const char16_t *name, const std::u16string &value) {
  return DWORD(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                              DWORD((value.size() + 1) * sizeof(char16_t))));
}

DWORD setList(HKEY key, const char16_t *name, const std::vector<std::u16string> &values) {
  std::u16string data;
  for (const auto &value : values) {
    data += value;
    data += u'\0';
  }
  data += u'\0';
  return DWORD(RegSetValueExW(key, name, 0, REG_MULTI_SZ,
                              reinterpret_cast<const BYTE *>(data.data()),
                              DWORD(data.size() * sizeof(char16_t))));
}

// The value's text, whatever its string type; empty when it is missing or too large.
std::u16string readText(HKEY key, const char16_t *name) {
  DWORD size = 0, type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      size > kLongestList || (type != REG_SZ && type != REG_MULTI_SZ && type != REG_EXPAND_SZ))
    return {};
  std::u16string data((size + 1) / sizeof(char16_t), u'\0');
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size) !=
      ERROR_SUCCESS)
    return {};
  data.resize(size / sizeof(char16_t));
  return data;
}

std::u16string firstString(const std::u16string &data) { return data.substr(0, data.find(u'\0')); }

std::vector<std::u16string> strings(const std::u16string &data) {
  std::vector<std::u16string> result;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find(u'\0', start);
    if (end == std::u16string::npos)
      end = data.size();
    if (end > start)
      result.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

} // namespace

std::u16string InstallationRecord::keyPath(std::u16string_view name) {
  return u"SOFTWARE\\Apps\\" + std::u16string(name);
}

bool InstallationRecord::exists(std::u16string_view name) {
  Key key;
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath(name).c_str(), 0, KEY_READ, key.out()) ==
         ERROR_SUCCESS;
}

std::optional<InstallationRecord> InstallationRecord::read(std::u16string_view name,
                                                           DWORD *error) {
  Key key;
  const LONG status =
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath(name).c_str(), 0, KEY_READ, key.out());
  if (status != ERROR_SUCCESS) {
    *error = DWORD(status);
    return std::nullopt;
  }
  InstallationRecord record;
  record.name = name;
  record.directory = firstString(readText(key.get(), u"InstlDir"));
  record.setupLibrary = firstString(readText(key.get(), u"IsvFile"));
  record.files = strings(readText(key.get(), u"Files"));
  record.directories = strings(readText(key.get(), u"Directories"));
  return record;
}

DWORD InstallationRecord::remove(std::u16string_view name) {
  return DWORD(RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath(name).c_str()));
}

DWORD InstallationRecord::write() const {
  // Values are written over the earlier record's rather than after deleting it, so that the
  // record never goes missing on the way.
  Key key;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath(name).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, key.out(), nullptr);
  if (status != ERROR_SUCCESS)
    return DWORD(status);
  const DWORD installed = 1;
  DWORD result = DWORD(RegSetValueExW(key.get(), u"Instl", 0, REG_DWORD,
                                      reinterpret_cast<const BYTE *>(&installed), sizeof installed));
  if (result == ERROR_SUCCESS)
    result = setString(key.get(), u"InstlDir", directory);
  if (result == ERROR_SUCCESS && !setupLibrary.empty())
    result = setString(key.get(), u"IsvFile", setupLibrary);
  if (result == ERROR_SUCCESS && setupLibrary.empty()) {
    const LONG deleted = RegDeleteValueW(key.get(), u"IsvFile");
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND)
      result = DWORD(deleted);
  }
  if (result == ERROR_SUCCESS)
    result = setList(key.get(), u"Files", files);
  if (result == ERROR_SUCCESS)
    result = setList(key.get(), u"Directories", directories);
  return result;
}

} // namespace ce::tool
