// Reads the names and style of every face in font data, for matching by family name.
#pragma once

#include "fonts/font_file.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string_view>

namespace ce {

class FontNames {
public:
  // Faces of the font in memory; `fileStem` (the file name without extension) is added to each
  // face's full names. Nothing for data FreeType does not accept.
  static std::vector<FontFile> facesInMemory(FT_Library library,
                                             std::shared_ptr<const std::vector<std::uint8_t>> data,
                                             std::u16string_view fileStem);
  // Fills the names and style of `file` from an open face.
  static void describe(FT_Face face, FontFile& file);
};

} // namespace ce
