// Bitmap creation, DIB bits in and out, and single pixels.
#include "gdi/blitter.h"
#include "gdi/dib_description.h"
#include "gdi/gdi_lookup.h"

#include <ce/errors.h>
#include <ce/gdi.h>

#include <cstring>

using namespace ce;

namespace {

HBITMAP addBitmap(const Bitmap::Layout& layout, const void* bits, std::size_t sourceStride) {
  DWORD error = 0;
  auto bitmap = Bitmap::create(layout, &error);
  if (!bitmap) {
    SetLastError(error);
    return nullptr;
  }
  if (bits) {
    const auto* from = static_cast<const std::uint8_t*>(bits);
    const std::size_t rowBytes = std::min(sourceStride, bitmap->stride());
    for (int y = 0; y < bitmap->height(); ++y)
      std::memcpy(bitmap->bits() + bitmap->stride() * std::size_t(y),
                  from + sourceStride * std::size_t(y), rowBytes);
  }
  return static_cast<HBITMAP>(GdiObjectTable::instance().add(bitmap));
}

// The colour table GetDIBits reports for an indexed format the bitmap itself is not in.
std::vector<std::uint32_t> defaultPalette(PixelFormat format) {
  std::vector<std::uint32_t> p;
  if (format == PixelFormat::Indexed1) {
    p = {0x000000, 0xFFFFFF};
  } else if (format == PixelFormat::Indexed4) {
    p = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
         0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  } else {
    for (std::uint32_t i = 0; i < 256; ++i) // 3 bits red, 3 green, 2 blue
      p.push_back(((((i >> 5) & 7) * 255 / 7) << 16) | ((((i >> 2) & 7) * 255 / 7) << 8) |
                  ((i & 3) * 255 / 3));
  }
  return p;
}

} // namespace

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  if (dc && !lookupDC(dc)) return nullptr;
  Bitmap::Layout layout;
  layout.width = width;
  layout.height = height;
  layout.format = PixelFormat::Rgb565;
  layout.bitfields[0] = 0xF800;
  layout.bitfields[1] = 0x07E0;
  layout.bitfields[2] = 0x001F;
  return addBitmap(layout, nullptr, 0);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  Bitmap::Layout layout;
  layout.width = width;
  layout.height = height;
  switch (bitsPerPixel) {
  case 1:
    layout.format = PixelFormat::Indexed1;
    layout.palette = {0x000000, 0xFFFFFF};
    layout.monochrome = true;
    break;
  case 16:
    layout.format = PixelFormat::Rgb565;
    layout.bitfields[0] = 0xF800;
    layout.bitfields[1] = 0x07E0;
    layout.bitfields[2] = 0x001F;
    break;
  case 24: layout.format = PixelFormat::Bgr24; break;
  case 32: layout.format = PixelFormat::Bgra32; break;
  default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
  if (planes != 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Caller rows are padded to 2 bytes, like ours.
  const std::size_t stride =
      width > 0 ? (static_cast<std::size_t>(width) * bitsPerPixel + 15) / 16 * 2 : 0;
  return addBitmap(layout, bits, stride);
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  if (bits) *bits = nullptr;
  if (dc && !lookupDC(dc)) return nullptr;
  if (section || offset) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DWORD error = 0;
  auto description = DibDescription::parse(info, usage, &error);
  if (!description) {
    SetLastError(error);
    return nullptr;
  }
  HBITMAP handle = addBitmap(description->layout, nullptr, 0);
  if (handle && bits) *bits = lookupBitmap(handle)->bits();
  return handle;
}

int GetDIBits(HDC dcHandle, HBITMAP bitmapHandle, UINT start, UINT lines, LPVOID bits,
              LPBITMAPINFO info, UINT usage) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  if (!lookupDC(dcHandle)) return 0;
  auto bitmap = lookupBitmap(bitmapHandle);
  if (!bitmap) return 0;
  if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biBitCount == 0) {
    // Only the header is asked for: describe the bitmap as a bottom-up DIB.
    const DIBSECTION d = bitmap->describeSection();
    header = d.dsBmih;
    header.biHeight = bitmap->height();
    header.biCompression = bitmap->format() == PixelFormat::Rgb565 ? BI_BITFIELDS : BI_RGB;
    header.biSizeImage = static_cast<DWORD>(
        (static_cast<std::size_t>(bitmap->width()) * bitsPerPixel(bitmap->format()) + 31) / 32 * 4 *
        static_cast<std::size_t>(bitmap->height()));
    return bitmap->height();
  }
  DWORD error = 0;
  auto description = DibDescription::parse(info, usage, &error);
  if (!description) {
    SetLastError(error);
    return 0;
  }
  auto& layout = description->layout;
  if (isIndexed(layout.format)) {
    // Report the colour table the bits are written with.
    const std::size_t entries = std::size_t(1) << bitsPerPixel(layout.format);
    if (bitmap->format() == layout.format) {
      layout.palette = bitmap->layout().palette;
    } else {
      layout.palette = defaultPalette(layout.format);
    }
    layout.palette.resize(entries, 0);
    auto* colors = reinterpret_cast<RGBQUAD*>(reinterpret_cast<std::uint8_t*>(info) + header.biSize);
    for (std::size_t i = 0; i < entries; ++i)
      colors[i] = RGBQUAD{BYTE(layout.palette[i]), BYTE(layout.palette[i] >> 8),
                          BYTE(layout.palette[i] >> 16), 0};
    if (header.biClrUsed > entries) header.biClrUsed = 0;
  }
  header.biSizeImage = static_cast<DWORD>(description->stride * std::size_t(layout.height));
  if (!bits) return layout.height;
  if (start >= static_cast<UINT>(layout.height) || lines == 0) return 0;
  const int count = static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(layout.height) - start));
  int imageTop = 0;
  PixelView target = description->viewOf(bits, static_cast<int>(start), count, &imageTop);
  target.palette = layout.palette.data();
  target.paletteSize = static_cast<int>(layout.palette.size());

  BlitSource source;
  source.view = bitmap->view();
  source.x = AxisMap{0, target.width, 0, target.width, false};
  source.y = AxisMap{0, count, imageTop, count, false};
  Blitter blitter(target, {RECT{0, 0, target.width, target.height}});
  blitter.rasterOperation(RECT{0, 0, target.width, count}, &source, 0xCC, 0);
  // Rows that exist in the bitmap were copied.
  const int first = std::max(0, imageTop);
  const int last = std::min(bitmap->height(), imageTop + count);
  return std::max(0, last - first);
}

