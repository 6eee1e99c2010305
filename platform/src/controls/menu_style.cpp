#include "menu_style.h"

#include <algorithm>
#include <cmath>

namespace ce {

int MenuStyle::scaleFor(int screenWidth, int screenHeight) {
  const int shortSide = std::min(screenWidth, screenHeight);
  if (shortSide <= 0)
    return 100;
  return std::max(50, shortSide * 100 / 240);
}

int MenuStyle::currentScale() {
  return scaleFor(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

int MenuStyle::pixels(int units, int scale) {
  if (units <= 0)
    return 0;
  return std::max(1, (units * scale + 50) / 100);
}

HFONT MenuStyle::createFont(int pixelHeight, bool bold) {
  LOGFONTW font{};
  font.lfHeight = -std::max(1, pixelHeight);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  return CreateFontIndirectW(&font);
}

void MenuStyle::fill(HDC dc, const RECT &rect, COLORREF colour) {
  if (rect.right <= rect.left || rect.bottom <= rect.top)
    return;
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void MenuStyle::frame(HDC dc, const RECT &r, int t, COLORREF colour) {
  fill(dc, RECT{r.left, r.top, r.right, r.top + t}, colour);
  fill(dc, RECT{r.left, r.bottom - t, r.right, r.bottom}, colour);
  fill(dc, RECT{r.left, r.top + t, r.left + t, r.bottom - t}, colour);
  fill(dc, RECT{r.right - t, r.top + t, r.right, r.bottom - t}, colour);
}

void MenuStyle::arrowRight(HDC dc, const RECT &box, COLORREF colour) {
  // Columns from the left edge shrink towards the tip.
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  const int half = std::min(height / 2, width);
  const int middle = box.top + height / 2;
  for (int i = 0; i < half; ++i)
    fill(dc, RECT{box.left + i, middle - (half - i), box.left + i + 1, middle + (half - i)},
         colour);
}

void MenuStyle::triangle(HDC dc, const RECT &box, COLORREF colour) {
  // Rows widen from the apex at the top centre to the full width at the bottom.
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  if (width <= 0 || height <= 0)
    return;
  const int centre2 = box.left * 2 + width; // twice the centre, to keep odd widths exact
  for (int y = 0; y < height; ++y) {
    const int span = std::max(1, (y + 1) * width / height);
    const int left = (centre2 - span) / 2;
    fill(dc, RECT{left, box.top + y, left + span, box.top + y + 1}, colour);
  }
}

void MenuStyle::checkMark(HDC dc, const RECT &box, COLORREF colour) {
  // A short stroke down to the right, then a long one up to the right, each `t` thick.
  const int size = std::min(box.right - box.left, box.bottom - box.top);
  if (size < 4)
    return;
  const int t = std::max(2, size / 6);
  const int x0 = box.left + (box.right - box.left - size) / 2;
  const int y0 = box.top + (box.bottom - box.top - size) / 2;
  const int turnX = x0 + size / 3;
  const int start = y0 + size / 2;
  const int bottom = y0 + size - t;
  for (int x = x0; x < x0 + size; ++x) {
    const int y = x <= turnX ? start + (x - x0) * (bottom - start) / std::max(1, turnX - x0)
                             : bottom - (x - turnX) * (bottom - y0) / std::max(1, x0 + size - turnX);
    fill(dc, RECT{x, y, x + 1, y + t}, colour);
  }
}

void MenuStyle::disc(HDC dc, const RECT &box, COLORREF colour) {
  const double r = std::min(box.right - box.left, box.bottom - box.top) / 2.0;
  const double cx = (box.left + box.right) / 2.0;
  const double cy = (box.top + box.bottom) / 2.0;
  for (int y = box.top; y < box.bottom; ++y) {
    const double dy = y + 0.5 - cy;
    if (std::fabs(dy) > r)
      continue;
    const double dx = std::sqrt(r * r - dy * dy);
    fill(dc, RECT{static_cast<int>(std::lround(cx - dx)), y, static_cast<int>(std::lround(cx + dx)), y + 1},
         colour);
  }
}

void MenuStyle::diamond(HDC dc, const RECT &box, COLORREF colour) {
  const int half = std::min(box.right - box.left, box.bottom - box.top) / 2;
  const int cx = (box.left + box.right) / 2;
  const int cy = (box.top + box.bottom) / 2;
  for (int dy = -half; dy < half; ++dy) {
    const int w = half - std::abs(dy + (dy < 0 ? 1 : 0));
    fill(dc, RECT{cx - w, cy + dy, cx + w, cy + dy + 1}, colour);
  }
}

} // namespace ce
