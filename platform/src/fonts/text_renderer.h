// Draws laid-out lines of text with a face onto a Blitter's target: antialiased glyphs in the
// text colour, prefix underlines, and the font's own underline and strike-out.
#pragma once

#include "fonts/font_face.h"
#include "fonts/text_layout.h"
#include "gdi/blitter.h"

namespace ce {

class TextRenderer {
public:
  TextRenderer(FontFace& face, Blitter& blitter, std::uint32_t color)
      : face_(face), blitter_(blitter), color_(color) {}

  // Draws `line` with its left end at x and its baseline at `baseline` (target coordinates).
  void draw(const TextLine& line, int x, int baseline);

private:
  FontFace& face_;
  Blitter& blitter_;
  std::uint32_t color_;
};

} // namespace ce
