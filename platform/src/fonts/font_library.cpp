#include "fonts/font_library.h"

#include "fonts/font_matcher.h"

#include <ce/core/utf.h>

#include <algorithm>

namespace ce {

FontLibrary& FontLibrary::instance() {
  static FontLibrary* library = new FontLibrary; // lives until exit; threads may outlive statics
  return *library;
}

FontLibrary::FontLibrary() {
  if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
}

std::optional<FontFile> FontLibrary::genericFile(long weight, bool italic, unsigned pitchAndFamily) {
  const std::string key = std::to_string(weight) + (italic ? "i" : "r") + std::to_string(pitchAndFamily & 0xF3);
  auto it = generics_.find(key);
  if (it != generics_.end()) return it->second;
  auto file = FontMatcher::generic(library_, weight, italic, pitchAndFamily);
  generics_.emplace(key, file);
  return file;
}

std::optional<FontFile> FontLibrary::resolve(const LOGFONTW& font, long weight, bool bold,
                                             bool italic) {
  std::u16string name;
  for (int i = 0; i < LF_FACESIZE && font.lfFaceName[i]; ++i) name.push_back(font.lfFaceName[i]);
  while (!name.empty() && name.back() == u' ') name.pop_back();
  if (!name.empty()) {
    const auto deviceFaces = devices_.faces(library_, nullptr);
    if (auto file = FontMatcher::pickDevice(deviceFaces, name, bold, italic)) return file;
    const std::string key = toUtf8(foldCase(name)) + "|" + std::to_string(weight) + (italic ? "i" : "r");
    auto it = hostFamilies_.find(key);
    if (it == hostFamilies_.end()) {
      if (hostFamilies_.size() > 256) hostFamilies_.clear();
      it = hostFamilies_.emplace(key, FontMatcher::hostFamily(library_, name, weight, italic)).first;
    }
    if (it->second) return it->second;
  }
  return genericFile(weight, italic, font.lfPitchAndFamily);
}

std::shared_ptr<FontFace> FontLibrary::cachedFace(const FaceRequest& r) {
  const std::string key = r.file.identity() + "|" + std::to_string(r.emPixels) + "|" +
                          std::to_string(r.cellHeight) + "|" + std::to_string(r.averageWidth) + "|" +
                          std::to_string(r.weight) + "|" + (r.emboldenGlyphs ? "B" : "b") +
                          (r.slantGlyphs ? "S" : "s") + (r.monochrome ? "M" : "m") +
                          (r.italic ? "I" : "i") + (r.underline ? "U" : "u") +
                          (r.strikeOut ? "T" : "t") + std::to_string(r.charSet) + "|" +
                          std::to_string(r.dpi);
  for (auto it = faces_.begin(); it != faces_.end(); ++it) {
    if (it->first == key) {
      faces_.splice(faces_.begin(), faces_, it);
      return faces_.front().second;
    }
  }
  auto face = FontFace::create(library_, r);
  if (!face) return nullptr;
  faces_.emplace_front(key, face);
  if (faces_.size() > kMaxCachedFaces) faces_.pop_back();
  return face;
}

std::shared_ptr<FontFace> FontLibrary::realize(const LOGFONTW& font, int dpi) {
  if (!library_) return nullptr;
  const long weight = font.lfWeight <= 0 ? FW_NORMAL : std::min<long>(font.lfWeight, 1000);
  const bool bold = weight >= FW_SEMIBOLD;
  const bool italic = font.lfItalic != 0;
  if (dpi <= 0) dpi = 96;

  FaceRequest request;
  const long long height = font.lfHeight;
  if (height < 0) request.emPixels = static_cast<double>(std::min<long long>(-height, 1 << 20));
  else if (height > 0) request.cellHeight = static_cast<int>(std::min<long long>(height, 2 * FontFace::kMaxEmPixels));
  else request.emPixels = (9.0 * dpi) / 72.0;
  request.averageWidth = font.lfWidth > 0 ? static_cast<int>(std::min<long>(font.lfWidth, 1024)) : 0;
  request.monochrome = font.lfQuality == NONANTIALIASED_QUALITY;
  request.weight = weight;
  request.italic = italic;
  request.underline = font.lfUnderline != 0;
  request.strikeOut = font.lfStrikeOut != 0;
  request.charSet = font.lfCharSet;
  request.dpi = dpi;

  auto file = resolve(font, weight, bold, italic);
  std::shared_ptr<FontFace> face;
  if (file) {
    request.file = *file;
    request.emboldenGlyphs = bold && !file->bold;
    request.slantGlyphs = italic && !file->italic;
    face = cachedFace(request);
  }
  auto sans = genericFile(weight, italic, 0);
  if (!face && sans) { // the chosen file would not open: use the sans face instead
    request.file = *sans;
    request.emboldenGlyphs = bold && !sans->bold;
    request.slantGlyphs = italic && !sans->italic;
    face = cachedFace(request);
  }
  if (!face) return nullptr;
  if (sans && request.file.identity() != sans->identity()) {
    FaceRequest fallback = request;
    fallback.file = *sans;
    fallback.emboldenGlyphs = bold && !sans->bold;
    fallback.slantGlyphs = italic && !sans->italic;
    fallback.cellHeight = 0;
    fallback.averageWidth = 0;
    fallback.emPixels = face->request().emPixels;
    face->setFallback(cachedFace(fallback));
  }
  return face;
}

int FontLibrary::addResource(const std::u16string& devicePath) {
  if (!library_) return 0;
  return devices_.add(library_, devicePath);
}

bool FontLibrary::removeResource(const std::u16string& devicePath) {
  return devices_.remove(devicePath);
}

} // namespace ce
