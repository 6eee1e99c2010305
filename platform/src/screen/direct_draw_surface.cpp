#include "direct_draw_surface.h"

#include <ce/gdi.h>

#include <cstring>

namespace ce {
namespace {

int bytesPerPixel(FramebufferFormat format) {
  switch (format) {
  case FramebufferFormat::Bgr24: return 3;
  case FramebufferFormat::Bgra32: return 4;
  default: return 2;
  }
}

bool inside(const RECT& r, const PixelMemory& pixels) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         r.right <= pixels.width && r.bottom <= pixels.height;
}

RECT whole(const PixelMemory& pixels) { return RECT{0, 0, pixels.width, pixels.height}; }

std::byte* at(const PixelMemory& pixels, LONG x, LONG y) {
  return static_cast<std::byte*>(pixels.bits) + std::ptrdiff_t(y) * pixels.stride +
         std::ptrdiff_t(x) * bytesPerPixel(pixels.format);
}

void fill(const PixelMemory& pixels, const RECT& r, DWORD value) {
  const int size = bytesPerPixel(pixels.format);
  std::byte bytes[4];
  std::memcpy(bytes, &value, 4); // the pixel value's low bytes, in memory order
  for (LONG y = r.top; y < r.bottom; ++y) {
    std::byte* p = at(pixels, r.left, y);
    for (LONG x = r.left; x < r.right; ++x, p += size) std::memcpy(p, bytes, std::size_t(size));
  }
}

// A DC over the pixels without any clipping but the surface's bounds.
HDC dcOver(const PixelMemory& pixels) {
  return createFramebufferDC(pixels, POINT{0, 0}, {whole(pixels)});
}

} // namespace

DirectDrawSurface::DirectDrawSurface(std::shared_ptr<Display> display, Kind kind)
    : display_(std::move(display)), kind_(kind) {}

DirectDrawSurface::~DirectDrawSurface() {
  if (dc_) DeleteDC(dc_);
  if (overlayId_) display_->removeOverlay(overlayId_);
  if (primaryTaken_) primaryTaken_->store(false);
}

DirectDrawSurface* DirectDrawSurface::primary(std::shared_ptr<Display> display,
                                              std::shared_ptr<std::atomic<bool>> primaryTaken) {
  auto* surface = new DirectDrawSurface(std::move(display), Kind::Primary);
  surface->primaryTaken_ = std::move(primaryTaken);
  return surface;
}

DirectDrawSurface* DirectDrawSurface::memory(std::shared_ptr<Display> display, Kind kind,
                                             int width, int height, FramebufferFormat format,
                                             HRESULT* result) {
  const int size = bytesPerPixel(format);
  // Rows padded to 4 bytes, as the platform's bitmaps are.
  const std::ptrdiff_t stride = (std::ptrdiff_t(width) * size + 3) / 4 * 4;
  std::shared_ptr<SharedMemory> memory =
      SharedMemory::create(std::size_t(stride) * std::size_t(height),
                           kind == Kind::Overlay ? "ce-overlay" : "ce-surface");
  if (!memory) {
    *result = DDERR_OUTOFMEMORY;
    return nullptr;
  }
  auto* surface = new DirectDrawSurface(std::move(display), kind);
  surface->memory_ = memory;
  surface->own_ = PixelMemory{memory->data(), width, height, stride, format};
  if (kind == Kind::Overlay) {
    OverlayPixels pixels;
    pixels.memory = memory;
    pixels.width = width;
    pixels.height = height;
    pixels.stride = stride;
    pixels.format =
        format == FramebufferFormat::Bgra32 ? OverlayFormat::Premultiplied32 : OverlayFormat::Rgb565;
    surface->overlayId_ = surface->display_->addOverlay(pixels);
    if (!surface->overlayId_) {
      surface->Release();
      *result = DDERR_OUTOFMEMORY;
      return nullptr;
    }
  }
  *result = DD_OK;
  return surface;
}

