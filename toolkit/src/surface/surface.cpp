#include <toolkit/global/global_informations.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/surface/surface.h>

#include <cstring>
#include <vector>

namespace {

// The DC that new memory DCs are made compatible with: the primary's, or the main window's
// borrowed for the call; null (the display) without either.
class ReferenceDc {
public:
  ReferenceDc() {
    GlobalInformations *global = GlobalInformations::getInstance();
    if (!global)
      return;
    DisplayState &display = global->display();
    if (!display.primary)
      return;
    if (display.primary->dc) {
      dc_ = display.primary->dc;
    } else if (display.mainWindow) {
      window_ = display.mainWindow;
      dc_ = GetDC(window_);
    }
  }
  ~ReferenceDc() {
    if (window_ && dc_)
      ReleaseDC(window_, dc_);
  }
  ReferenceDc(const ReferenceDc &) = delete;
  ReferenceDc &operator=(const ReferenceDc &) = delete;
  HDC get() const { return dc_; }

private:
  HDC dc_ = nullptr;
  HWND window_ = nullptr;
};

RECT wholeOf(const Surface &surface) { return RECT{0, 0, surface.width, surface.height}; }

bool isEmpty(const RECT &rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

// Borrows the window's DC when a primary surface without one takes part in a drawing call.
void ensurePrimaryDc(const Surface *destination, const Surface *source) {
  if ((destination && destination->isPrimary() && !destination->dc) ||
      (source && source->isPrimary() && !source->dc))
    beginPaint();
}

DisplayState *displayState() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? &global->display() : nullptr;
}

} // namespace

DDSURFACEDESC describeSurface(int width, int height, int bitsPerPixel) {
  DDSURFACEDESC description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = sizeof description;
  description.dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  description.dwWidth = static_cast<DWORD>(width);
  description.dwHeight = static_cast<DWORD>(height);
  description.ddpfPixelFormat.dwSize = sizeof description.ddpfPixelFormat;
  description.ddpfPixelFormat.dwFlags = DDPF_RGB;
  description.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(bitsPerPixel);
  return description;
}

HRESULT createSurf(const DDSURFACEDESC *description, Surface **surface) {
  if (!description || !surface)
    return E_INVALIDARG;
  auto *created = new Surface;
  *surface = created;
  const DWORD bits = description->ddpfPixelFormat.dwRGBBitCount & 0xFF;
  created->bitsPerPixel = bits == 32 || bits == 24 ? static_cast<int>(bits) : 16;
  created->width = static_cast<int>(description->dwWidth);
  created->height = static_cast<int>(description->dwHeight);

  ReferenceDc reference;
  created->dc = CreateCompatibleDC(reference.get());
  if (!created->dc) {
    reportLastError(u"createSurf CreateCompatibleDC");
    return S_OK;
  }
  created->bitmap = CreateBitmap(created->width, created->height, 1,
                                 static_cast<UINT>(created->bitsPerPixel), nullptr);
  if (!created->bitmap) {
    reportLastError(u"CreateCompatibleBitmap");
    DeleteDC(created->dc);
    created->dc = nullptr;
    return S_OK;
  }
  created->previousBitmap = SelectObject(created->dc, created->bitmap);
  return S_OK;
}

Surface *createSurfFromPixels(int width, int height, int bitsPerPixel, const void *pixels,
                              int stride) {
  if (width <= 0 || height <= 0 || !pixels ||
      (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32))
    return nullptr;
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = width;
  info.header.biHeight = -height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.header.biCompression = BI_RGB;
  if (bitsPerPixel == 16) {
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
  }
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO *>(&info),
                                    DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) {
    reportLastError(u"createSurfFromPixels CreateDIBSection");
    return nullptr;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(width) * (bitsPerPixel / 8);
  const std::size_t dibStride = (rowBytes + 3) & ~std::size_t(3);
  for (int y = 0; y < height; ++y)
    std::memcpy(static_cast<BYTE *>(bits) + y * dibStride,
                static_cast<const BYTE *>(pixels) + static_cast<std::ptrdiff_t>(y) * stride,
                rowBytes);
  auto *surface = new Surface;
  surface->bitsPerPixel = bitsPerPixel;
  surface->width = width;
  surface->height = height;
  surface->bitmap = bitmap;
  ReferenceDc reference;
  surface->dc = CreateCompatibleDC(reference.get());
  if (!surface->dc) {
    reportLastError(u"createSurfFromPixels CreateCompatibleDC");
    DeleteObject(bitmap);
    delete surface;
    return nullptr;
  }
  surface->previousBitmap = SelectObject(surface->dc, bitmap);
  return surface;
}

