#include "imaging/dib_reader.h"

#include "imaging/pixel_converter.h"

#include <cstring>

namespace ce {
namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

std::uint32_t u16(const std::uint8_t *p) { return p[0] | (std::uint32_t(p[1]) << 8); }
std::uint32_t u32(const std::uint8_t *p) {
  return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

struct Header {
  std::uint32_t width = 0;
  std::uint32_t height = 0; // rows of colour pixels
  bool topDown = false;
  std::uint32_t bitCount = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
  std::vector<ARGB> palette;
  std::size_t end = 0; // offset after the header, masks and palette
  double dpiX = 96, dpiY = 96;
};

// Parses the info header at `offset`; `rowsDivisor` is 2 for icon entries (colour + mask).
bool parseHeader(const std::uint8_t *data, std::size_t size, std::size_t offset,
                 std::uint32_t rowsDivisor, Header &h) {
  if (offset > size || size - offset < 12)
    return false;
  const std::uint8_t *p = data + offset;
  const std::uint32_t headerSize = u32(p);
  std::size_t entryBytes = 4;
  std::int64_t height = 0;
  if (headerSize == 12) {
    h.width = u16(p + 4);
    height = u16(p + 6);
    h.bitCount = u16(p + 10);
    entryBytes = 3;
  } else {
    if (headerSize < 40 || headerSize > size - offset)
      return false;
    const std::int32_t w = std::int32_t(u32(p + 4));
    const std::int32_t hh = std::int32_t(u32(p + 8));
    if (w <= 0 || hh == 0 || hh == INT32_MIN)
      return false;
    h.width = std::uint32_t(w);
    height = hh;
    h.bitCount = u16(p + 14);
    h.compression = u32(p + 16);
    const std::int32_t ppmX = std::int32_t(u32(p + 24)), ppmY = std::int32_t(u32(p + 28));
    if (ppmX > 0 && ppmY > 0) {
      h.dpiX = ppmX * 0.0254;
      h.dpiY = ppmY * 0.0254;
    }
  }
  if (height < 0) {
    if (rowsDivisor != 1)
      return false; // icon entries are always bottom-up
    h.topDown = true;
    height = -height;
  }
  h.height = std::uint32_t(height) / rowsDivisor;
  if (h.width == 0 || h.height == 0)
    return false;
  std::size_t cursor = offset + headerSize;

  if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
    if (h.bitCount != 16 && h.bitCount != 32)
      return false;
    const std::size_t count = h.compression == kAlphaBitFields ? 4 : 3;
    if (headerSize >= 40 + 4 * count) {
      for (std::size_t i = 0; i < count; ++i)
        h.masks[i] = u32(p + 40 + 4 * i);
      if (headerSize >= 56)
        h.masks[3] = u32(p + 52);
    } else {
      if (size - cursor < 4 * count)
        return false;
      for (std::size_t i = 0; i < count; ++i)
        h.masks[i] = u32(data + cursor + 4 * i);
      cursor += 4 * count;
    }
  } else if (h.compression == kRle8) {
    if (h.bitCount != 8 || h.topDown)
      return false;
  } else if (h.compression == kRle4) {
    if (h.bitCount != 4 || h.topDown)
      return false;
  } else if (h.compression != kRgb) {
    return false;
  }
  switch (h.bitCount) {
  case 1:
  case 4:
  case 8:
  case 16:
  case 24:
  case 32:
    break;
  default:
    return false;
  }

  if (h.bitCount <= 8) {
    std::size_t colours = std::size_t(1) << h.bitCount;
    if (headerSize >= 40) {
      const std::uint32_t used = u32(p + 32);
      if (used > 0 && used < colours)
        colours = used;
    }
    if (cursor > size || (size - cursor) / entryBytes < colours)
      return false;
    for (std::size_t i = 0; i < colours; ++i) {
      const std::uint8_t *e = data + cursor + i * entryBytes;
      h.palette.push_back(0xFF000000u | (ARGB(e[2]) << 16) | (ARGB(e[1]) << 8) | e[0]);
    }
    cursor += colours * entryBytes;
  }
  h.end = cursor;
  return true;
}

// One channel from a bit-field mask, scaled to 0-255.
std::uint32_t field(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0)
    return 0;
  int shift = 0;
  while (!((mask >> shift) & 1))
    ++shift;
  const std::uint32_t max = mask >> shift;
  return std::uint32_t(std::uint64_t((value & mask) >> shift) * 255 / max);
}

