// A fresh device root per test, with helpers to put host files into its file system.
#pragma once

#include <ce/core/device_root.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TempDevice : public ::testing::Test {
protected:
  void SetUp() override {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("toolkit-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(root_ / "fs");
    ce::DeviceRoot::use(root_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // Writes `bytes` to the device file \<name>.
  void put(const std::string &name, const std::string &bytes) {
    std::ofstream(root_ / "fs" / name, std::ios::binary) << bytes;
  }
  std::string hostRead(const std::string &name) {
    std::ifstream in(root_ / "fs" / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::filesystem::path root_;
};
