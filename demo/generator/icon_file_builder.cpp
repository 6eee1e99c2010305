#include "icon_file_builder.h"

namespace ce::demo {
namespace {

void put16(std::vector<std::uint8_t> &out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// The fields an icon directory entry and a group entry share: size (0 stands for 256), colour
// count, reserved, planes, bits per pixel, byte count.
void putCommon(std::vector<std::uint8_t> &out, const IconPicture &picture) {
  out.push_back(std::uint8_t(picture.side >= 256 ? 0 : picture.side));
  out.push_back(std::uint8_t(picture.side >= 256 ? 0 : picture.side));
  out.push_back(0);
  out.push_back(0);
  put16(out, 1);
  put16(out, 32);
  put32(out, std::uint32_t(picture.png.size()));
}

void putHeader(std::vector<std::uint8_t> &out, std::size_t count) {
  put16(out, 0);
  put16(out, 1); // icons, not cursors
  put16(out, std::uint32_t(count));
}

} // namespace

std::vector<std::uint8_t> IconFileBuilder::iconFile(const std::vector<IconPicture> &pictures) {
  std::vector<std::uint8_t> out;
  putHeader(out, pictures.size());
  std::uint32_t offset = std::uint32_t(6 + 16 * pictures.size());
  for (const IconPicture &picture : pictures) {
    putCommon(out, picture);
    put32(out, offset);
    offset += std::uint32_t(picture.png.size());
  }
  for (const IconPicture &picture : pictures)
    out.insert(out.end(), picture.png.begin(), picture.png.end());
  return out;
}

std::vector<std::uint8_t> IconFileBuilder::iconGroup(const std::vector<IconPicture> &pictures,
                                                     std::uint16_t firstId) {
  std::vector<std::uint8_t> out;
  putHeader(out, pictures.size());
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    putCommon(out, pictures[i]);
    put16(out, std::uint32_t(firstId + i));
  }
  return out;
}

} // namespace ce::demo