HRESULT DirectDrawSurface::QueryInterface(REFIID, void** object) {
  if (object) *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DirectDrawSurface::AddRef() { return ++references_; }

ULONG DirectDrawSurface::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

PixelMemory DirectDrawSurface::pixels() const {
  return kind_ == Kind::Primary ? display_->framebuffer() : own_;
}

HRESULT DirectDrawSurface::checkIdle() const {
  if (dc_) return DDERR_DCALREADYCREATED;
  if (locked_) return DDERR_SURFACEBUSY;
  return DD_OK;
}

HRESULT DirectDrawSurface::GetDC(HDC* dc) {
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  if (const HRESULT busy = checkIdle(); busy != DD_OK) return busy;
  dc_ = dcOver(pixels());
  if (!dc_) return DDERR_CANTCREATEDC;
  *dc = dc_;
  return DD_OK;
}

HRESULT DirectDrawSurface::ReleaseDC(HDC dc) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!dc_) return DDERR_NODC;
  if (dc != dc_) return DDERR_INVALIDPARAMS;
  DeleteDC(dc_);
  dc_ = nullptr;
  return DD_OK;
}

HRESULT DirectDrawSurface::Blt(LPRECT destRect, IDirectDrawSurface* source, LPRECT sourceRect,
                               DWORD flags, LPDDBLTFX effects) {
  if (flags & (DDBLT_KEYSRC | DDBLT_KEYSRCOVERRIDE | DDBLT_KEYDEST | DDBLT_KEYDESTOVERRIDE))
    return DDERR_UNSUPPORTED;
  if (flags & DDBLT_COLORFILL) {
    if (!effects || effects->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
    std::lock_guard<std::mutex> lock(mutex_);
    if (const HRESULT busy = checkIdle(); busy != DD_OK) return busy;
    const PixelMemory target = pixels();
    const RECT r = destRect ? *destRect : whole(target);
    if (!inside(r, target)) return DDERR_INVALIDRECT;
    fill(target, r, effects->dwFillColor);
    return DD_OK;
  }
  auto* from = dynamic_cast<DirectDrawSurface*>(source);
  if (!from) return DDERR_INVALIDPARAMS;
  std::unique_lock<std::mutex> mine(mutex_, std::defer_lock);
  std::unique_lock<std::mutex> theirs(from->mutex_, std::defer_lock);
  if (from == this)
    mine.lock();
  else
    std::lock(mine, theirs);
  if (const HRESULT busy = checkIdle(); busy != DD_OK) return busy;
  if (const HRESULT busy = from->checkIdle(); busy != DD_OK) return busy;
  const PixelMemory target = pixels();
  const PixelMemory origin = from->pixels();
  const RECT d = destRect ? *destRect : whole(target);
  const RECT s = sourceRect ? *sourceRect : whole(origin);
  if (!inside(d, target) || !inside(s, origin)) return DDERR_INVALIDRECT;
  const HDC targetDC = dcOver(target);
  const HDC originDC = dcOver(origin);
  BOOL copied = FALSE;
  if (targetDC && originDC)
    copied = StretchBlt(targetDC, d.left, d.top, d.right - d.left, d.bottom - d.top, originDC,
                        s.left, s.top, s.right - s.left, s.bottom - s.top, SRCCOPY);
  if (targetDC) DeleteDC(targetDC);
  if (originDC) DeleteDC(originDC);
  return copied ? DD_OK : DDERR_GENERIC;
}

void DirectDrawSurface::describe(DDSURFACEDESC& desc, const PixelMemory& memory) const {
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc.dwWidth = DWORD(memory.width);
  desc.dwHeight = DWORD(memory.height);
  desc.lPitch = LONG(memory.stride);
  DDPIXELFORMAT& format = desc.ddpfPixelFormat;
  format.dwSize = sizeof format;
  format.dwFlags = DDPF_RGB;
  switch (memory.format) {
  case FramebufferFormat::Bgr24:
    format.dwRGBBitCount = 24;
    format.dwRBitMask = 0xFF0000;
    format.dwGBitMask = 0x00FF00;
    format.dwBBitMask = 0x0000FF;
    break;
  case FramebufferFormat::Bgra32:
    format.dwFlags |= DDPF_ALPHAPIXELS | (kind_ == Kind::Overlay ? DDPF_ALPHAPREMULT : 0);
    format.dwRGBBitCount = 32;
    format.dwRBitMask = 0xFF0000;
    format.dwGBitMask = 0x00FF00;
    format.dwBBitMask = 0x0000FF;
    format.dwRGBAlphaBitMask = 0xFF000000u;
    break;
  default:
    format.dwRGBBitCount = 16;
    format.dwRBitMask = 0xF800;
    format.dwGBitMask = 0x07E0;
    format.dwBBitMask = 0x001F;
    break;
  }
  switch (kind_) {
  case Kind::Primary: desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE; break;
  case Kind::OffScreen: desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY; break;
  case Kind::Overlay: desc.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_SYSTEMMEMORY; break;
  }
  if (sourceOverlayKey_) {
    desc.dwFlags |= DDSD_CKSRCOVERLAY;
    desc.ddckCKSrcOverlay = *sourceOverlayKey_;
  }
  if (sourceBltKey_) {
    desc.dwFlags |= DDSD_CKSRCBLT;
    desc.ddckCKSrcBlt = *sourceBltKey_;
  }
}

HRESULT DirectDrawSurface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  std::lock_guard<std::mutex> lock(mutex_);
  describe(*desc, pixels());
  return DD_OK;
}

