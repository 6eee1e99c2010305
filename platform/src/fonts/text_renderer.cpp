#include "fonts/text_renderer.h"

#include "gdi/region.h"

namespace ce {

void TextRenderer::draw(const TextLine& line, int x, int baseline) {
  for (const auto& c : line.chars) {
    const int penX = x + c.x;
    if (c.visible) {
      const Glyph& g = face_.glyph(c.codePoint);
      if (!g.coverage.empty())
        blitter_.coverage(penX + g.left, baseline - g.top, g.width, g.height, g.coverage.data(),
                          g.width, color_);
    }
    if (c.underline && c.advance > 0) {
      const int top = baseline + face_.underlineOffset();
      blitter_.fill(RECT{penX, top, penX + c.advance, top + face_.underlineThickness()}, color_);
    }
  }
  if (line.width <= 0) return;
  const auto& request = face_.request();
  if (request.underline) {
    const int top = baseline + face_.underlineOffset();
    blitter_.fill(RECT{x, top, x + line.width, top + face_.underlineThickness()}, color_);
  }
  if (request.strikeOut) {
    const int top = baseline - face_.strikeOutOffset();
    blitter_.fill(RECT{x, top, x + line.width, top + face_.strikeOutThickness()}, color_);
  }
}

} // namespace ce
