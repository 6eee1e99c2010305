#include "services/service_registration.h"

#include <ce/errors.h>
#include <ce/registry.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace ce {

namespace {

constexpr const char16_t *servicesKey = u"Services";

class OpenKey {
public:
  explicit OpenKey(HKEY key) : key_(key) {}
  ~OpenKey() {
    if (key_)
      RegCloseKey(key_);
  }
  OpenKey(const OpenKey &) = delete;
  OpenKey &operator=(const OpenKey &) = delete;
  HKEY get() const { return key_; }

private:
  HKEY key_;
};

// ERROR_SUCCESS with the value, ERROR_FILE_NOT_FOUND when absent, else the failure.
LONG readValue(HKEY key, const char16_t *name, DWORD *type, std::vector<BYTE> *data) {
  DWORD size = 0;
  LONG result = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
  // The value may grow between the two reads when another process rewrites it.
  for (int attempt = 0; result == ERROR_SUCCESS || result == ERROR_MORE_DATA; ++attempt) {
    data->resize(size);
    result = RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
    if (result == ERROR_SUCCESS) {
      data->resize(size);
      return ERROR_SUCCESS;
    }
    if (attempt == 3)
      break;
  }
  return result;
}

// A string value up to its first zero; the stored length need not count one.
LONG readString(HKEY key, const char16_t *name, std::u16string *text) {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  const LONG result = readValue(key, name, &type, &data);
  if (result != ERROR_SUCCESS)
    return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    return ERROR_INVALID_DATA;
  text->assign(data.size() / 2, u'\0');
  for (std::size_t i = 0; i < text->size(); ++i)
    (*text)[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  text->resize(std::min(text->size(), text->find(u'\0')));
  return ERROR_SUCCESS;
}

LONG readNumber(HKEY key, const char16_t *name, std::optional<DWORD> *number) {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  const LONG result = readValue(key, name, &type, &data);
  if (result == ERROR_FILE_NOT_FOUND) {
    number->reset();
    return ERROR_SUCCESS;
  }
  if (result != ERROR_SUCCESS)
    return result;
  if (type != REG_DWORD || data.size() != sizeof(DWORD))
    return ERROR_INVALID_DATA;
  *number = static_cast<DWORD>(data[0] | (data[1] << 8) | (data[2] << 16) |
                               (static_cast<DWORD>(data[3]) << 24));
  return ERROR_SUCCESS;
}

void setError(DWORD *error, LONG code) {
  if (error)
    *error = static_cast<DWORD>(code);
}

} // namespace

std::optional<ServiceRegistration> ServiceRegistration::read(std::u16string_view keyName,
                                                             DWORD *error) {
  if (keyName.empty() || keyName.find_first_of(u"\\/") != std::u16string_view::npos ||
      keyName.find(u'\0') != std::u16string_view::npos) {
    setError(error, ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  const std::u16string path = std::u16string(servicesKey) + u"\\" + std::u16string(keyName);
  HKEY raw = nullptr;
  LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &raw);
  if (result != ERROR_SUCCESS) {
    setError(error, result == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : result);
    return std::nullopt;
  }
  OpenKey key(raw);

  ServiceRegistration registration;
  registration.keyName = keyName;
  std::optional<DWORD> index, context, flags;
  for (auto [name, text] :
       {std::pair{u"Dll", &registration.dll}, std::pair{u"Prefix", &registration.prefix}}) {
    result = readString(key.get(), name, text);
    if (result != ERROR_SUCCESS) {
      setError(error, result == ERROR_FILE_NOT_FOUND ? ERROR_INVALID_DATA : result);
      return std::nullopt;
    }
  }
  for (auto [name, number] :
       {std::pair{u"Index", &index}, std::pair{u"Context", &context}, std::pair{u"Flags", &flags},
        std::pair{u"Order", &registration.order}}) {
    result = readNumber(key.get(), name, number);
    if (result != ERROR_SUCCESS) {
      setError(error, result);
      return std::nullopt;
    }
  }
  if (registration.dll.empty() || registration.prefix.empty()) {
    setError(error, ERROR_INVALID_DATA);
    return std::nullopt;
  }
  registration.index = index.value_or(0);
  registration.context = context.value_or(0);
  registration.flags = flags.value_or(0);
  return registration;
}

std::vector<std::u16string> ServiceRegistration::keyNames() {
  std::vector<std::u16string> names;
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, servicesKey, 0, KEY_READ, &raw) != ERROR_SUCCESS)
    return names;
  OpenKey key(raw);
  for (DWORD i = 0;; ++i) {
    char16_t name[256];
    DWORD length = 256;
    const LONG result =
        RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS || result != ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  return names;
}

} // namespace ce