HRESULT DirectDrawSurface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE event) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || event) return DDERR_INVALIDPARAMS;
  std::lock_guard<std::mutex> lock(mutex_);
  if (const HRESULT busy = checkIdle(); busy != DD_OK) return busy == DDERR_DCALREADYCREATED ? DDERR_SURFACEBUSY : busy;
  const PixelMemory memory = pixels();
  const RECT r = rect ? *rect : whole(memory);
  if (!inside(r, memory)) return DDERR_INVALIDRECT;
  describe(*desc, memory);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = at(memory, r.left, r.top);
  locked_ = true;
  return DD_OK;
}

HRESULT DirectDrawSurface::Unlock(LPRECT) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!locked_) return DDERR_NOTLOCKED;
  locked_ = false;
  return DD_OK;
}

HRESULT DirectDrawSurface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::optional<DDCOLORKEY>* slot = nullptr;
  switch (flags & ~DDCKEY_COLORSPACE) {
  case DDCKEY_SRCOVERLAY: slot = &sourceOverlayKey_; break;
  case DDCKEY_SRCBLT: slot = &sourceBltKey_; break;
  case DDCKEY_DESTOVERLAY: slot = &destOverlayKey_; break;
  case DDCKEY_DESTBLT: slot = &destBltKey_; break;
  default: return DDERR_INVALIDPARAMS;
  }
  if (!key) {
    slot->reset();
    return DD_OK;
  }
  DDCOLORKEY value = *key;
  // Without DDCKEY_COLORSPACE the key is one colour.
  if (!(flags & DDCKEY_COLORSPACE)) value.dwColorSpaceHighValue = value.dwColorSpaceLowValue;
  if (value.dwColorSpaceHighValue < value.dwColorSpaceLowValue) return DDERR_INVALIDPARAMS;
  *slot = value;
  return DD_OK;
}