void deleteSurf(Surface **surface) {
  if (!surface || !*surface)
    return;
  Surface *doomed = *surface;
  if (doomed->isPrimary()) {
    if (doomed->dc && FAILED(doomed->displaySurface->ReleaseDC(doomed->dc))) {
      // Inside a paint bracket the primary holds a window's DC instead.
      if (DisplayState *display = displayState(); display && display->dcOwner) {
        ReleaseDC(display->dcOwner, doomed->dc);
        display->dcOwner = nullptr;
      }
    }
    doomed->displaySurface->Release();
  } else {
    if (doomed->dc && doomed->previousBitmap)
      SelectObject(doomed->dc, doomed->previousBitmap);
    if (doomed->bitmap && !DeleteObject(doomed->bitmap))
      reportLastError(u"DeleteObject");
    if (doomed->dc && !DeleteDC(doomed->dc))
      reportLastError(u"DeleteDC");
  }
  delete doomed;
  *surface = nullptr;
}

HRESULT Blt(Surface *destination, const RECT *destinationRect, Surface *source,
            const RECT *sourceRect, DWORD flags, const DDBLTFX *effects) {
  if (!destination)
    return E_INVALIDARG;
  ensurePrimaryDc(destination, source);
  const RECT to = destinationRect ? *destinationRect : wholeOf(*destination);

  if (flags & DDBLT_COLORFILL) {
    if (!effects)
      return E_INVALIDARG;
    HBRUSH brush = CreateSolidBrush(effects->dwFillColor);
    const bool filled = brush && FillRect(destination->dc, &to, brush) != 0;
    if (brush)
      DeleteObject(brush);
    if (!filled) {
      reportLastError(u"FillRect");
      return E_INVALIDARG;
    }
    return S_OK;
  }
  if (!source)
    return E_INVALIDARG;
  const RECT from = sourceRect ? *sourceRect : wholeOf(*source);
  if (isEmpty(to) || isEmpty(from))
    return S_OK;
  const int width = to.right - to.left, height = to.bottom - to.top;
  const int sourceWidth = from.right - from.left, sourceHeight = from.bottom - from.top;

  if (!effects && source->bitmap && source->bitsPerPixel >= 32) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (AlphaBlend(destination->dc, to.left, to.top, width, height, source->dc, from.left, from.top,
                   sourceWidth, sourceHeight, blend))
      return S_OK;
  }
  const bool copied = width == sourceWidth && height == sourceHeight
                          ? BitBlt(destination->dc, to.left, to.top, width, height, source->dc,
                                   from.left, from.top, SRCCOPY)
                          : StretchBlt(destination->dc, to.left, to.top, width, height, source->dc,
                                       from.left, from.top, sourceWidth, sourceHeight, SRCCOPY);
  if (!copied) {
    reportLastError(u"BltFast BitBlt");
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT alphaBlt(Surface *destination, const RECT *destinationRect, Surface *source,
                 const RECT *sourceRect, BYTE alpha) {
  if (!destination || !source)
    return E_INVALIDARG;
  ensurePrimaryDc(destination, source);
  const RECT to = destinationRect ? *destinationRect : wholeOf(*destination);
  const RECT from = sourceRect ? *sourceRect : wholeOf(*source);
  if (isEmpty(to) || isEmpty(from))
    return S_OK;
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
  if (!AlphaBlend(destination->dc, to.left, to.top, to.right - to.left, to.bottom - to.top,
                  source->dc, from.left, from.top, from.right - from.left, from.bottom - from.top,
                  blend)) {
    reportLastError(u"AlphaBlend Prob!");
    return E_INVALIDARG;
  }
  return S_OK;
}

void beginPaint() {
  DisplayState *display = displayState();
  if (!display || !display->primary || display->primary->dc)
    return;
  HWND window = display->paintWindow ? display->paintWindow : display->mainWindow;
  display->primary->dc = GetDC(window);
  if (!display->primary->dc)
    reportLastError(u"beginPaint");
  else
    display->dcOwner = window;
}

void endPaint() {
  DisplayState *display = displayState();
  if (!display || !display->primary || !display->primary->dc)
    return;
  if (!ReleaseDC(display->dcOwner, display->primary->dc))
    reportLastError(u"endPaint");
  display->primary->dc = nullptr;
  display->dcOwner = nullptr;
}
