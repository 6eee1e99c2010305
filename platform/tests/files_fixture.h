// A fresh device root per test: <temp>/fs is the device's file system.
#pragma once

#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace ce::testing {

class DeviceFiles : public ::testing::Test {
protected:
  void SetUp() override {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("ce-files-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(root_ / "fs");
    DeviceRoot::use(root_);
    fs_ = std::filesystem::canonical(root_ / "fs");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
  }

  // Writes a host file below fs/ (folders created as needed).
  void hostWrite(const std::filesystem::path& relative, const std::string& bytes) {
    std::filesystem::create_directories((fs_ / relative).parent_path());
    std::ofstream(fs_ / relative, std::ios::binary) << bytes;
  }
  std::string hostRead(const std::filesystem::path& relative) {
    std::ifstream in(fs_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool hostExists(const std::filesystem::path& relative) {
    std::error_code ec;
    return std::filesystem::symlink_status(fs_ / relative, ec).type() !=
           std::filesystem::file_type::not_found;
  }

  std::filesystem::path root_;
  std::filesystem::path fs_;
};

} // namespace ce::testing