int SetDIBits(HDC dcHandle, HBITMAP bitmapHandle, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  std::shared_ptr<DeviceContext> dc;
  if (dcHandle && !(dc = lookupDC(dcHandle))) return 0;
  auto bitmap = lookupBitmap(bitmapHandle);
  if (!bitmap) return 0;
  if (bitmap->selectedInto && bitmap->selectedInto != dc.get()) {
    SetLastError(ERROR_BUSY);
    return 0;
  }
  DWORD error = 0;
  auto description = DibDescription::parse(info, usage, &error);
  if (!description || !bits) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto& layout = description->layout;
  if (start >= static_cast<UINT>(layout.height) || lines == 0) return 0;
  const int count = static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(layout.height) - start));
  int imageTop = 0;
  PixelView sourceView = description->viewOf(const_cast<void*>(bits), static_cast<int>(start), count,
                                             &imageTop);
  sourceView.palette = layout.palette.data();
  sourceView.paletteSize = static_cast<int>(layout.palette.size());

  BlitSource source;
  source.view = sourceView;
  const int width = std::min(bitmap->width(), layout.width);
  source.x = AxisMap{0, width, 0, width, false};
  source.y = AxisMap{imageTop, count, 0, count, false};
  Blitter blitter(bitmap->view(), {RECT{0, 0, bitmap->width(), bitmap->height()}});
  blitter.rasterOperation(RECT{0, imageTop, width, imageTop + count}, &source, 0xCC, 0);
  const int first = std::max(0, imageTop);
  const int last = std::min(bitmap->height(), imageTop + count);
  return std::max(0, last - first);
}

namespace {

bool insideClip(const DeviceContext& dc, int x, int y) {
  for (const auto& r : dc.deviceClip())
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  return false;
}

} // namespace

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return CLR_INVALID;
  const int dx = clampCoordinate(static_cast<long long>(x) + dc->origin.x);
  const int dy = clampCoordinate(static_cast<long long>(y) + dc->origin.y);
  if (!insideClip(*dc, dx, dy)) return CLR_INVALID;
  const PixelView view = dc->pixels();
  const std::uint32_t argb = argbFromColorRef(color);
  view.setPixel(dx, dy, argb);
  return colorRefFromArgb(view.pixel(dx, dy));
}

COLORREF GetPixel(HDC handle, int x, int y) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return CLR_INVALID;
  const int dx = clampCoordinate(static_cast<long long>(x) + dc->origin.x);
  const int dy = clampCoordinate(static_cast<long long>(y) + dc->origin.y);
  if (!insideClip(*dc, dx, dy)) return CLR_INVALID;
  return colorRefFromArgb(dc->pixels().pixel(dx, dy));
}
