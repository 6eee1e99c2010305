#include "fonts/font_matcher.h"

#include "fonts/font_names.h"

#include <ce/core/utf.h>
#include <ce/gdi.h>

#include <fontconfig/fontconfig.h>

#include <filesystem>

namespace ce {

namespace {

bool nameIn(const std::vector<std::u16string>& names, std::u16string_view name) {
  for (const auto& n : names)
    if (equalsIgnoreCase(n, name)) return true;
  return false;
}

int styleDistance(const FontFile& f, bool bold, bool italic) {
  return (f.bold != bold ? 2 : 0) + (f.italic != italic ? 1 : 0);
}

std::optional<FontFile> pickBest(const std::vector<FontFile>& faces, bool bold, bool italic,
                                 bool (*matches)(const FontFile&, std::u16string_view),
                                 std::u16string_view name) {
  const FontFile* best = nullptr;
  for (const auto& f : faces)
    if (matches(f, name) && (!best || styleDistance(f, bold, italic) < styleDistance(*best, bold, italic)))
      best = &f;
  if (!best) return std::nullopt;
  return *best;
}

// Describes a host font file's face for matching and synthesis decisions.
std::optional<FontFile> openHostFace(FT_Library library, const char* path, int index) {
  FT_Face face = nullptr;
  if (FT_New_Face(library, path, index, &face) != 0 || !face) return std::nullopt;
  FontFile file;
  file.hostPath = path;
  file.faceIndex = index;
  FontNames::describe(face, file);
  const bool scalable = FT_IS_SCALABLE(face);
  FT_Done_Face(face);
  if (!scalable) return std::nullopt;
  return file;
}

FcPattern* matchPattern(const char* family, long weight, bool italic) {
  if (!FcInit()) return nullptr;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return nullptr;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(static_cast<int>(weight)));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  return match;
}

std::optional<FontFile> fileOfMatch(FT_Library library, FcPattern* match) {
  FcChar8* path = nullptr;
  int index = 0;
  if (FcPatternGetString(match, FC_FILE, 0, &path) != FcResultMatch || !path) return std::nullopt;
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  return openHostFace(library, reinterpret_cast<const char*>(path), index);
}

} // namespace

std::optional<FontFile> FontMatcher::pickDevice(const std::vector<FontFile>& faces,
                                                std::u16string_view name, bool bold, bool italic) {
  if (name.empty()) return std::nullopt;
  if (auto f = pickBest(faces, bold, italic,
                        [](const FontFile& f, std::u16string_view n) { return nameIn(f.families, n); },
                        name))
    return f;
  return pickBest(faces, bold, italic,
                  [](const FontFile& f, std::u16string_view n) { return nameIn(f.fullNames, n); },
                  name);
}

std::optional<FontFile> FontMatcher::hostFamily(FT_Library library, std::u16string_view name,
                                                long weight, bool italic) {
  if (name.empty()) return std::nullopt;
  const std::string family = toUtf8(name);
  FcPattern* match = matchPattern(family.c_str(), weight, italic);
  if (!match) return std::nullopt;
  // fontconfig always answers with something; only a face of the asked family counts here.
  bool sameFamily = false;
  FcChar8* found = nullptr;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &found) == FcResultMatch; ++i)
    if (equalsIgnoreCase(toUtf16(reinterpret_cast<const char*>(found)), name)) sameFamily = true;
  std::optional<FontFile> file;
  if (sameFamily) file = fileOfMatch(library, match);
  FcPatternDestroy(match);
  return file;
}

std::optional<FontFile> FontMatcher::generic(FT_Library library, long weight, bool italic,
                                             unsigned pitchAndFamily) {
  const unsigned family = pitchAndFamily & 0xF0;
  const char* alias = "sans-serif";
  if (family == FF_ROMAN) alias = "serif";
  else if (family == FF_MODERN || (pitchAndFamily & 3) == FIXED_PITCH) alias = "monospace";
  if (FcPattern* match = matchPattern(alias, weight, italic)) {
    auto file = fileOfMatch(library, match);
    FcPatternDestroy(match);
    if (file) return file;
  }
  for (const char* path : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                           "/usr/share/fonts/TTF/DejaVuSans.ttf",
                           "/usr/share/fonts/dejavu/DejaVuSans.ttf"}) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
      if (auto file = openHostFace(library, path, 0)) return file;
  }
  return std::nullopt;
}

} // namespace ce
