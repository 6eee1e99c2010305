// A 32-bit drawing surface for the generated pictures: a top-down DIB section selected into a
// memory DC, so that GDI draws text on it while the shapes GDI lacks (rounded and slanted
// edges) are drawn here with antialiased edges. Pixels are premultiplied B, G, R, A, as GDI
// keeps 32-bit surfaces, and start fully transparent.
#pragma once

#include <ce/gdi.h>

#include <cstdint>
#include <string_view>

namespace ce::demo {

class Canvas {
public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas &) = delete;
  Canvas &operator=(const Canvas &) = delete;

  bool valid() const { return bits_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  std::uint8_t *bits() const { return bits_; }

  // Rounded rectangle in pixel units (edges may fall between pixels), filled with a vertical
  // gradient from `top` to `bottom` (0xRRGGBB) at `opacity` (0..1).
  void fillRoundedRect(double left, double top, double right, double bottom, double radius,
                       std::uint32_t topColour, std::uint32_t bottomColour, double opacity = 1.0);
  // Triangle with antialiased edges, one colour.
  void fillTriangle(double x0, double y0, double x1, double y1, double x2, double y2,
                    std::uint32_t colour, double opacity = 1.0);
  // One line of text centred in the rectangle, drawn by GDI in the sans face.
  void drawCentredText(std::u16string_view text, const RECT &rect, int pixelHeight, bool bold,
                       std::uint32_t colour);

  // Puts `colour` over the pixel with coverage `alpha` (0..1), premultiplied "source over".
  void blend(int x, int y, std::uint32_t colour, double alpha);

private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::uint8_t *bits_ = nullptr;
};

} // namespace ce::demo
