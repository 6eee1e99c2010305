#include "fonts/font_face.h"

#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

namespace ce {

namespace {

constexpr std::size_t kMaxCachedGlyphs = 4096;
// Glyph pictures larger than this (in pixels) come only from broken or hostile fonts.
constexpr long kMaxGlyphPixels = 4L << 20;

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

int roundToInt(double v) { return static_cast<int>(std::lround(v)); }

} // namespace

std::shared_ptr<FontFace> FontFace::create(FT_Library library, const FaceRequest& request) {
  std::shared_ptr<FontFace> face(new FontFace);
  face->request_ = request;
  if (!face->setUp(library)) return nullptr;
  return face;
}

FontFace::~FontFace() {
  if (face_) FT_Done_Face(face_);
}

bool FontFace::setUp(FT_Library library) {
  const FontFile& file = request_.file;
  FT_Error error;
  if (file.data)
    error = FT_New_Memory_Face(library, file.data->data(), static_cast<FT_Long>(file.data->size()),
                               file.faceIndex, &face_);
  else
    error = FT_New_Face(library, file.hostPath.c_str(), file.faceIndex, &face_);
  if (error || !face_) {
    face_ = nullptr;
    return false;
  }
  if (!FT_IS_SCALABLE(face_) || face_->units_per_EM == 0) return false;
  FT_Select_Charmap(face_, FT_ENCODING_UNICODE);

  const double upem = face_->units_per_EM;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
  double winAscent = face_->ascender, winDescent = -face_->descender;
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    winAscent = os2->usWinAscent;
    winDescent = os2->usWinDescent;
  }
  if (winAscent + winDescent <= 0) {
    winAscent = upem * 0.8;
    winDescent = upem * 0.2;
  }

  double em = request_.emPixels;
  if (request_.cellHeight > 0) em = request_.cellHeight * upem / (winAscent + winDescent);
  em = std::clamp(em, 1.0, kMaxEmPixels);
  request_.emPixels = em;
  const auto emScale = em / upem;

  auto setSize = [&](double widthEm) {
    return FT_Set_Char_Size(face_, static_cast<FT_F26Dot6>(std::lround(widthEm * 64)),
                            static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72) == 0;
  };
  if (!setSize(em)) return false;

  int ascent = roundToInt(winAscent * emScale);
  int descent = roundToInt(winDescent * emScale);
  if (request_.cellHeight > 0) descent = std::max(0, request_.cellHeight - ascent);
  ascent = std::max(ascent, 1);

  int average = os2 && os2->xAvgCharWidth > 0 ? roundToInt(os2->xAvgCharWidth * emScale) : 0;
  if (average <= 0) average = std::max(1, advance(U'x'));
  if (request_.averageWidth > 0) {
    // Stretch horizontally so the average character width is the one asked for.
    const double widthEm = std::clamp(em * request_.averageWidth / average, 1.0, kMaxEmPixels);
    glyphs_.clear();
    if (!setSize(widthEm)) return false;
    average = request_.averageWidth;
  }

  auto& m = metrics_;
  m.tmAscent = ascent;
  m.tmDescent = descent;
  m.tmHeight = ascent + descent;
  m.tmInternalLeading = std::max(0, m.tmHeight - roundToInt(em));
  if (hhea) {
    const double lineGap = (hhea->Ascender - hhea->Descender + hhea->Line_Gap) -
                           (winAscent + winDescent);
    m.tmExternalLeading = std::max(0, roundToInt(lineGap * emScale));
  }
  m.tmAveCharWidth = average;
  m.tmMaxCharWidth = std::max(average, roundToInt(face_->max_advance_width * emScale));
  m.tmWeight = request_.weight == FW_DONTCARE ? FW_NORMAL : request_.weight;
  m.tmOverhang = 0;
  m.tmDigitizedAspectX = request_.dpi;
  m.tmDigitizedAspectY = request_.dpi;
  m.tmFirstChar = 0x20;
  m.tmLastChar = 0xFFFC;
  m.tmDefaultChar = 0x25A1;
  m.tmBreakChar = 0x20;
  m.tmItalic = request_.italic ? 1 : 0;
  m.tmUnderlined = request_.underline ? 1 : 0;
  m.tmStruckOut = request_.strikeOut ? 1 : 0;
  // The "fixed pitch" bit is set for variable-pitch fonts, as the platform does.
  m.tmPitchAndFamily = static_cast<BYTE>(TMPF_TRUETYPE | TMPF_VECTOR |
                                         (FT_IS_FIXED_WIDTH(face_) ? 0 : TMPF_FIXED_PITCH) | FF_SWISS);
  m.tmCharSet = request_.charSet == DEFAULT_CHARSET ? ANSI_CHARSET : request_.charSet;

