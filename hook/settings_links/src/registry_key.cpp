#include <settings_links/registry_key.h>

#include <ce/core/utf.h>
#include <ce/errors.h>

#include <utility>

namespace settings_links {

RegistryKey RegistryKey::open(HKEY root, std::u16string_view path) {
  const std::u16string text(path);
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, text.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return RegistryKey();
  return RegistryKey(key);
}

RegistryKey RegistryKey::create(HKEY root, std::u16string_view path) {
  const std::u16string text(path);
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(root, text.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      &disposition) != ERROR_SUCCESS)
    return RegistryKey();
  return RegistryKey(key);
}

RegistryKey::~RegistryKey() {
  if (key_)
    RegCloseKey(key_);
}

RegistryKey::RegistryKey(RegistryKey &&other) noexcept : key_(std::exchange(other.key_, nullptr)) {}

RegistryKey &RegistryKey::operator=(RegistryKey &&other) noexcept {
  if (this != &other) {
    if (key_)
      RegCloseKey(key_);
    key_ = std::exchange(other.key_, nullptr);
  }
  return *this;
}

std::optional<std::u16string> RegistryKey::readString(const char16_t *name) const {
  if (!key_)
    return std::nullopt;
  char16_t buffer[StringBytes / 2 + 1] = {};
  DWORD size = StringBytes;
  if (RegQueryValueExW(key_, name, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::u16string(buffer, ce::wideLength(buffer));
}

std::optional<DWORD> RegistryKey::readNumber(const char16_t *name) const {
  if (!key_)
    return std::nullopt;
  DWORD value = 0, size = sizeof value;
  if (RegQueryValueExW(key_, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

bool RegistryKey::hasValue(const char16_t *name) const {
  DWORD size = 0;
  return key_ && RegQueryValueExW(key_, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

bool RegistryKey::writeString(const char16_t *name, std::u16string_view text,
                              bool withTerminator) const {
  if (!key_)
    return false;
  std::u16string data(text);
  const DWORD bytes = static_cast<DWORD>((data.size() + (withTerminator ? 1 : 0)) * 2);
  return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                        bytes) == ERROR_SUCCESS;
}

bool RegistryKey::writeNumber(const char16_t *name, DWORD value) const {
  return key_ && RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                                sizeof value) == ERROR_SUCCESS;
}

bool RegistryKey::deleteValue(const char16_t *name) const {
  return key_ && RegDeleteValueW(key_, name) == ERROR_SUCCESS;
}

std::vector<std::u16string> RegistryKey::subkeyNames() const {
  std::vector<std::u16string> names;
  if (!key_)
    return names;
  for (DWORD index = 0;; ++index) {
    char16_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  return names;
}

} // namespace settings_links
