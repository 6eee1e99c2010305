// Helpers for the GDI tests: a device root per test and DIB sections selected into DCs.
#pragma once

#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>
#include <ce/windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <unistd.h>

namespace gdi_test {

// A fresh device root under the system's temporary folder, removed afterwards.
class TempDevice {
public:
  explicit TempDevice(const std::string& conf = "screen=480x800\n") {
    static std::atomic<int> counter{0};
    std::random_device rd;
    root_ = std::filesystem::temp_directory_path() /
            ("ce-gdi-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
             std::to_string(rd()));
    std::filesystem::create_directories(root_ / "fs" / "Windows");
    std::ofstream(root_ / "device.conf") << conf;
    ce::DeviceRoot::use(root_);
  }
  ~TempDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  const std::filesystem::path& root() const { return root_; }

private:
  std::filesystem::path root_;
};

// A DIB section of the given depth selected into its own memory DC.
struct Surface {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  std::uint8_t* bits = nullptr;
  int width = 0, height = 0, bpp = 0;
  std::size_t stride = 0;
  bool topDown = true;

  // bpp 15 means 16-bit 5-5-5 (BI_RGB); 16 is 5-6-5 (BI_BITFIELDS).
  Surface(int w, int h, int depth, bool topDownRows = true) {
    width = w;
    height = h;
    topDown = topDownRows;
    bpp = depth == 15 ? 16 : depth;
    struct {
      BITMAPINFOHEADER header;
      DWORD masks[3];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = w;
    info.header.biHeight = topDownRows ? -h : h;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bpp);
    info.header.biCompression = depth == 16 ? BI_BITFIELDS : BI_RGB;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    void* memory = nullptr;
    bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                              &memory, nullptr, 0);
    bits = static_cast<std::uint8_t*>(memory);
    stride = (static_cast<std::size_t>(w) * bpp + 31) / 32 * 4;
    dc = CreateCompatibleDC(nullptr);
    previous = SelectObject(dc, bitmap);
  }
  ~Surface() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  std::uint8_t* at(int x, int y) const {
    const int row = topDown ? y : height - 1 - y;
    return bits + stride * static_cast<std::size_t>(row) + static_cast<std::size_t>(x) * (bpp / 8);
  }
  std::uint32_t raw(int x, int y) const {
    std::uint32_t v = 0;
    std::memcpy(&v, at(x, y), static_cast<std::size_t>(bpp / 8));
    return v;
  }
  void setRaw(int x, int y, std::uint32_t v) {
    std::memcpy(at(x, y), &v, static_cast<std::size_t>(bpp / 8));
  }
  void fillRaw(std::uint32_t v) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) setRaw(x, y, v);
  }
};

// The colour a 5-6-5 pixel written with `c` reads back as: truncated, then widened by
// repeating the top bits.
inline COLORREF through565(COLORREF c) {
  const unsigned r = GetRValue(c) >> 3, g = GetGValue(c) >> 2, b = GetBValue(c) >> 3;
  return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

inline BLENDFUNCTION blend(BYTE alpha, BYTE format) {
  BLENDFUNCTION b{};
  b.BlendOp = AC_SRC_OVER;
  b.SourceConstantAlpha = alpha;
  b.AlphaFormat = format;
  return b;
}

} // namespace gdi_test
