#include "imaging/image_painter.h"

#include "imaging/bitmap_image.h"
#include "imaging/raster.h"
#include "imaging/resampler.h"

#include <ce/gdi.h>

#include <cstring>
#include <new>

namespace ce {
namespace {

// A 32-bit top-down DIB section selected into a memory DC; undone on destruction.
class ScratchSurface {
public:
  ScratchSurface(HDC reference, LONG width, LONG height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (!bitmap_)
      return;
    dc_ = CreateCompatibleDC(reference);
    if (dc_)
      previous_ = SelectObject(dc_, bitmap_);
  }
  ~ScratchSurface() {
    if (dc_) {
      if (previous_)
        SelectObject(dc_, previous_);
      DeleteDC(dc_);
    }
    if (bitmap_)
      DeleteObject(bitmap_);
  }
  ScratchSurface(const ScratchSurface &) = delete;
  ScratchSurface &operator=(const ScratchSurface &) = delete;

  bool ok() const { return bitmap_ && dc_ && previous_ && bits_; }
  HDC dc() const { return dc_; }
  void *bits() const { return bits_; }

private:
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  void *bits_ = nullptr;
};

} // namespace

HRESULT ImagePainter::draw(const BitmapImage &image, const RECT &source, HDC dc, const RECT &dest) {
  const LONG dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  if (dw <= 0 || dh <= 0)
    return E_INVALIDARG;
  if (!Raster::sizeAllowed(UINT(dw), UINT(dh)))
    return E_OUTOFMEMORY;
  const UINT sw = UINT(source.right - source.left), sh = UINT(source.bottom - source.top);

  std::vector<ARGB> pixels;
  try {
    const std::vector<ARGB> all = image.premultipliedPixels();
    pixels.resize(std::size_t(sw) * sh);
    for (UINT y = 0; y < sh; ++y)
      std::memcpy(pixels.data() + std::size_t(y) * sw,
                  all.data() + std::size_t(UINT(source.top) + y) * image.width() +
                      UINT(source.left),
                  std::size_t(sw) * 4);
    const bool shrinking = UINT(dw) < sw || UINT(dh) < sh;
    pixels =
        Resampler::resize(pixels, sw, sh, UINT(dw), UINT(dh),
                          shrinking ? Resampler::Method::Averaging : Resampler::Method::Bilinear);
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }

  bool translucent = false;
  for (ARGB p : pixels)
    if ((p >> 24) != 255) {
      translucent = true;
      break;
    }

  ScratchSurface scratch(dc, dw, dh);
  if (!scratch.ok())
    return E_FAIL;
  std::memcpy(scratch.bits(), pixels.data(), pixels.size() * 4);
  BOOL drawn;
  if (translucent) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    drawn = AlphaBlend(dc, dest.left, dest.top, dw, dh, scratch.dc(), 0, 0, dw, dh, blend);
  } else {
    drawn = BitBlt(dc, dest.left, dest.top, dw, dh, scratch.dc(), 0, 0, SRCCOPY);
  }
  return drawn ? S_OK : E_FAIL;
}

} // namespace ce
