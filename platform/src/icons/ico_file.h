// Reads icon files: the directory of entries, the choice of an entry, and entry decoding.
#pragma once

#include "icons/icon_image.h"

#include <cstdint>
#include <vector>

namespace ce {

class IcoFile {
public:
  struct Entry {
    UINT width = 0; // as the directory says (0 there means 256)
    UINT height = 0;
    UINT bitCount = 0;
    std::size_t offset = 0;
    std::size_t size = 0;
  };

  static bool hasSignature(const std::uint8_t *data, std::size_t size);
  // The entries whose bytes lie inside the file; false when the header is not an icon file's.
  static bool parse(const std::uint8_t *data, std::size_t size, std::vector<Entry> &entries);
  // The index of the entry closest to `side` pixels: smallest difference, then the larger
  // entry, then more bits per pixel.
  static std::size_t pick(const std::vector<Entry> &entries, UINT side);
  // Decodes one entry's bytes: a PNG image or a bitmap with an AND mask.
  static bool decodeEntry(const std::uint8_t *data, std::size_t size, IconImage &out);
};

} // namespace ce
