// A fresh device root per test with the test libraries at hand, and the journal they write.
#pragma once

#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace services_test {

class DeviceWithLibraries : public ::testing::Test {
protected:
  void SetUp() override {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ce-services-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    std::filesystem::create_directories(root / "fs" / "Windows");
    ce::DeviceRoot::use(root);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }

public:
  static std::filesystem::path built(const std::string &library) {
    return std::filesystem::path(CE_TEST_LIBRARY_DIR) / (library + ".dll");
  }

  // Copies a built test library into fs/ under a relative host path ("Windows/journal_a.dll").
  void install(const std::string &library, const std::filesystem::path &relative) {
    const auto target = root / "fs" / relative;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(built(library), target,
                               std::filesystem::copy_options::overwrite_existing);
  }
  void install(const std::string &library) { install(library, "Windows/" + library + ".dll"); }

  void writeFile(const std::filesystem::path &relative, const std::string &bytes) {
    const auto target = root / "fs" / relative;
    std::filesystem::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << bytes;
  }

  static std::string readHostFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

protected:
  // The journal's lines so far; taking them empties it.
  std::vector<std::string> journal() {
    const auto path = root / "journal.txt";
    std::istringstream in(readHostFile(path));
    std::filesystem::remove(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }

  // Writes HKEY_LOCAL_MACHINE\Services\<key> as a registering program does: strings without a
  // terminating zero, numbers as REG_DWORD.
  void registerKey(const std::u16string &key, const std::u16string &dll,
                   const std::u16string &prefix,
                   std::vector<std::pair<const char16_t *, DWORD>> numbers = {}) {
    HKEY handle = nullptr;
    const std::u16string path = u"Services\\" + key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    for (auto [name, text] : {std::pair{u"Dll", &dll}, std::pair{u"Prefix", &prefix}})
      RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text->data()),
                     static_cast<DWORD>(text->size() * 2));
    for (auto [name, value] : numbers)
      RegSetValueExW(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
    RegCloseKey(handle);
  }

  std::filesystem::path root;
};

} // namespace services_test
