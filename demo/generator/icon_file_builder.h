// Icon file bytes: an .ico file whose entries are PNG pictures, and the records an icon group
// resource holds in a PE file (the same directory, with resource ids instead of file offsets).
#pragma once

#include <cstdint>
#include <vector>

namespace ce::demo {

// One picture of an icon: its side in pixels (1..256) and its PNG bytes.
struct IconPicture {
  int side = 0;
  std::vector<std::uint8_t> png;
};

class IconFileBuilder {
public:
  // An .ico file holding the pictures in the order given.
  static std::vector<std::uint8_t> iconFile(const std::vector<IconPicture> &pictures);
  // An RT_GROUP_ICON resource listing the pictures as the RT_ICON resources firstId,
  // firstId + 1, ...
  static std::vector<std::uint8_t> iconGroup(const std::vector<IconPicture> &pictures,
                                             std::uint16_t firstId);
};

} // namespace ce::demo
