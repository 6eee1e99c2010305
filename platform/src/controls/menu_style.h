// The look shared by the platform's popup menus, soft-key bars and message boxes: colours, the
// size unit (proportional to the screen: one unit per 240 pixels of its short side, so that a
// 480-wide screen draws everything twice as large as a 240-wide one), the platform font at a
// size in units, and the few shapes they draw (check marks, arrows, discs).
#pragma once

#include <ce/gdi.h>
#include <ce/windows_api.h>

namespace ce {

class MenuStyle {
public:
  static constexpr COLORREF kFace = RGB(0xFF, 0xFF, 0xFF);
  static constexpr COLORREF kText = RGB(0x00, 0x00, 0x00);
  static constexpr COLORREF kGrayText = RGB(0xA0, 0xA0, 0xA0);
  static constexpr COLORREF kBorder = RGB(0x40, 0x40, 0x40);
  static constexpr COLORREF kSeparator = RGB(0xB0, 0xB0, 0xB0);
  static constexpr COLORREF kHighlight = RGB(0x1C, 0x5C, 0xB8);
  static constexpr COLORREF kHighlightText = RGB(0xFF, 0xFF, 0xFF);
  static constexpr COLORREF kBarFace = RGB(0x22, 0x26, 0x2E);
  static constexpr COLORREF kBarLine = RGB(0x5A, 0x62, 0x70);
  static constexpr COLORREF kBarText = RGB(0xFF, 0xFF, 0xFF);
  static constexpr COLORREF kBarPressed = RGB(0x4A, 0x78, 0xB8);
  static constexpr COLORREF kBarGrayText = RGB(0x7C, 0x8C, 0xA4);
  static constexpr COLORREF kCaption = RGB(0x1C, 0x5C, 0xB8);
  static constexpr COLORREF kCaptionText = RGB(0xFF, 0xFF, 0xFF);
  static constexpr COLORREF kButtonFace = RGB(0xE4, 0xE8, 0xEE);

  // Pixels per unit, in hundredths, for a screen of this size (100 at 240 pixels).
  static int scaleFor(int screenWidth, int screenHeight);
  // The same for the device's screen now.
  static int currentScale();
  // `units` at `scale`, at least one pixel for a positive size.
  static int pixels(int units, int scale);

  // The platform font with characters `pixelHeight` pixels high, bold or not. The caller deletes
  // it.
  static HFONT createFont(int pixelHeight, bool bold = false);

  static void fill(HDC dc, const RECT &rect, COLORREF colour);
  // A one-pixel-or-more frame inside `rect`.
  static void frame(HDC dc, const RECT &rect, int thickness, COLORREF colour);
  // A triangle pointing right (submenus), filling `box`.
  static void arrowRight(HDC dc, const RECT &box, COLORREF colour);
  // A triangle standing on its base, apex at the top centre, filling `box` (warnings).
  static void triangle(HDC dc, const RECT &box, COLORREF colour);
  // A check mark filling `box`.
  static void checkMark(HDC dc, const RECT &box, COLORREF colour);
  // A filled circle inscribed in `box`, and a filled diamond.
  static void disc(HDC dc, const RECT &box, COLORREF colour);
  static void diamond(HDC dc, const RECT &box, COLORREF colour);
};

} // namespace ce
