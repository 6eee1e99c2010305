#include "icons/ico_file.h"

#include "imaging/dib_reader.h"
#include "imaging/pixel_converter.h"
#include "imaging/png_codec.h"

#include <algorithm>
#include <cstdlib>

namespace ce {
namespace {

std::uint32_t u16(const std::uint8_t *p) { return p[0] | (std::uint32_t(p[1]) << 8); }
std::uint32_t u32(const std::uint8_t *p) { return u16(p) | (u16(p + 2) << 16); }

} // namespace

bool IcoFile::hasSignature(const std::uint8_t *data, std::size_t size) {
  return size >= 6 && u16(data) == 0 && u16(data + 2) == 1 && u16(data + 4) > 0;
}

bool IcoFile::parse(const std::uint8_t *data, std::size_t size, std::vector<Entry> &entries) {
  entries.clear();
  if (!hasSignature(data, size))
    return false;
  const std::size_t count = u16(data + 4);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = 6 + 16 * i;
    if (at + 16 > size)
      break;
    const std::uint8_t *e = data + at;
    Entry entry;
    entry.width = e[0] ? e[0] : 256;
    entry.height = e[1] ? e[1] : 256;
    entry.bitCount = u16(e + 6);
    entry.size = u32(e + 8);
    entry.offset = u32(e + 12);
    if (entry.size == 0 || entry.offset > size || entry.size > size - entry.offset)
      continue;
    entries.push_back(entry);
  }
  return !entries.empty();
}

std::size_t IcoFile::pick(const std::vector<Entry> &entries, UINT side) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const Entry &a = entries[i];
    const Entry &b = entries[best];
    const long da = std::labs(long(std::max(a.width, a.height)) - long(side));
    const long db = std::labs(long(std::max(b.width, b.height)) - long(side));
    if (da != db) {
      if (da < db)
        best = i;
      continue;
    }
    if (a.width != b.width) {
      if (a.width > b.width)
        best = i;
      continue;
    }
    if (a.bitCount > b.bitCount)
      best = i;
  }
  return best;
}

bool IcoFile::decodeEntry(const std::uint8_t *data, std::size_t size, IconImage &out) {
  // Look at the claimed size first, so an oversized entry is never decoded.
  std::uint64_t claimedW = 0, claimedH = 0;
  if (PngCodec::hasSignature(data, size) && size >= 24) {
    auto be32 = [](const std::uint8_t *p) {
      return (std::uint64_t(p[0]) << 24) | (std::uint64_t(p[1]) << 16) |
             (std::uint64_t(p[2]) << 8) | p[3];
    };
    claimedW = be32(data + 16);
    claimedH = be32(data + 20);
  } else if (size >= 12) {
    claimedW = std::uint64_t(std::abs(std::int64_t(std::int32_t(u32(data + 4)))));
    claimedH = std::uint64_t(std::abs(std::int64_t(std::int32_t(u32(data + 8))))) / 2;
  }
  if (claimedW > IconImage::kMaxSide || claimedH > IconImage::kMaxSide)
    return false;
  Raster colour;
  if (PngCodec::hasSignature(data, size)) {
    DecodedImage decoded;
    if (FAILED(PngCodec::decode(data, size, decoded)))
      return false;
    if (!colour.allocate(PixelFormat32bppARGB, decoded.raster.width, decoded.raster.height))
      return false;
    PixelConverter reader(decoded.raster.format, &decoded.raster.palette);
    for (UINT y = 0; y < colour.height; ++y)
      reader.toArgb(decoded.raster.row(y), 0, colour.width,
                    reinterpret_cast<ARGB *>(colour.row(y)));
    out.mask.clear();
    out.hasAlpha = true;
  } else {
    bool alpha = false;
    if (FAILED(DibReader::decodeIconEntry(data, size, colour, out.mask, alpha)))
      return false;
    out.hasAlpha = alpha;
  }
  if (colour.width > IconImage::kMaxSide || colour.height > IconImage::kMaxSide)
    return false;
  out.width = colour.width;
  out.height = colour.height;
  out.pixels.resize(std::size_t(out.width) * out.height);
  for (UINT y = 0; y < out.height; ++y) {
    const auto *row = reinterpret_cast<const ARGB *>(colour.row(y));
    std::copy(row, row + out.width, out.pixels.begin() + std::ptrdiff_t(y) * out.width);
  }
  if (out.mask.empty()) { // PNG entries: the mask marks what alpha hides completely
    out.mask.resize(out.pixels.size());
    for (std::size_t i = 0; i < out.pixels.size(); ++i)
      out.mask[i] = (out.pixels[i] >> 24) == 0;
  }
  return true;
}

} // namespace ce
