// The body shared by the icon fuzz targets: the bytes become a device file and ExtractIconExW
// reads every icon it finds in it.
#pragma once

#include <ce/core/device_root.h>
#include <ce/icons.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

inline std::filesystem::path &fuzzIconsRoot() {
  static std::filesystem::path root;
  return root;
}

inline void fuzzExtractIcons(const std::uint8_t *data, std::size_t size) {
  std::filesystem::path &root = fuzzIconsRoot();
  if (root.empty()) {
    root = std::filesystem::temp_directory_path() / ("ce-fuzz-icons-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "fs");
    ce::DeviceRoot::use(root);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(fuzzIconsRoot(), ec);
    });
  }
  std::ofstream(root / "fs" / "subject.bin", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char *>(data), std::streamsize(size));
  const UINT count = ExtractIconExW(u"\\subject.bin", -1, nullptr, nullptr, 0);
  for (int index : {0, 1, -1, -5, -7, int(count) - 1}) {
    HICON large[2] = {}, small[2] = {};
    ExtractIconExW(u"\\subject.bin", index, large, small, 2);
    for (HICON icon : {large[0], large[1], small[0], small[1]})
      if (icon)
        DestroyIcon(icon);
  }
}