// Run-length encoded pixels into 8 bpp indices (bottom-up in the data, top-down in `raster`).
bool decodeRle(const std::uint8_t *data, std::size_t size, std::size_t offset, const Header &h,
               Raster &raster) {
  const bool four = h.compression == kRle4;
  std::size_t pos = offset;
  std::uint32_t x = 0, y = 0; // y counts from the bottom row
  auto put = [&](std::uint32_t index) {
    if (x < h.width && y < h.height)
      raster.row(h.height - 1 - y)[x] = std::uint8_t(index);
    ++x;
  };
  while (pos + 2 <= size) {
    const std::uint32_t count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (std::uint32_t i = 0; i < count; ++i)
        put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) { // end of line
      x = 0;
      if (++y >= h.height)
        return true;
    } else if (value == 1) { // end of bitmap
      return true;
    } else if (value == 2) { // delta
      if (pos + 2 > size)
        return false;
      x += data[pos];
      y += data[pos + 1];
      pos += 2;
      if (y >= h.height)
        return true;
    } else { // absolute run of `value` pixels, padded to 16 bits
      const std::size_t bytes = four ? (value + 1) / 2 : value;
      if (size - pos < bytes)
        return false;
      for (std::uint32_t i = 0; i < value; ++i) {
        const std::uint8_t b = data[pos + (four ? i / 2 : i)];
        put(four ? ((i & 1) ? b & 15 : b >> 4) : b);
      }
      pos += (bytes + 1) & ~std::size_t(1);
    }
  }
  return false; // ran out of data before the end marker
}

// The colour pixels in the closest native format; `forIcon` keeps the fourth byte of 32-bit
// pixels as alpha.
HRESULT decodePixels(const std::uint8_t *data, std::size_t size, std::size_t offset,
                     const Header &h, bool forIcon, Raster &raster) {
  if (!Raster::sizeAllowed(h.width, h.height))
    return E_OUTOFMEMORY;
  if (h.compression == kRle8 || h.compression == kRle4) {
    raster.palette = h.palette;
    if (!raster.allocate(PixelFormat8bppIndexed, h.width, h.height))
      return E_OUTOFMEMORY;
    if (!decodeRle(data, size, offset, h, raster))
      return E_FAIL;
    raster.narrowIndexed();
    return S_OK;
  }
  const std::uint64_t rowBytes = (std::uint64_t(h.width) * h.bitCount + 31) / 32 * 4;
  if (offset > size || (size - offset) / rowBytes < h.height)
    return E_FAIL;

  PixelFormatID native = 0;
  const std::uint32_t *m = h.masks;
  const bool fields = h.compression == kBitFields || h.compression == kAlphaBitFields;
  switch (h.bitCount) {
  case 1:
    native = PixelFormat1bppIndexed;
    break;
  case 4:
    native = PixelFormat4bppIndexed;
    break;
  case 8:
    native = PixelFormat8bppIndexed;
    break;
  case 24:
    native = PixelFormat24bppRGB;
    break;
  case 16:
    if (!fields || (m[0] == 0x7C00 && m[1] == 0x3E0 && m[2] == 0x1F && m[3] == 0))
      native = PixelFormat16bppRGB555;
    else if (m[0] == 0xF800 && m[1] == 0x7E0 && m[2] == 0x1F && m[3] == 0)
      native = PixelFormat16bppRGB565;
    else if (m[0] == 0x7C00 && m[1] == 0x3E0 && m[2] == 0x1F && m[3] == 0x8000)
      native = PixelFormat16bppARGB1555;
    break;
  case 32:
    if (!fields)
      native = forIcon ? PixelFormat32bppARGB : PixelFormat32bppRGB;
    else if (m[0] == 0xFF0000 && m[1] == 0xFF00 && m[2] == 0xFF)
      native = m[3] == 0xFF000000u ? PixelFormat32bppARGB : (m[3] == 0 ? PixelFormat32bppRGB : 0);
    break;
  }

  raster.palette = h.palette;
  if (!raster.allocate(native ? native : PixelFormat32bppARGB, h.width, h.height))
    return E_OUTOFMEMORY;
  for (std::uint32_t y = 0; y < h.height; ++y) {
    const std::uint8_t *src = data + offset + (h.topDown ? y : h.height - 1 - y) * rowBytes;
    std::uint8_t *dst = raster.row(y);
    if (native) {
      std::memcpy(dst, src, std::size_t(rowBytes));
      continue;
    }
    for (std::uint32_t x = 0; x < h.width; ++x) { // other bit fields, channel by channel
      const std::uint32_t v = h.bitCount == 16 ? u16(src + 2 * x) : u32(src + 4 * x);
      const ARGB c = ((m[3] ? field(v, m[3]) : 255u) << 24) | (field(v, m[0]) << 16) |
                     (field(v, m[1]) << 8) | field(v, m[2]);
      std::memcpy(dst + 4 * x, &c, 4);
    }
  }
  return S_OK;
}

} // namespace

