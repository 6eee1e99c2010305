#include "gdi/dib_description.h"

#include <ce/errors.h>

#include <cstring>

namespace ce {

std::optional<DibDescription> DibDescription::parse(const BITMAPINFO* info, UINT usage,
                                                    DWORD* error, bool allowUnknownBitCount) {
  auto fail = [&]() -> std::optional<DibDescription> {
    if (error) *error = ERROR_INVALID_PARAMETER;
    return std::nullopt;
  };
  if (!info || usage != DIB_RGB_COLORS) return fail();
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 1024) return fail();
  if (h.biPlanes != 1) return fail();
  const long long width = h.biWidth;
  const long long height = h.biHeight;
  if (width <= 0 || width > Bitmap::kMaxSide || height == 0 || height > Bitmap::kMaxSide ||
      height < -Bitmap::kMaxSide)
    return fail();

  DibDescription d;
  auto& l = d.layout;
  l.width = static_cast<int>(width);
  l.height = static_cast<int>(height < 0 ? -height : height);
  l.topDown = height < 0;
  l.rowAlignment = 4;
  l.dibSection = true;
  l.compression = h.biCompression;

  const auto* base = reinterpret_cast<const std::uint8_t*>(info);
  auto masks = [&](DWORD* out) { std::memcpy(out, base + sizeof(BITMAPINFOHEADER), 12); };
  switch (h.biBitCount) {
  case 0:
    if (!allowUnknownBitCount) return fail();
    l.format = PixelFormat::Rgb565;
    break;
  case 1:
  case 4:
  case 8: {
    if (h.biCompression != BI_RGB) return fail();
    l.format = h.biBitCount == 1 ? PixelFormat::Indexed1
                                 : (h.biBitCount == 4 ? PixelFormat::Indexed4 : PixelFormat::Indexed8);
    const DWORD maximum = 1u << h.biBitCount;
    const DWORD entries = (h.biClrUsed == 0 || h.biClrUsed > maximum) ? maximum : h.biClrUsed;
    const auto* colors = reinterpret_cast<const RGBQUAD*>(base + h.biSize);
    l.palette.resize(entries);
    for (DWORD i = 0; i < entries; ++i)
      l.palette[i] = (DWORD(colors[i].rgbRed) << 16) | (DWORD(colors[i].rgbGreen) << 8) |
                     colors[i].rgbBlue;
    break;
  }
  case 16:
    if (h.biCompression == BI_RGB) {
      l.format = PixelFormat::Rgb555;
    } else if (h.biCompression == BI_BITFIELDS) {
      masks(l.bitfields);
      if (l.bitfields[0] == 0xF800 && l.bitfields[1] == 0x07E0 && l.bitfields[2] == 0x001F)
        l.format = PixelFormat::Rgb565;
      else if (l.bitfields[0] == 0x7C00 && l.bitfields[1] == 0x03E0 && l.bitfields[2] == 0x001F)
        l.format = PixelFormat::Rgb555;
      else
        return fail();
    } else {
      return fail();
    }
    break;
  case 24:
    if (h.biCompression != BI_RGB) return fail();
    l.format = PixelFormat::Bgr24;
    break;
  case 32:
    if (h.biCompression == BI_BITFIELDS || h.biCompression == BI_ALPHABITFIELDS) {
      masks(l.bitfields);
      if (l.bitfields[0] != 0x00FF0000 || l.bitfields[1] != 0x0000FF00 ||
          l.bitfields[2] != 0x000000FF)
        return fail();
    } else if (h.biCompression != BI_RGB) {
      return fail();
    }
    l.format = PixelFormat::Bgra32;
    break;
  default: return fail();
  }
  const std::size_t bitsPerRow = static_cast<std::size_t>(l.width) * bitsPerPixel(l.format);
  d.stride = (bitsPerRow + 31) / 32 * 4;
  return d;
}

PixelView DibDescription::viewOf(void* bits, int first, int count, int* imageTop) const {
  PixelView v;
  v.width = layout.width;
  v.height = count;
  v.format = layout.format;
  const auto stride = static_cast<std::ptrdiff_t>(this->stride);
  auto* memory = static_cast<std::uint8_t*>(bits);
  if (layout.topDown) {
    v.top = memory;
    v.stride = stride;
    *imageTop = first;
  } else {
    v.top = memory + stride * (count - 1);
    v.stride = -stride;
    *imageTop = layout.height - first - count;
  }
  return v;
}

} // namespace ce
