#include "fonts/font_names.h"

#include <ce/core/utf.h>

#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <algorithm>

namespace ce {

namespace {

void addUnique(std::vector<std::u16string>& list, std::u16string name) {
  while (!name.empty() && (name.back() == u' ' || name.back() == 0)) name.pop_back();
  if (name.empty()) return;
  for (const auto& existing : list)
    if (equalsIgnoreCase(existing, name)) return;
  list.push_back(std::move(name));
}

// Name table strings of the Windows platform are UTF-16 big-endian; Macintosh Roman ones are
// taken byte by byte (ASCII names are what matters for matching).
std::u16string decodeName(const FT_SfntName& name) {
  std::u16string out;
  if (name.platform_id == TT_PLATFORM_MICROSOFT || name.platform_id == TT_PLATFORM_APPLE_UNICODE) {
    for (FT_UInt i = 0; i + 1 < name.string_len; i += 2)
      out.push_back(static_cast<char16_t>((name.string[i] << 8) | name.string[i + 1]));
  } else {
    for (FT_UInt i = 0; i < name.string_len; ++i)
      out.push_back(name.string[i] < 0x80 ? char16_t(name.string[i]) : u'?');
  }
  return out;
}

} // namespace

void FontNames::describe(FT_Face face, FontFile& file) {
  const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0) continue;
    if (name.name_id == TT_NAME_ID_FONT_FAMILY || name.name_id == TT_NAME_ID_TYPOGRAPHIC_FAMILY)
      addUnique(file.families, decodeName(name));
    else if (name.name_id == TT_NAME_ID_FULL_NAME)
      addUnique(file.fullNames, decodeName(name));
  }
  if (face->family_name) addUnique(file.families, toUtf16(face->family_name));
  file.bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
  file.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
}

std::vector<FontFile> FontNames::facesInMemory(FT_Library library,
                                               std::shared_ptr<const std::vector<std::uint8_t>> data,
                                               std::u16string_view fileStem) {
  std::vector<FontFile> faces;
  if (!data || data->empty()) return faces;
  FT_Face probe = nullptr;
  if (FT_New_Memory_Face(library, data->data(), static_cast<FT_Long>(data->size()), -1, &probe) != 0)
    return faces;
  const FT_Long count = std::min<FT_Long>(probe->num_faces, 64);
  FT_Done_Face(probe);
  for (FT_Long index = 0; index < count; ++index) {
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library, data->data(), static_cast<FT_Long>(data->size()), index, &face) != 0)
      continue;
    if (!FT_IS_SCALABLE(face)) { // only outline fonts can be drawn at any height
      FT_Done_Face(face);
      continue;
    }
    FontFile file;
    file.data = data;
    file.faceIndex = index;
    describe(face, file);
    FT_Done_Face(face);
    addUnique(file.fullNames, std::u16string(fileStem));
    faces.push_back(std::move(file));
  }
  return faces;
}

} // namespace ce
