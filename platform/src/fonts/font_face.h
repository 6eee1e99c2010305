// A font face realised at one size: its metrics and a cache of rendered glyphs.
//
// Not thread-safe: callers hold the GDI lock (every GDI call does), which also serialises all
// use of FreeType.
#pragma once

#include "fonts/font_file.h"

#include <ce/gdi.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <unordered_map>
#include <vector>

namespace ce {

struct Glyph {
  int left = 0;    // from the pen position to the coverage's left column
  int top = 0;     // from the baseline up to the coverage's top row
  int width = 0;
  int height = 0;
  int advance = 0; // whole pixels
  std::vector<std::uint8_t> coverage; // width * height, 0-255
};

struct FaceRequest {
  FontFile file;
  double emPixels = 12;   // character height
  int cellHeight = 0;     // > 0: ascent + descent must equal it (LOGFONTW lfHeight > 0)
  int averageWidth = 0;   // > 0: stretch horizontally to this average character width
  bool emboldenGlyphs = false;
  bool slantGlyphs = false;
  bool monochrome = false;
  LONG weight = FW_NORMAL;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  BYTE charSet = DEFAULT_CHARSET;
  int dpi = 96;
};

class FontFace {
public:
  // Characters are at most this many pixels high.
  static constexpr double kMaxEmPixels = 1024;

  // Null when FreeType cannot open or size the face.
  static std::shared_ptr<FontFace> create(FT_Library library, const FaceRequest& request);
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  const TEXTMETRICW& metrics() const { return metrics_; }
  std::u16string family() const { return request_.file.primaryFamily(); }
  const FaceRequest& request() const { return request_; }

  // Characters this face lacks come from `fallback` (the sans face at the same size).
  void setFallback(std::shared_ptr<FontFace> fallback) { fallback_ = std::move(fallback); }

  // The glyph of a code point; control characters are empty and have no advance.
  const Glyph& glyph(char32_t codePoint);
  int advance(char32_t codePoint) { return glyph(codePoint).advance; }

  // Underline and strike-out lines: offset below (underline) or above (strike-out) the baseline,
  // and thickness, in pixels.
  int underlineOffset() const { return underlineOffset_; }
  int underlineThickness() const { return underlineThickness_; }
  int strikeOutOffset() const { return strikeOutOffset_; }
  int strikeOutThickness() const { return strikeOutThickness_; }

private:
  FontFace() = default;
  bool setUp(FT_Library library);
  bool hasGlyph(char32_t codePoint) const;
  Glyph render(char32_t codePoint);

  FaceRequest request_;
  FT_Face face_ = nullptr;
  TEXTMETRICW metrics_{};
  int underlineOffset_ = 1, underlineThickness_ = 1, strikeOutOffset_ = 3, strikeOutThickness_ = 1;
  std::shared_ptr<FontFace> fallback_;
  std::unordered_map<char32_t, Glyph> glyphs_;
};

} // namespace ce