  underlineThickness_ = std::max(1, roundToInt(face_->underline_thickness * emScale));
  underlineOffset_ = std::clamp(roundToInt(-face_->underline_position * emScale), 1,
                                std::max(1, descent - underlineThickness_ + 1));
  if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
    strikeOutThickness_ = std::max(1, roundToInt(os2->yStrikeoutSize * emScale));
    strikeOutOffset_ = std::max(1, roundToInt(os2->yStrikeoutPosition * emScale));
  } else {
    strikeOutThickness_ = underlineThickness_;
    strikeOutOffset_ = std::max(1, ascent / 3);
  }
  return true;
}

bool FontFace::hasGlyph(char32_t codePoint) const {
  return FT_Get_Char_Index(face_, codePoint) != 0;
}

const Glyph& FontFace::glyph(char32_t codePoint) {
  auto it = glyphs_.find(codePoint);
  if (it != glyphs_.end()) return it->second;
  if (glyphs_.size() >= kMaxCachedGlyphs) glyphs_.clear();
  Glyph g;
  if (!isControl(codePoint)) {
    if (!hasGlyph(codePoint) && fallback_ && fallback_->hasGlyph(codePoint))
      g = fallback_->glyph(codePoint);
    else
      g = render(codePoint);
  }
  return glyphs_.emplace(codePoint, std::move(g)).first->second;
}

Glyph FontFace::render(char32_t codePoint) {
  Glyph g;
  const FT_UInt index = FT_Get_Char_Index(face_, codePoint); // 0 draws the face's missing-glyph box
  const FT_Int32 flags = FT_LOAD_NO_BITMAP |
                         (request_.monochrome ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT);
  if (FT_Load_Glyph(face_, index, flags) != 0) return g;
  FT_GlyphSlot slot = face_->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return g;
  if (request_.emboldenGlyphs) FT_GlyphSlot_Embolden(slot);
  if (request_.slantGlyphs) FT_GlyphSlot_Oblique(slot);
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  if (g.advance < 0 || g.advance > 4 * kMaxEmPixels) g.advance = 0;

  FT_BBox box;
  FT_Outline_Get_CBox(&slot->outline, &box);
  const long w = (box.xMax - box.xMin) / 64 + 2, h = (box.yMax - box.yMin) / 64 + 2;
  if (w <= 0 || h <= 0 || w * h > kMaxGlyphPixels) return g;
  if (FT_Render_Glyph(slot, request_.monochrome ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
    return g;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.width == 0 || bitmap.rows == 0) return g;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return g;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(bitmap.width);
  g.height = static_cast<int>(bitmap.rows);
  g.coverage.resize(static_cast<std::size_t>(g.width) * g.height);
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
    std::uint8_t* out = g.coverage.data() + static_cast<std::size_t>(y) * g.width;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      const int levels = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
      for (int x = 0; x < g.width; ++x)
        out[x] = levels == 255 ? row[x] : static_cast<std::uint8_t>(row[x] * 255 / levels);
    } else {
      for (int x = 0; x < g.width; ++x) out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
    }
  }
  return g;
}

} // namespace ce
