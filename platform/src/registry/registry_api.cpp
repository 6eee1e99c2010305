// The registry functions of the platform API, over ce::RegistryDatabase and ce::RegistryKeyTable.
#include "registry/registry_database.h"
#include "registry/registry_key_table.h"
#include "registry/registry_path.h"

#include <ce/errors.h>
#include <ce/registry.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <span>
#include <vector>

using ce::RegistryDatabase;
using ce::RegistryKeyTable;
using ce::RegistryOpenKey;
using ce::RegistryPath;

namespace {

// Runs the body of an API function; nothing thrown inside leaves it.
template <class Body> LONG guarded(Body &&body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc &) {
    return ERROR_OUTOFMEMORY;
  } catch (...) {
    return ERROR_REGISTRY_IO_FAILED;
  }
}

bool isPredefined(HKEY key) {
  const auto value = reinterpret_cast<std::uintptr_t>(key);
  return value >= 0x80000000u && value <= 0x80000003u;
}

// The database and key a handle stands for, with what keeps them alive for the call.
struct Resolved {
  ce::RegistryDatabase *database = nullptr;
  const ce::RegistryKeyRef *key = nullptr;
  std::shared_ptr<RegistryDatabase> current;     // for a predefined root
  std::shared_ptr<const RegistryOpenKey> handle; // for an open handle
};

// The key of a predefined root, numbered from 0 (HKEY_CLASSES_ROOT).
const ce::RegistryKeyRef &rootKey(std::uintptr_t index) {
  // Lives until exit: other threads may still call in while statics are destroyed.
  static const auto *keys = new ce::RegistryKeyRef[4]{
      RegistryDatabase::rootKey(RegistryDatabase::classesRoot),
      RegistryDatabase::rootKey(RegistryDatabase::currentUser),
      RegistryDatabase::rootKey(RegistryDatabase::localMachine),
      RegistryDatabase::rootKey(RegistryDatabase::users),
  };
  return keys[index];
}

// A predefined root stands for that root in the database of the current device root.
LONG resolve(HKEY key, Resolved &out) {
  if (isPredefined(key)) {
    if (const LONG error = RegistryDatabase::current(out.current); error != ERROR_SUCCESS)
      return error;
    out.database = out.current.get();
    out.key = &rootKey(reinterpret_cast<std::uintptr_t>(key) - 0x80000000u);
    return ERROR_SUCCESS;
  }
  out.handle = RegistryKeyTable::instance().get(key);
  if (!out.handle)
    return ERROR_INVALID_HANDLE;
  out.database = out.handle->database.get();
  out.key = &out.handle->key;
  return ERROR_SUCCESS;
}

// Copies a value into the caller's buffer as RegQueryValueExW does.
class CallerBuffer final : public ce::RegistryValueSink {
public:
  CallerBuffer(LPDWORD type, LPBYTE data, LPDWORD dataSize)
      : type_(type), data_(data), dataSize_(dataSize) {}
  void take(DWORD type, std::span<const BYTE> bytes) override {
    if (type_)
      *type_ = type;
    if (!dataSize_)
      return;
    const auto size = static_cast<DWORD>(bytes.size());
    fits_ = !data_ || size <= *dataSize_;
    if (data_ && fits_ && size > 0)
      std::memcpy(data_, bytes.data(), size);
    *dataSize_ = size;
  }
  // False when the data did not fit the caller's buffer (nothing was copied then).
  bool fits() const { return fits_; }

private:
  LPDWORD type_;
  LPBYTE data_;
  LPDWORD dataSize_;
  bool fits_ = true;
};

// Keeps a value, for a caller that must see its name before deciding to copy it.
struct HeldValue final : ce::RegistryValueSink {
  void take(DWORD valueType, std::span<const BYTE> bytes) override {
    type = valueType;
    data.assign(bytes.begin(), bytes.end());
  }
  DWORD type = 0;
  std::vector<BYTE> data;
};

std::u16string_view nameOf(LPCWSTR name) {
  return name ? std::u16string_view(name) : std::u16string_view();
}

