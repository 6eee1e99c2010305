// The desktop's picture: \Windows\stwater_<W>_<H>.jpg for the screen's current size, decoded once
// into a bitmap of the display's format and copied from there on every paint. Without the file
// (or when it cannot be decoded) the desktop is a plain colour.
#pragma once

#include <ce/gdi.h>

#include <string>

namespace ce::shell {

class Wallpaper {
public:
  static constexpr COLORREF kPlainColour = RGB(0x1E, 0x4D, 0x6B);

  Wallpaper() = default;
  ~Wallpaper();
  Wallpaper(const Wallpaper &) = delete;
  Wallpaper &operator=(const Wallpaper &) = delete;

  static std::u16string pathFor(int width, int height);

  // Loads the picture for a screen of this size (dropping the one held); false when there is
  // none, and the desktop shows the plain colour.
  bool load(int width, int height);
  bool loaded() const { return bitmap_ != nullptr; }
  // Fills `area` (client coordinates of a window at the screen's origin) of the DC.
  void draw(HDC dc, const RECT &area) const;

private:
  void release();

  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

} // namespace ce::shell
