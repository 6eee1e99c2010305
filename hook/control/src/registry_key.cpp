#include <service_control/registry_key.h>

#include <ce/errors.h>

#include <cstring>
#include <vector>

RegistryKey &RegistryKey::operator=(RegistryKey &&other) noexcept {
  if (this != &other) {
    close();
    key_ = other.key_;
    other.key_ = nullptr;
  }
  return *this;
}

RegistryKey RegistryKey::create(HKEY root, std::u16string_view path) {
  const std::u16string subKey(path);
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      &disposition) != ERROR_SUCCESS)
    return RegistryKey();
  return RegistryKey(key);
}

RegistryKey RegistryKey::open(HKEY root, std::u16string_view path, REGSAM access) {
  const std::u16string subKey(path);
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, subKey.c_str(), 0, access, &key) != ERROR_SUCCESS)
    return RegistryKey();
  return RegistryKey(key);
}

void RegistryKey::close() {
  if (key_)
    RegCloseKey(key_);
  key_ = nullptr;
}

bool RegistryKey::writeString(std::u16string_view name, std::u16string_view text) const {
  const std::u16string valueName(name);
  return key_ &&
         RegSetValueExW(key_, valueName.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE *>(text.data()),
                        static_cast<DWORD>(text.size() * sizeof(char16_t))) == ERROR_SUCCESS;
}

bool RegistryKey::writeNumber(std::u16string_view name, DWORD value) const {
  const std::u16string valueName(name);
  return key_ &&
         RegSetValueExW(key_, valueName.c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE *>(&value), sizeof value) == ERROR_SUCCESS;
}

std::optional<std::u16string> RegistryKey::readString(std::u16string_view name,
                                                      DWORD maxBytes) const {
  if (!key_)
    return std::nullopt;
  const std::u16string valueName(name);
  std::vector<BYTE> data(maxBytes + 2, 0);
  DWORD size = maxBytes, type = 0;
  if (RegQueryValueExW(key_, valueName.c_str(), nullptr, &type, data.data(), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::u16string text(size / sizeof(char16_t), u'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(char16_t));
  if (const auto zero = text.find(u'\0'); zero != std::u16string::npos)
    text.resize(zero);
  return text;
}

std::optional<DWORD> RegistryKey::readNumber(std::u16string_view name) const {
  if (!key_)
    return std::nullopt;
  const std::u16string valueName(name);
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExW(key_, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(&value),
                       &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

bool RegistryKey::deleteValue(std::u16string_view name) const {
  const std::u16string valueName(name);
  return key_ && RegDeleteValueW(key_, valueName.c_str()) == ERROR_SUCCESS;
}

bool RegistryKey::hasValue(std::u16string_view name) const {
  if (!key_)
    return false;
  const std::u16string valueName(name);
  DWORD size = 0, type = 0;
  const LONG result = RegQueryValueExW(key_, valueName.c_str(), nullptr, &type, nullptr, &size);
  return result == ERROR_SUCCESS || result == ERROR_MORE_DATA;
}