// Copies name and its terminating zero when *length (characters, zero included) has room.
// *length becomes the name's length without the zero either way.
LONG copyName(const std::u16string &name, LPWSTR buffer, LPDWORD length) {
  const bool fits = name.size() < *length;
  if (fits) {
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = u'\0';
  }
  *length = static_cast<DWORD>(name.size());
  return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

FILETIME toFileTime(std::int64_t ticks) {
  const auto value = static_cast<std::uint64_t>(ticks);
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

// Creates or opens; shared by RegCreateKeyExW and RegOpenKeyExW.
LONG openOrCreate(HKEY key, LPCWSTR subKey, bool create, PHKEY result, LPDWORD disposition) {
  *result = nullptr;
  RegistryPath path;
  if (const LONG error = RegistryPath::parse(subKey, path); error != ERROR_SUCCESS)
    return error;
  Resolved parent;
  if (const LONG error = resolve(key, parent); error != ERROR_SUCCESS)
    return error;
  RegistryOpenKey opened{parent.handle ? parent.handle->database : parent.current, {}};
  bool created = false;
  const LONG error = create ? parent.database->createKey(*parent.key, path, opened.key, created)
                            : parent.database->openKey(*parent.key, path, opened.key);
  if (error != ERROR_SUCCESS)
    return error;
  *result = RegistryKeyTable::instance().add(std::move(opened));
  if (disposition)
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

} // namespace

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
  if (!result || !subKey) {
    if (result)
      *result = nullptr;
    return ERROR_INVALID_PARAMETER;
  }
  return guarded([&]() -> LONG { return openOrCreate(key, subKey, true, result, disposition); });
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (!result)
    return ERROR_INVALID_PARAMETER;
  return guarded([&]() -> LONG { return openOrCreate(key, subKey, false, result, nullptr); });
}

LONG RegCloseKey(HKEY key) {
  if (isPredefined(key))
    return ERROR_SUCCESS;
  return guarded([&]() -> LONG {
    return RegistryKeyTable::instance().close(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
  });
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
  if (data && !dataSize)
    return ERROR_INVALID_PARAMETER;
  return guarded([&]() -> LONG {
    Resolved open;
    if (const LONG error = resolve(key, open); error != ERROR_SUCCESS)
      return error;
    CallerBuffer buffer(type, data, dataSize);
    if (const LONG error = open.database->queryValue(*open.key, nameOf(valueName), buffer);
        error != ERROR_SUCCESS)
      return error;
    return buffer.fits() ? ERROR_SUCCESS : ERROR_MORE_DATA;
  });
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE *data,
                    DWORD dataSize) {
  if (!data && dataSize > 0)
    return ERROR_INVALID_PARAMETER;
  return guarded([&]() -> LONG {
    Resolved open;
    if (const LONG error = resolve(key, open); error != ERROR_SUCCESS)
      return error;
    return open.database->setValue(*open.key, nameOf(valueName), type,
                                   std::span<const BYTE>(data, data ? dataSize : 0));
  });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return guarded([&]() -> LONG {
    Resolved open;
    if (const LONG error = resolve(key, open); error != ERROR_SUCCESS)
      return error;
    return open.database->deleteValue(*open.key, nameOf(valueName));
  });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (!subKey)
    return ERROR_INVALID_PARAMETER;
  return guarded([&]() -> LONG {
    RegistryPath path;
    if (const LONG error = RegistryPath::parse(subKey, path); error != ERROR_SUCCESS)
      return error;
    // A path that names no subkey would delete the key itself (a whole root, or the caller's
    // own tree by way of a string that came out empty); refused.
    if (path.empty())
      return ERROR_INVALID_PARAMETER;
    Resolved open;
    if (const LONG error = resolve(key, open); error != ERROR_SUCCESS)
      return error;
    return open.database->deleteKey(*open.key, path);
  });
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD, LPWSTR keyClass,
                   LPDWORD classLength, LPFILETIME lastWrite) {
  if (!name || !nameLength || (keyClass && !classLength))
    return ERROR_INVALID_PARAMETER;
  return guarded([&]() -> LONG {
    Resolved open;
    if (const LONG error = resolve(key, open); error != ERROR_SUCCESS)
      return error;
    std::u16string found;
    std::int64_t written = 0;
    const LONG error = open.database->enumKey(*open.key, index, found, written);
    if (error != ERROR_SUCCESS)
      return error;
    // Keys carry no class: an empty one.
    if (keyClass && *classLength > 0)
      keyClass[0] = u'\0';
    if (classLength)
      *classLength = 0;
    if (lastWrite)
      *lastWrite = toFileTime(written);
    return copyName(found, name, nameLength);
  });
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength, LPDWORD,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (!valueName || !valueNameLength || (data && !dataSize))
    return ERROR_INVALID_PARAMETER;
  return guarded([&]() -> LONG {
    Resolved open;
    if (const LONG error = resolve(key, open); error != ERROR_SUCCESS)
      return error;
    std::u16string found;
    HeldValue value;
    const LONG error = open.database->enumValue(*open.key, index, found, value);
    if (error != ERROR_SUCCESS)
      return error;
    if (type)
      *type = value.type;
    const LONG nameResult = copyName(found, valueName, valueNameLength);
    bool dataFits = true;
    if (dataSize) {
      const auto size = static_cast<DWORD>(value.data.size());
      dataFits = !data || size <= *dataSize;
      if (data && dataFits && nameResult == ERROR_SUCCESS && size > 0)
        std::memcpy(data, value.data.data(), size);
      *dataSize = size;
    }
    return nameResult == ERROR_SUCCESS && dataFits ? ERROR_SUCCESS : ERROR_MORE_DATA;
  });
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD, LPDWORD subKeys,
                      LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values,
                      LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                      LPDWORD securityDescriptor, LPFILETIME lastWrite) {
  if (keyClass && !classLength)
    return ERROR_INVALID_PARAMETER;
  return guarded([&]() -> LONG {
    Resolved open;
    if (const LONG error = resolve(key, open); error != ERROR_SUCCESS)
      return error;
    ce::RegistryKeyInfo info;
    const LONG error = open.database->queryInfo(*open.key, info);
    if (error != ERROR_SUCCESS)
      return error;
    if (keyClass && *classLength > 0)
      keyClass[0] = u'\0';
    if (classLength)
      *classLength = 0;
    if (subKeys)
      *subKeys = info.subKeys;
    if (maxSubKeyLength)
      *maxSubKeyLength = info.maxSubKeyLength;
    if (maxClassLength)
      *maxClassLength = 0;
    if (values)
      *values = info.values;
    if (maxValueNameLength)
      *maxValueNameLength = info.maxValueNameLength;
    if (maxValueLength)
      *maxValueLength = info.maxValueLength;
    if (securityDescriptor)
      *securityDescriptor = 0;
    if (lastWrite)
      *lastWrite = toFileTime(info.lastWrite);
    return ERROR_SUCCESS;
  });
}

LONG RegFlushKey(HKEY key) {
  return guarded([&]() -> LONG {
    Resolved open;
    if (const LONG error = resolve(key, open); error != ERROR_SUCCESS)
      return error;
    return open.database->flush(*open.key);
  });
}
