#include <toolkit/global/program_key.h>

#include <cstring>

ProgramKey::ProgramKey(std::u16string_view applicationName) {
  const std::u16string keyPath = path(applicationName);
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key_, &disposition) != ERROR_SUCCESS)
    key_ = nullptr;
}

ProgramKey::~ProgramKey() {
  if (key_)
    RegCloseKey(key_);
}

std::u16string ProgramKey::path(std::u16string_view applicationName) {
  return u"SOFTWARE\\Tolmar_" + std::u16string(applicationName);
}

std::optional<DWORD> ProgramKey::readNumber(const char16_t *name) const {
  if (!key_)
    return std::nullopt;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

std::optional<std::u16string> ProgramKey::readString(const char16_t *name) const {
  if (!key_)
    return std::nullopt;
  char16_t buffer[StringBufferBytes / 2] = {};
  DWORD size = StringBufferBytes, type = 0;
  if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::u16string text(buffer, size / 2);
  if (const auto zero = text.find(u'\0'); zero != std::u16string::npos)
    text.resize(zero);
  return text;
}

bool ProgramKey::writeNumber(const char16_t *name, DWORD value) const {
  return key_ && RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                                sizeof value) == ERROR_SUCCESS;
}

bool ProgramKey::writeString(const char16_t *name, std::u16string_view text) const {
  return key_ && RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.data()),
                                static_cast<DWORD>(text.size() * 2)) == ERROR_SUCCESS;
}
