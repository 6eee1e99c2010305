// Shared by the toolkit tests: a fresh device root with a chosen screen, image files written
// into it, and the sizes and pixels of images and surfaces read back.
#pragma once

#include <ce/core/device_profile.h>
#include <ce/core/png_writer.h>
#include <ce/core/utf.h>
#include <ce/testing/temp_device.h>
#include <ce/windows.h>

#include <toolkit/surface/surface.h>

#include <cstdint>
#include <string>
#include <vector>

namespace toolkit_test {

// A device root whose profile has the given screen (no host runs for it).
class ToolkitDevice : public TempDevice {
protected:
  void SetUp() override {
    TempDevice::SetUp();
    useScreen(480, 640);
  }
  void TearDown() override {
    TempDevice::TearDown();
    ce::DeviceProfile::reload();
  }

  void useScreen(int width, int height) {
    ce::DeviceProfile profile;
    profile.screenWidth = width;
    profile.screenHeight = height;
    profile.dpi = ce::DeviceProfile::dpiForScreen(width, height);
    ASSERT_TRUE(profile.save(root_ / "device.conf"));
    ce::DeviceProfile::reload();
  }

  // Writes a PNG of one premultiplied B,G,R,A colour at the device path ("dir/name").
  void putPng(const std::string &path, int width, int height, std::uint32_t bgra = 0xFF3060C0) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, bgra);
    putPngPixels(path, width, height, pixels);
  }
  void putPngPixels(const std::string &path, int width, int height,
                    std::vector<std::uint32_t> pixels) {
    const auto host = root_ / "fs" / path;
    std::filesystem::create_directories(host.parent_path());
    ce::PixelMemory memory;
    memory.bits = pixels.data();
    memory.width = width;
    memory.height = height;
    memory.stride = width * 4;
    memory.format = ce::FramebufferFormat::Bgra32;
    std::string error;
    ASSERT_TRUE(ce::writePng(memory, host, &error)) << error;
  }

  // The decoded size of a device image file; 0 x 0 when it cannot be decoded.
  static SIZE imageSize(const std::u16string &devicePath) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IImagingFactory *factory = nullptr;
    SIZE size{0, 0};
    if (FAILED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IImagingFactory, reinterpret_cast<void **>(&factory))))
      return size;
    IImage *image = nullptr;
    if (SUCCEEDED(factory->CreateImageFromFile(devicePath.c_str(), &image))) {
      ImageInfo info{};
      image->GetImageInfo(&info);
      size = SIZE{static_cast<LONG>(info.Width), static_cast<LONG>(info.Height)};
      image->Release();
    }
    factory->Release();
    return size;
  }
};

// The B,G,R,A bytes of a 32-bit surface's pixel, or the 5-6-5 value of a 16-bit one.
inline std::uint32_t pixelOf(const Surface &surface, int x, int y) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = surface.width;
  info.bmiHeader.biHeight = -surface.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> rows(static_cast<std::size_t>(surface.width) * surface.height);
  if (surface.bitsPerPixel >= 32) {
    GetDIBits(surface.dc, surface.bitmap, 0, static_cast<UINT>(surface.height), rows.data(), &info,
              DIB_RGB_COLORS);
    return rows[static_cast<std::size_t>(y) * surface.width + x];
  }
  const COLORREF color = GetPixel(surface.dc, x, y);
  const unsigned r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
}

inline std::uint16_t rgb565(int r, int g, int b) {
  return static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

} // namespace toolkit_test
