// A fresh device root for each registry test, and small helpers to read and write values.
#pragma once

#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace registry_test {

inline std::filesystem::path makeTempRoot() {
  const char *tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ce-registry-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data()))
    return {};
  return buffer.data();
}

class RegistryTest : public ::testing::Test {
protected:
  void SetUp() override {
    root = makeTempRoot();
    ASSERT_FALSE(root.empty());
    ce::DeviceRoot::use(root);
  }
  void TearDown() override { std::filesystem::remove_all(root); }

  std::filesystem::path root;
};

inline LONG setDword(HKEY key, const char16_t *name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
}

// Written as the system writes strings: twice the character count, no terminating zero.
inline LONG setString(HKEY key, const char16_t *name, const std::u16string &text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.data()),
                        static_cast<DWORD>(text.size() * 2));
}

// The value's bytes, or an empty vector with the error in *error.
inline std::vector<BYTE> readBytes(HKEY key, const char16_t *name, LONG *error = nullptr,
                                   DWORD *type = nullptr) {
  DWORD size = 0;
  LONG result = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
  std::vector<BYTE> data(size);
  if (result == ERROR_SUCCESS && size > 0)
    result = RegQueryValueExW(key, name, nullptr, type, data.data(), &size);
  if (error)
    *error = result;
  if (result != ERROR_SUCCESS)
    data.clear();
  return data;
}

inline DWORD readDword(HKEY key, const char16_t *name) {
  DWORD value = 0xDEADBEEF, size = 4;
  EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size),
            ERROR_SUCCESS);
  return value;
}

inline HKEY createKey(HKEY parent, const char16_t *path, DWORD *disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(
      RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
      ERROR_SUCCESS);
  return key;
}

// Subkey names of a key in enumeration order.
inline std::vector<std::u16string> subkeyNames(HKEY key) {
  std::vector<std::u16string> names;
  for (DWORD i = 0;; ++i) {
    char16_t name[300];
    DWORD length = 300;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  return names;
}

inline std::vector<std::u16string> valueNames(HKEY key) {
  std::vector<std::u16string> names;
  for (DWORD i = 0;; ++i) {
    char16_t name[300];
    DWORD length = 300;
    if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  return names;
}

} // namespace registry_test
