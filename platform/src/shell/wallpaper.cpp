#include "wallpaper.h"

#include <ce/core/utf.h>
#include <ce/files.h>
#include <ce/imaging.h>

#include <algorithm>

namespace ce::shell {

Wallpaper::~Wallpaper() { release(); }

std::u16string Wallpaper::pathFor(int width, int height) {
  return u"\\Windows\\stwater_" + toUtf16(std::to_string(width)) + u"_" +
         toUtf16(std::to_string(height)) + u".jpg";
}

void Wallpaper::release() {
  if (memory_) {
    SelectObject(memory_, previous_);
    DeleteDC(memory_);
  }
  if (bitmap_)
    DeleteObject(bitmap_);
  memory_ = nullptr;
  bitmap_ = nullptr;
  previous_ = nullptr;
  width_ = height_ = 0;
}

bool Wallpaper::load(int width, int height) {
  release();
  const std::u16string path = pathFor(width, height);
  if (width <= 0 || height <= 0 || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    return false;
  CoInitializeEx(nullptr, 0); // once per thread; later calls only answer S_FALSE
  IImagingFactory *factory = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IImagingFactory, reinterpret_cast<void **>(&factory))))
    return false;
  IImage *image = nullptr;
  const HRESULT decoded = factory->CreateImageFromFile(path.c_str(), &image);
  factory->Release();
  if (FAILED(decoded) || !image)
    return false;
  memory_ = CreateCompatibleDC(nullptr);
  bitmap_ = memory_ ? CreateCompatibleBitmap(nullptr, width, height) : nullptr;
  if (!bitmap_) {
    image->Release();
    release();
    return false;
  }
  previous_ = SelectObject(memory_, bitmap_);
  const RECT all{0, 0, width, height};
  const HRESULT drawn = image->Draw(memory_, &all, nullptr);
  image->Release();
  if (FAILED(drawn)) {
    release();
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void Wallpaper::draw(HDC dc, const RECT &area) const {
  if (!memory_) {
    const HBRUSH plain = CreateSolidBrush(kPlainColour);
    FillRect(dc, &area, plain);
    DeleteObject(plain);
    return;
  }
  BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory_,
         area.left, area.top, SRCCOPY);
  // Beyond the picture (a screen larger than it): the plain colour.
  const HBRUSH plain = CreateSolidBrush(kPlainColour);
  if (area.right > width_) {
    const RECT right{std::max<LONG>(area.left, width_), area.top, area.right, area.bottom};
    FillRect(dc, &right, plain);
  }
  if (area.bottom > height_) {
    const RECT below{area.left, std::max<LONG>(area.top, height_), area.right, area.bottom};
    FillRect(dc, &below, plain);
  }
  DeleteObject(plain);
}

} // namespace ce::shell
