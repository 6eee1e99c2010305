// A bitmap: pixel memory in one of the GDI pixel formats, as made by CreateBitmap,
// CreateCompatibleBitmap or CreateDIBSection.
#pragma once

#include "gdi/gdi_object.h"
#include "gdi/pixel_view.h"

#include <ce/gdi.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace ce {

class DeviceContext;

class Bitmap : public GdiObject {
public:
  static constexpr int kMaxSide = 16384;
  static constexpr std::size_t kMaxBytes = std::size_t(256) << 20;

  struct Layout {
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::Rgb565;
    bool topDown = true;
    // Rows padded to 4 bytes (DIB sections) or to 2 bytes (device-dependent bitmaps).
    int rowAlignment = 2;
    std::vector<std::uint32_t> palette; // 0x00RRGGBB entries for indexed formats
    bool monochrome = false;            // a 1-bit device-dependent bitmap (text/background colours)
    bool dibSection = false;
    DWORD bitfields[3] = {0, 0, 0};
    DWORD compression = 0; // BI_RGB or BI_BITFIELDS, as the DIB section was created
  };

  // A zero-filled bitmap; null with *error set (ERROR_INVALID_PARAMETER for a bad size,
  // ERROR_NOT_ENOUGH_MEMORY when memory runs out).
  static std::shared_ptr<Bitmap> create(Layout layout, DWORD* error);

  GdiKind kind() const override { return GdiKind::Bitmap; }

  const Layout& layout() const { return layout_; }
  int width() const { return layout_.width; }
  int height() const { return layout_.height; }
  PixelFormat format() const { return layout_.format; }
  std::size_t stride() const { return stride_; }
  std::size_t byteSize() const { return stride_ * static_cast<std::size_t>(layout_.height); }
  // The memory as laid out: for a bottom-up bitmap the bottom row comes first.
  std::uint8_t* bits() const { return bits_.get(); }
  PixelView view() const;

  BITMAP describe() const;
  DIBSECTION describeSection() const;

  // The DC the bitmap is selected into, if any (never set for the stock bitmap).
  DeviceContext* selectedInto = nullptr;

private:
  struct FreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
  };
  Layout layout_;
  std::size_t stride_ = 0;
  std::unique_ptr<std::uint8_t, FreeDeleter> bits_;
  std::vector<std::uint32_t> opaquePalette_; // palette with alpha 255 for the raster code
};

} // namespace ce
