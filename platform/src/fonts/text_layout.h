// Lays text out in lines the way DrawTextW and ExtTextOutW place it: prefix characters, line
// breaks, word wrapping, tab stops and end ellipses, with whole-pixel advances.
#pragma once

#include <ce/types.h>

#include <functional>
#include <string_view>
#include <vector>

namespace ce {

struct PlacedChar {
  char32_t codePoint = 0;
  int x = 0;       // from the line's left end
  int advance = 0;
  int units = 1;   // UTF-16 code units it came from (2 for a surrogate pair, 0 for an added dot)
  bool underline = false; // marked by a prefix '&'
  bool visible = true;    // false with DT_PREFIXONLY: only the underline is drawn
};

struct TextLine {
  std::vector<PlacedChar> chars;
  int width = 0;
};

class TextLayout {
public:
  using Advance = std::function<int(char32_t)>;

  struct Box {
    UINT format = 0;     // DT_* flags
    int width = 0;       // of the rectangle
    int height = 0;
    int lineHeight = 1;
    int tabWidth = 8;    // pixels between tab stops
  };

  // DrawTextW's layout of `text` in a box.
  static std::vector<TextLine> lines(std::u16string_view text, const Box& box, const Advance& advance);
  // One line as ExtTextOutW and GetTextExtent* place it: no prefixes, no breaks; `advances`
  // (optional) overrides the advance of each character (indexed by code unit).
  static TextLine run(std::u16string_view text, const Advance& advance, const int* advances = nullptr);

  // Positions never pass this, however long the text.
  static constexpr int kMaxPosition = 1 << 27;
};

} // namespace ce
