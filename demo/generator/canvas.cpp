#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ce::demo {
namespace {

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

std::uint32_t mix(std::uint32_t a, std::uint32_t b, double t) {
  auto channel = [&](int shift) {
    const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    return std::uint32_t(std::lround(ca + (cb - ca) * t)) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

// Signed distance from (px, py) to a rounded box centred at (cx, cy) with half sizes hw, hh.
double roundedBoxDistance(double px, double py, double cx, double cy, double hw, double hh,
                          double r) {
  const double qx = std::abs(px - cx) - (hw - r), qy = std::abs(py - cy) - (hh - r);
  const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

// Signed distance of (px, py) to the line through a, b; positive on the right-hand side.
double edgeDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay, length = std::sqrt(dx * dx + dy * dy);
  return length == 0 ? -1e9 : ((px - ax) * dy - (py - ay) * dx) / length;
}

} // namespace

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height; // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  dc_ = CreateCompatibleDC(nullptr);
  if (!bitmap_ || !dc_ || !bits)
    return;
  previous_ = SelectObject(dc_, bitmap_);
  if (!previous_)
    return;
  bits_ = static_cast<std::uint8_t *>(bits);
  std::fill_n(bits_, std::size_t(width) * std::size_t(height) * 4, std::uint8_t(0));
}

Canvas::~Canvas() {
  if (dc_ && previous_)
    SelectObject(dc_, previous_);
  if (dc_)
    DeleteDC(dc_);
  if (bitmap_)
    DeleteObject(bitmap_);
}

void Canvas::blend(int x, int y, std::uint32_t colour, double alpha) {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_ || alpha <= 0)
    return;
  alpha = clamp01(alpha);
  std::uint8_t *p = bits_ + (std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 4;
  const double keep = 1.0 - alpha;
  const double source[3] = {double(colour & 0xFF), double((colour >> 8) & 0xFF),
                            double((colour >> 16) & 0xFF)};
  for (int c = 0; c < 3; ++c)
    p[c] = std::uint8_t(std::lround(std::min(255.0, source[c] * alpha + p[c] * keep)));
  p[3] = std::uint8_t(std::lround(std::min(255.0, 255.0 * alpha + p[3] * keep)));
}

void Canvas::fillRoundedRect(double left, double top, double right, double bottom, double radius,
                             std::uint32_t topColour, std::uint32_t bottomColour, double opacity) {
  const double cx = (left + right) / 2, cy = (top + bottom) / 2;
  const double hw = (right - left) / 2, hh = (bottom - top) / 2;
  radius = std::clamp(radius, 0.0, std::min(hw, hh));
  const int x0 = std::max(0, int(std::floor(left))), x1 = std::min(width_, int(std::ceil(right)));
  const int y0 = std::max(0, int(std::floor(top))), y1 = std::min(height_, int(std::ceil(bottom)));
  for (int y = y0; y < y1; ++y) {
    const double t = bottom > top ? clamp01((y + 0.5 - top) / (bottom - top)) : 0;
    const std::uint32_t colour = mix(topColour, bottomColour, t);
    for (int x = x0; x < x1; ++x) {
      const double d = roundedBoxDistance(x + 0.5, y + 0.5, cx, cy, hw, hh, radius);
      blend(x, y, colour, clamp01(0.5 - d) * opacity);
    }
  }
}

void Canvas::fillTriangle(double x0, double y0, double x1, double y1, double x2, double y2,
                          std::uint32_t colour, double opacity) {
  // Orient the corners so that the inside lies on the right-hand side of every edge.
  if ((x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0) > 0) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const int left = std::max(0, int(std::floor(std::min({x0, x1, x2}))));
  const int right = std::min(width_, int(std::ceil(std::max({x0, x1, x2}))));
  const int top = std::max(0, int(std::floor(std::min({y0, y1, y2}))));
  const int bottom = std::min(height_, int(std::ceil(std::max({y0, y1, y2}))));
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      const double d =
          std::max({-edgeDistance(px, py, x0, y0, x1, y1), -edgeDistance(px, py, x1, y1, x2, y2),
                    -edgeDistance(px, py, x2, y2, x0, y0)});
      blend(x, y, colour, clamp01(0.5 - d) * opacity);
    }
}

void Canvas::drawCentredText(std::u16string_view text, const RECT &rect, int pixelHeight, bool bold,
                             std::uint32_t colour) {
  if (!bits_ || text.empty())
    return;
  LOGFONTW font{};
  font.lfHeight = -pixelHeight;
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfQuality = ANTIALIASED_QUALITY;
  const std::u16string face = u"DejaVu Sans";
  std::copy(face.begin(), face.end(), font.lfFaceName);
  HFONT handle = CreateFontIndirectW(&font);
  if (!handle)
    return;
  HGDIOBJ previousFont = SelectObject(dc_, handle);
  SetBkMode(dc_, TRANSPARENT);
  // COLORREF is 0x00BBGGRR.
  SetTextColor(dc_, ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF));
  RECT box = rect;
  DrawTextW(dc_, reinterpret_cast<LPCWSTR>(text.data()), int(text.size()), &box,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
  if (previousFont)
    SelectObject(dc_, previousFont);
  DeleteObject(handle);
}

} // namespace ce::demo
