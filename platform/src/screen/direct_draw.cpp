#include "direct_draw.h"

#include "direct_draw_surface.h"

#include <cstring>

namespace ce {
namespace {

constexpr int kMaximumSide = 4096;

// The pixel format a description asks for, or nothing when it is not one we make.
std::optional<FramebufferFormat> requestedFormat(const DDSURFACEDESC& desc, bool overlay) {
  if (!(desc.dwFlags & DDSD_PIXELFORMAT)) return FramebufferFormat::Rgb565;
  const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
  switch (format.dwRGBBitCount) {
  case 16:
    // Masks, when given, must be 5-6-5.
    if ((format.dwRBitMask || format.dwGBitMask || format.dwBBitMask) &&
        (format.dwRBitMask != 0xF800 || format.dwGBitMask != 0x07E0 || format.dwBBitMask != 0x001F))
      return std::nullopt;
    return FramebufferFormat::Rgb565;
  case 24:
    if (overlay) return std::nullopt;
    return FramebufferFormat::Bgr24;
  case 32: return FramebufferFormat::Bgra32;
  default: return std::nullopt;
  }
}

} // namespace

HRESULT DirectDraw::QueryInterface(REFIID, void** object) {
  if (object) *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DirectDraw::AddRef() { return ++references_; }

ULONG DirectDraw::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT DirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
  constexpr DWORD kOtherPlatformsNormal = 0x00000008u;
  const DWORD exclusive = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE;
  const bool normal = flags == DDSCL_NORMAL || flags == kOtherPlatformsNormal;
  const bool fullScreen = flags == exclusive;
  if (!normal && !fullScreen) return DDERR_INVALIDPARAMS;
  if (fullScreen && !window) return DDERR_INVALIDPARAMS;
  cooperativeLevel_.store(fullScreen ? Level::Exclusive : Level::Normal);
  return DD_OK;
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                  IUnknown* outer) {
  if (!surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || outer) return DDERR_INVALIDPARAMS;
  if (cooperativeLevel_.load() == Level::NotSet) return DDERR_NOCOOPERATIVELEVELSET;
  const DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : 0;
  const DWORD kinds = caps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_OVERLAY | DDSCAPS_OFFSCREENPLAIN);
  if (kinds & (kinds - 1)) return DDERR_INVALIDCAPS; // more than one kind

  if (kinds == DDSCAPS_PRIMARYSURFACE) {
    // The primary is the screen: its size and format are the screen's.
    if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    bool expected = false;
    if (!primaryTaken_->compare_exchange_strong(expected, true))
      return DDERR_PRIMARYSURFACEALREADYEXISTS;
    *surface = DirectDrawSurface::primary(display_, primaryTaken_);
    return DD_OK;
  }

  if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT))
    return DDERR_INVALIDPARAMS;
  if (desc->dwWidth < 1 || desc->dwWidth > kMaximumSide || desc->dwHeight < 1 ||
      desc->dwHeight > kMaximumSide)
    return DDERR_INVALIDPARAMS;
  const bool overlay = kinds == DDSCAPS_OVERLAY;
  const auto format = requestedFormat(*desc, overlay);
  if (!format) return DDERR_INVALIDPIXELFORMAT;
  HRESULT result = DD_OK;
  DirectDrawSurface* made = DirectDrawSurface::memory(
      display_, overlay ? DirectDrawSurface::Kind::Overlay : DirectDrawSurface::Kind::OffScreen,
      int(desc->dwWidth), int(desc->dwHeight), *format, &result);
  if (!made) return result;
  // Colour keys given with the description.
  const struct {
    DWORD flag;
    DWORD key;
    const DDCOLORKEY* value;
  } keys[] = {{DDSD_CKSRCOVERLAY, DDCKEY_SRCOVERLAY | DDCKEY_COLORSPACE, &desc->ddckCKSrcOverlay},
              {DDSD_CKSRCBLT, DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &desc->ddckCKSrcBlt},
              {DDSD_CKDESTOVERLAY, DDCKEY_DESTOVERLAY | DDCKEY_COLORSPACE, &desc->ddckCKDestOverlay},
              {DDSD_CKDESTBLT, DDCKEY_DESTBLT | DDCKEY_COLORSPACE, &desc->ddckCKDestBlt}};
  for (const auto& key : keys) {
    if (!(desc->dwFlags & key.flag)) continue;
    DDCOLORKEY value = *key.value;
    if (const HRESULT set = made->SetColorKey(key.key, &value); set != DD_OK) {
      made->Release();
      return set;
    }
  }
  *surface = made;
  return DD_OK;
}

HRESULT DirectDraw::GetDisplayMode(LPDDSURFACEDESC desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  const PixelMemory screen = display_->framebuffer();
  std::memset(desc, 0, sizeof *desc);
  desc->dwSize = sizeof *desc;
  desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = DWORD(screen.width);
  desc->dwHeight = DWORD(screen.height);
  desc->lPitch = LONG(screen.stride);
  desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc->ddpfPixelFormat.dwRGBBitCount = 16;
  desc->ddpfPixelFormat.dwRBitMask = 0xF800;
  desc->ddpfPixelFormat.dwGBitMask = 0x07E0;
  desc->ddpfPixelFormat.dwBBitMask = 0x001F;
  return DD_OK;
}

} // namespace ce
