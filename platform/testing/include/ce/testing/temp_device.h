// A fresh device root per test (its own file system and registry), with small helpers to put
// files and registry values in place and read them back.
#pragma once

#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

class TempDevice : public ::testing::Test {
protected:
  void SetUp() override {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("device-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(root_ / "fs");
    ce::DeviceRoot::use(root_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // Writes `bytes` to the device file at `path` ("dir/name", folders created).
  void put(const std::string &path, const std::string &bytes) {
    const auto host = root_ / "fs" / path;
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << bytes;
  }
  std::string hostRead(const std::string &path) {
    std::ifstream in(root_ / "fs" / path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool hostExists(const std::string &path) { return std::filesystem::exists(root_ / "fs" / path); }

  static HKEY createKey(std::u16string_view path) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const std::u16string p(path);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, p.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    return key;
  }
  static void setValue(std::u16string_view keyPath, std::u16string_view name, DWORD type,
                       const void *data, std::size_t size) {
    HKEY key = createKey(keyPath);
    const std::u16string n(name);
    EXPECT_EQ(RegSetValueExW(key, n.c_str(), 0, type, static_cast<const BYTE *>(data),
                             static_cast<DWORD>(size)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void setString(std::u16string_view keyPath, std::u16string_view name,
                        std::u16string_view text) {
    setValue(keyPath, name, REG_SZ, text.data(), text.size() * 2);
  }
  static void setDword(std::u16string_view keyPath, std::u16string_view name, DWORD value) {
    setValue(keyPath, name, REG_DWORD, &value, 4);
  }
  static void setBinary(std::u16string_view keyPath, std::u16string_view name,
                        const std::vector<BYTE> &bytes) {
    setValue(keyPath, name, REG_BINARY, bytes.data(), bytes.size());
  }

  struct Value {
    DWORD type = 0;
    std::vector<BYTE> data;
    std::u16string text() const {
      std::u16string t(data.size() / 2, u'\0');
      std::memcpy(t.data(), data.data(), t.size() * 2);
      return t;
    }
    DWORD number() const {
      DWORD v = 0;
      std::memcpy(&v, data.data(), std::min<std::size_t>(4, data.size()));
      return v;
    }
  };
  static std::optional<Value> query(std::u16string_view keyPath, std::u16string_view name) {
    HKEY key = nullptr;
    const std::u16string p(keyPath), n(name);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, p.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    Value v;
    v.data.resize(4096);
    DWORD size = 4096;
    const LONG r = RegQueryValueExW(key, n.c_str(), nullptr, &v.type, v.data.data(), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS)
      return std::nullopt;
    v.data.resize(size);
    return v;
  }
  // Value names of a key in enumeration order.
  static std::vector<std::u16string> valueNames(std::u16string_view keyPath) {
    std::vector<std::u16string> names;
    HKEY key = nullptr;
    const std::u16string p(keyPath);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, p.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return names;
    }
    for (DWORD i = 0;; ++i) {
      char16_t name[300];
      DWORD length = 300;
      if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
  }

  std::filesystem::path root_;
};
