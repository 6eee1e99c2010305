// Chooses the face for a face name, weight and slant: among device fonts, then among the host's
// fonts through fontconfig, then a sans face.
#pragma once

#include "fonts/font_file.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <optional>
#include <string_view>
#include <vector>

namespace ce {

class FontMatcher {
public:
  // The device face whose family name (else full name or file name) equals `name` ignoring
  // case, closest in weight and slant.
  static std::optional<FontFile> pickDevice(const std::vector<FontFile>& faces,
                                            std::u16string_view name, bool bold, bool italic);
  // A host font of that family, through fontconfig.
  static std::optional<FontFile> hostFamily(FT_Library library, std::u16string_view name,
                                            long weight, bool italic);
  // The host's sans face (serif or monospace when the pitch and family ask for them), falling
  // back to DejaVu Sans from its usual place.
  static std::optional<FontFile> generic(FT_Library library, long weight, bool italic,
                                         unsigned pitchAndFamily);
};

} // namespace ce