bool DibReader::hasFileSignature(const std::uint8_t *data, std::size_t size) {
  return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

HRESULT DibReader::decodeFile(const std::uint8_t *data, std::size_t size, DecodedImage &out) {
  if (size < 14 || !hasFileSignature(data, size))
    return E_FAIL;
  Header h;
  if (!parseHeader(data, size, 14, 1, h))
    return E_FAIL;
  // The pixel offset of the file header is trusted when it points past the headers; writers
  // that leave it zero get the pixels right after the palette.
  std::size_t offset = u32(data + 10);
  if (offset < h.end || offset >= size)
    offset = h.end;
  const HRESULT hr = decodePixels(data, size, offset, h, false, out.raster);
  if (FAILED(hr))
    return hr;
  out.rawFormat = ImageFormatBMP;
  out.dpiX = h.dpiX;
  out.dpiY = h.dpiY;
  return S_OK;
}

HRESULT DibReader::decodeIconEntry(const std::uint8_t *data, std::size_t size, Raster &colour,
                                   std::vector<std::uint8_t> &mask, bool &hasAlpha) {
  Header h;
  if (!parseHeader(data, size, 0, 2, h))
    return E_FAIL;
  if (h.compression != kRgb)
    return E_FAIL;
  Raster native;
  HRESULT hr = decodePixels(data, size, h.end, h, true, native);
  if (FAILED(hr))
    return hr;
  if (!colour.allocate(PixelFormat32bppARGB, h.width, h.height))
    return E_OUTOFMEMORY;
  PixelConverter converter(native.format, &native.palette);
  for (UINT y = 0; y < h.height; ++y)
    converter.toArgb(native.row(y), 0, h.width, reinterpret_cast<ARGB *>(colour.row(y)));

  hasAlpha = false;
  if (h.bitCount == 32)
    for (UINT y = 0; y < h.height && !hasAlpha; ++y)
      for (UINT x = 0; x < h.width; ++x)
        if (colour.row(y)[4 * x + 3] != 0) {
          hasAlpha = true;
          break;
        }

  // The AND mask follows the colour rows; some writers of 32-bit entries leave it out.
  const std::uint64_t colourRow = (std::uint64_t(h.width) * h.bitCount + 31) / 32 * 4;
  const std::uint64_t maskRow = (std::uint64_t(h.width) + 31) / 32 * 4;
  const std::uint64_t maskOffset = h.end + colourRow * h.height;
  const bool maskPresent = maskOffset <= size && (size - maskOffset) / maskRow >= h.height;
  mask.assign(std::size_t(h.width) * h.height, 0);
  for (UINT y = 0; y < h.height; ++y) {
    auto *px = reinterpret_cast<ARGB *>(colour.row(y));
    const std::uint8_t *bits =
        maskPresent ? data + maskOffset + (h.height - 1 - y) * maskRow : nullptr;
    for (UINT x = 0; x < h.width; ++x) {
      std::uint8_t transparent = bits ? (bits[x >> 3] >> (7 - (x & 7))) & 1 : 0;
      if (hasAlpha) {
        if (!bits)
          transparent = (px[x] >> 24) == 0;
      } else {
        px[x] = transparent ? (px[x] & 0x00FFFFFFu) : (px[x] | 0xFF000000u);
      }
      mask[std::size_t(y) * h.width + x] = transparent;
    }
  }
  return S_OK;
}

} // namespace ce
