#include <toolkit/registry/registry_key.h>

#include <ce/errors.h>

#include <cstring>
#include <utility>

namespace {

// Registry names are zero-terminated for the platform calls.
std::u16string terminated(std::u16string_view name) { return std::u16string(name); }

} // namespace

RegistryKey::RegistryKey(RegistryKey &&other) noexcept : key_(std::exchange(other.key_, nullptr)) {}

RegistryKey &RegistryKey::operator=(RegistryKey &&other) noexcept {
  if (this != &other) {
    close();
    key_ = std::exchange(other.key_, nullptr);
  }
  return *this;
}

RegistryKey::~RegistryKey() { close(); }

void RegistryKey::close() {
  if (key_)
    RegCloseKey(key_);
  key_ = nullptr;
}

RegistryKey RegistryKey::create(HKEY root, std::u16string_view path, bool *created) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  const auto subkey = terminated(path);
  if (RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, &disposition) != ERROR_SUCCESS) {
    key = nullptr;
  }
  if (created)
    *created = key && disposition == REG_CREATED_NEW_KEY;
  return RegistryKey(key);
}

RegistryKey RegistryKey::open(HKEY root, std::u16string_view path, REGSAM access) {
  HKEY key = nullptr;
  const auto subkey = terminated(path);
  if (RegOpenKeyExW(root, subkey.c_str(), 0, access, &key) != ERROR_SUCCESS)
    key = nullptr;
  return RegistryKey(key);
}

std::optional<DWORD> RegistryKey::readNumber(std::u16string_view name) const {
  if (!key_)
    return std::nullopt;
  BYTE bytes[4] = {};
  DWORD size = sizeof bytes;
  const auto valueName = terminated(name);
  if (RegQueryValueExW(key_, valueName.c_str(), nullptr, nullptr, bytes, &size) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD value = 0;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

std::optional<int> RegistryKey::readInt(std::u16string_view name) const {
  const auto value = readNumber(name);
  if (!value)
    return std::nullopt;
  return static_cast<int>(*value);
}

std::optional<std::u16string> RegistryKey::readText(std::u16string_view name,
                                                    DWORD bufferBytes) const {
  if (!key_ || bufferBytes < sizeof(char16_t))
    return std::nullopt;
  std::u16string text(bufferBytes / sizeof(char16_t), u'\0');
  DWORD size = bufferBytes;
  const auto valueName = terminated(name);
  if (RegQueryValueExW(key_, valueName.c_str(), nullptr, nullptr,
                       reinterpret_cast<BYTE *>(text.data()), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(size / sizeof(char16_t));
  if (const auto zero = text.find(u'\0'); zero != std::u16string::npos)
    text.resize(zero);
  if (text.size() > bufferBytes / sizeof(char16_t) - 1)
    return std::nullopt; // no room left for the terminating zero
  return text;
}

bool RegistryKey::hasValue(std::u16string_view name) const {
  if (!key_)
    return false;
  DWORD size = 0;
  const auto valueName = terminated(name);
  return RegQueryValueExW(key_, valueName.c_str(), nullptr, nullptr, nullptr, &size) ==
         ERROR_SUCCESS;
}

bool RegistryKey::writeNumber(std::u16string_view name, DWORD value) const {
  return writeData(name, REG_DWORD, &value, sizeof value);
}

bool RegistryKey::writeText(std::u16string_view name, std::u16string_view text,
                            bool withTerminator) const {
  if (!withTerminator)
    return writeData(name, REG_SZ, text.data(), text.size() * sizeof(char16_t));
  std::u16string terminatedText(text);
  return writeData(name, REG_SZ, terminatedText.c_str(),
                   (terminatedText.size() + 1) * sizeof(char16_t));
}

bool RegistryKey::writeData(std::u16string_view name, DWORD type, const void *data,
                            std::size_t bytes) const {
  if (!key_)
    return false;
  const auto valueName = terminated(name);
  return RegSetValueExW(key_, valueName.c_str(), 0, type, static_cast<const BYTE *>(data),
                        static_cast<DWORD>(bytes)) == ERROR_SUCCESS;
}

bool RegistryKey::deleteValue(std::u16string_view name) const {
  if (!key_)
    return false;
  const auto valueName = terminated(name);
  return RegDeleteValueW(key_, valueName.c_str()) == ERROR_SUCCESS;
}

std::vector<std::u16string> RegistryKey::subkeyNames() const {
  std::vector<std::u16string> names;
  if (!key_)
    return names;
  for (DWORD index = 0;; ++index) {
    char16_t name[MAX_PATH];
    DWORD length = MAX_PATH;
    const LONG result =
        RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA)
      continue;
    if (result != ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  return names;
}

DWORD RegistryKey::subkeyCount() const {
  DWORD count = 0;
  if (!key_ || RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return count;
}
