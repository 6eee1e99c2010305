// The display object of <ce/ddraw.h>.
#pragma once

#include "display.h"

#include <ce/ddraw.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace ce {

class DirectDraw final : public IDirectDraw {
public:
  explicit DirectDraw(std::shared_ptr<Display> display) : display_(std::move(display)) {}

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                        IUnknown* outer) override;
  HRESULT GetDisplayMode(LPDDSURFACEDESC desc) override;

private:
  ~DirectDraw() = default;

  std::shared_ptr<Display> display_;
  std::atomic<ULONG> references_{1};
  // DDSCL_NORMAL is 0, so "not set" needs a value of its own.
  enum class Level { NotSet, Normal, Exclusive };
  std::atomic<Level> cooperativeLevel_{Level::NotSet};
  std::shared_ptr<std::atomic<bool>> primaryTaken_ = std::make_shared<std::atomic<bool>>(false);
};

} // namespace ce
