// Helpers for the text tests: fonts selected into DCs and the ink of drawn text.
#pragma once

#include "gdi_test_support.h"

#include <climits>
#include <string>

namespace gdi_test {

struct SelectedFont {
  HDC dc;
  HFONT font;
  HGDIOBJ previous;
  SelectedFont(HDC target, int height, const char16_t* face = u"", int weight = FW_NORMAL,
               BYTE quality = ANTIALIASED_QUALITY, bool italic = false)
      : dc(target) {
    font = CreateFontW(height, 0, 0, 0, weight, italic, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, quality, 0, face);
    previous = SelectObject(dc, font);
  }
  ~SelectedFont() {
    SelectObject(dc, previous);
    DeleteObject(font);
  }
  std::u16string face() const {
    WCHAR name[64] = {};
    GetTextFaceW(dc, 64, name);
    return name;
  }
};

// The bounding box of pixels that differ from `background`; empty (left > right) when none.
inline RECT ink(const Surface& s, std::uint32_t background) {
  RECT r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if (s.raw(x, y) != background) {
        r.left = std::min<LONG>(r.left, x);
        r.top = std::min<LONG>(r.top, y);
        r.right = std::max<LONG>(r.right, x + 1);
        r.bottom = std::max<LONG>(r.bottom, y + 1);
      }
  return r;
}

inline bool hasInk(const RECT& r) { return r.left < r.right; }

inline int textWidth(HDC dc, const std::u16string& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

} // namespace gdi_test
