// Icon files for the icon tests: .ico files and icon libraries (PE files with icon groups)
// written into the test's device, icons read from them, and what an icon shows.
#pragma once

#include "toolkit_test_support.h"

#include "../../platform/tests/icons_test_files.h"

#include <ce/windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace toolkit_test {

namespace icon_files = ce::testing::icons;

class IconDevice : public ToolkitDevice {
protected:
  void putBytes(const std::string &path, const icon_files::Bytes &bytes) {
    put(path, std::string(bytes.begin(), bytes.end()));
  }
  // An icon file of one opaque square of `colour` (0xAARRGGBB) per side.
  void putIco(const std::string &path, ARGB colour, std::vector<int> sides = {32, 64}) {
    std::vector<icon_files::Entry> entries;
    for (int side : sides)
      entries.push_back(icon_files::solid(side, colour));
    putBytes(path, icon_files::ico(entries));
  }
  // An icon library whose group `id` is an opaque 64-pixel square of `colour`.
  void putLibrary(const std::string &path, std::vector<std::pair<std::uint16_t, ARGB>> groups) {
    std::vector<icon_files::Group> list;
    std::uint16_t iconId = 1;
    for (const auto &[id, colour] : groups)
      list.push_back({id, {{iconId++, icon_files::solid(64, colour)}}});
    putBytes(path, icon_files::pe(false, list));
  }

  static HICON extract(const std::u16string &file, int index = 0) {
    HICON icon = nullptr;
    ExtractIconExW(file.c_str(), index, &icon, nullptr, 1);
    return icon;
  }
};

// The width of an icon and the colour (0xRRGGBB) of its pixel (x, y), or {0, 0}.
inline std::pair<LONG, ARGB> iconLook(HICON icon, int x = 0, int y = 0) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info))
    return {0, 0};
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(bitmap.bmWidth) *
                                    static_cast<std::size_t>(bitmap.bmHeight));
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = bitmap.bmWidth;
  request.bmiHeader.biHeight = -bitmap.bmHeight;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(nullptr);
  GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(bitmap.bmHeight), pixels.data(), &request,
            DIB_RGB_COLORS);
  DeleteDC(dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return {bitmap.bmWidth,
          pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.bmWidth) +
                 static_cast<std::size_t>(x)] &
              0xFFFFFF};
}

} // namespace toolkit_test

namespace toolkit_test {

// The A,R,G,B value of pixel (x, y) of a decoded image file, or 0 when it cannot be decoded.
inline std::uint32_t filePixel(const std::u16string &devicePath, int x, int y) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IImagingFactory *factory = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IImagingFactory, reinterpret_cast<void **>(&factory))))
    return 0;
  std::uint32_t value = 0;
  IImage *image = nullptr;
  if (SUCCEEDED(factory->CreateImageFromFile(devicePath.c_str(), &image))) {
    IBitmapImage *bitmap = nullptr;
    if (SUCCEEDED(factory->CreateBitmapFromImage(image, 0, 0, PixelFormat32bppARGB,
                                                 InterpolationHintDefault, &bitmap))) {
      BitmapData data{};
      if (SUCCEEDED(bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data))) {
        const auto *row = static_cast<const std::uint8_t *>(data.Scan0) +
                          static_cast<std::ptrdiff_t>(y) * data.Stride;
        std::memcpy(&value, row + static_cast<std::size_t>(x) * 4, 4);
        bitmap->UnlockBits(&data);
      }
      bitmap->Release();
    }
    image->Release();
  }
  factory->Release();
  return value;
}

} // namespace toolkit_test
