// The surfaces of <ce/ddraw.h>: the primary (the shared framebuffer, unclipped), off-screen
// surfaces in this process's memory, and overlays whose pixels the display composes above the
// screen.
#pragma once

#include "display.h"
#include "shared_memory.h"

#include <ce/ddraw.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace ce {

class DirectDrawSurface final : public IDirectDrawSurface {
public:
  enum class Kind { Primary, OffScreen, Overlay };

  // The primary surface. `primaryTaken` is the display object's flag, cleared on release.
  static DirectDrawSurface* primary(std::shared_ptr<Display> display,
                                    std::shared_ptr<std::atomic<bool>> primaryTaken);
  // An off-screen or overlay surface of the given format (Rgb565, Bgr24 or Bgra32). Null with
  // *result set on failure.
  static DirectDrawSurface* memory(std::shared_ptr<Display> display, Kind kind, int width,
                                   int height, FramebufferFormat format, HRESULT* result);

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT GetDC(HDC* dc) override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT Blt(LPRECT destRect, IDirectDrawSurface* source, LPRECT sourceRect, DWORD flags,
              LPDDBLTFX effects) override;
  HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override;
  HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(LPRECT rect) override;
  HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
  HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
  HRESULT UpdateOverlay(LPRECT sourceRect, IDirectDrawSurface* dest, LPRECT destRect, DWORD flags,
                        LPDDOVERLAYFX effects) override;
  HRESULT SetOverlayPosition(LONG x, LONG y) override;
  HRESULT GetOverlayPosition(LONG* x, LONG* y) override;

  Kind kind() const { return kind_; }

private:
  DirectDrawSurface(std::shared_ptr<Display> display, Kind kind);
  ~DirectDrawSurface();

  // The pixels as they are now (the primary follows rotation).
  PixelMemory pixels() const;
  // Is the surface free for a DC, a lock or a blit? Caller holds mutex_.
  HRESULT checkIdle() const;
  void describe(DDSURFACEDESC& desc, const PixelMemory& pixels) const;

  std::shared_ptr<Display> display_;
  Kind kind_;
  std::atomic<ULONG> references_{1};
  mutable std::mutex mutex_;
  std::shared_ptr<std::atomic<bool>> primaryTaken_;
  std::shared_ptr<SharedMemory> memory_;
  PixelMemory own_{};
  HDC dc_ = nullptr;
  bool locked_ = false;
  std::optional<DDCOLORKEY> sourceOverlayKey_;
  std::optional<DDCOLORKEY> sourceBltKey_;
  std::optional<DDCOLORKEY> destOverlayKey_;
  std::optional<DDCOLORKEY> destBltKey_;
  std::uint32_t overlayId_ = 0;
  std::optional<OverlayPlacement> placement_;
};

} // namespace ce