HRESULT DirectDrawSurface::GetColorKey(DWORD flags, LPDDCOLORKEY key) {
  if (!key) return DDERR_INVALIDPARAMS;
  std::lock_guard<std::mutex> lock(mutex_);
  const std::optional<DDCOLORKEY>* slot = nullptr;
  switch (flags) {
  case DDCKEY_SRCOVERLAY: slot = &sourceOverlayKey_; break;
  case DDCKEY_SRCBLT: slot = &sourceBltKey_; break;
  case DDCKEY_DESTOVERLAY: slot = &destOverlayKey_; break;
  case DDCKEY_DESTBLT: slot = &destBltKey_; break;
  default: return DDERR_INVALIDPARAMS;
  }
  if (!*slot) return DDERR_INVALIDPARAMS;
  *key = **slot;
  return DD_OK;
}

HRESULT DirectDrawSurface::UpdateOverlay(LPRECT sourceRect, IDirectDrawSurface* dest,
                                         LPRECT destRect, DWORD flags, LPDDOVERLAYFX effects) {
  if (kind_ != Kind::Overlay) return DDERR_NOTAOVERLAYSURFACE;
  if (flags & (DDOVER_KEYDEST | DDOVER_KEYDESTOVERRIDE)) return DDERR_UNSUPPORTED;
  const bool show = flags & DDOVER_SHOW, hide = flags & DDOVER_HIDE;
  if (show && hide) return DDERR_INVALIDPARAMS;
  std::lock_guard<std::mutex> lock(mutex_);
  if (hide) {
    if (placement_) {
      placement_->visible = false;
      display_->placeOverlay(overlayId_, *placement_);
    }
    return DD_OK;
  }
  auto* target = dynamic_cast<DirectDrawSurface*>(dest);
  if (!target || target->kind_ != Kind::Primary || !destRect) return DDERR_INVALIDPARAMS;
  OverlayPlacement placement;
  placement.source = sourceRect ? *sourceRect : whole(own_);
  placement.destination = *destRect;
  if (!inside(placement.source, own_) || destRect->left >= destRect->right ||
      destRect->top >= destRect->bottom)
    return DDERR_INVALIDRECT;
  placement.visible = show || (placement_ && placement_->visible);
  if (flags & DDOVER_KEYSRCOVERRIDE) {
    if (!effects || effects->dwSize != sizeof(DDOVERLAYFX)) return DDERR_INVALIDPARAMS;
    placement.colourKeyed = true;
    placement.keyLow = effects->dckSrcColorkey.dwColorSpaceLowValue;
    placement.keyHigh = effects->dckSrcColorkey.dwColorSpaceHighValue;
  } else if (flags & DDOVER_KEYSRC) {
    if (!sourceOverlayKey_) return DDERR_INVALIDPARAMS;
    placement.colourKeyed = true;
    placement.keyLow = sourceOverlayKey_->dwColorSpaceLowValue;
    placement.keyHigh = sourceOverlayKey_->dwColorSpaceHighValue;
  }
  if (placement.colourKeyed && own_.format != FramebufferFormat::Rgb565) return DDERR_UNSUPPORTED;
  if (!display_->placeOverlay(overlayId_, placement)) return DDERR_INVALIDRECT;
  placement_ = placement;
  return DD_OK;
}

HRESULT DirectDrawSurface::SetOverlayPosition(LONG x, LONG y) {
  if (kind_ != Kind::Overlay) return DDERR_NOTAOVERLAYSURFACE;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!placement_) return DDERR_OVERLAYNOTVISIBLE;
  if (!display_->moveOverlay(overlayId_, x, y)) return DDERR_INVALIDPARAMS;
  RECT& d = placement_->destination;
  d = RECT{x, y, x + (d.right - d.left), y + (d.bottom - d.top)};
  return DD_OK;
}

HRESULT DirectDrawSurface::GetOverlayPosition(LONG* x, LONG* y) {
  if (kind_ != Kind::Overlay) return DDERR_NOTAOVERLAYSURFACE;
  if (!x || !y) return DDERR_INVALIDPARAMS;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!placement_) return DDERR_OVERLAYNOTVISIBLE;
  *x = placement_->destination.left;
  *y = placement_->destination.top;
  return DD_OK;
}

} // namespace ce
