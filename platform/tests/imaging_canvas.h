// A drawing target for tests.
#pragma once

#include <ce/gdi.h>
#include <ce/imaging.h>

namespace ce::testing {

// A 32-bit top-down DIB section in a memory DC, filled with one colour.
class Canvas {
public:
  Canvas(int w, int h, ARGB fill) : w_(w) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits_),
                               nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < w * h; ++i)
      bits_[i] = fill;
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  HDC dc() const { return dc_; }
  ARGB at(int x, int y) const { return bits_[y * w_ + x]; }

private:
  int w_;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  ARGB *bits_ = nullptr;
};

} // namespace ce::testing
