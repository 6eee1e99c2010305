// A bitmap in memory: the object behind IBitmapImage and IImage for decoded files, new bitmaps
// and bitmaps over a caller's buffer.
#pragma once

#include "imaging/decoded_image.h"
#include "imaging/ref_counted.h"

#include <ce/imaging.h>

#include <mutex>
#include <vector>

namespace ce {

class BitmapImage final : public IImage, public IBitmapImage {
public:
  // Takes the decoded pixels.
  explicit BitmapImage(DecodedImage &&image);
  // Wraps the caller's pixels; they must outlive the bitmap.
  BitmapImage(const BitmapData &external);

  // IUnknown
  HRESULT QueryInterface(REFIID iid, void **object) override;
  CE_IMPLEMENT_REFCOUNT(BitmapImage)

  // IImage
  HRESULT GetPhysicalDimension(SIZE *size) override;
  HRESULT GetImageInfo(ImageInfo *info) override;
  HRESULT SetImageFlags(UINT flags) override;
  HRESULT Draw(HDC dc, const RECT *dstRect, const RECT *srcRect) override;
  HRESULT PushIntoSink(IImageSink *sink) override;
  HRESULT GetThumbnail(UINT width, UINT height, IImage **thumbnail) override;

  // IBitmapImage
  HRESULT GetSize(SIZE *size) override;
  HRESULT GetPixelFormatID(PixelFormatID *format) override;
  HRESULT LockBits(const RECT *rect, UINT flags, PixelFormatID format,
                   BitmapData *lockedData) override;
  HRESULT UnlockBits(const BitmapData *lockedData) override;
  HRESULT GetPalette(ColorPalette **palette) override;
  HRESULT SetPalette(const ColorPalette *palette) override;

  // All pixels as premultiplied ARGB, top-down.
  std::vector<ARGB> premultipliedPixels() const;
  // Stores non-premultiplied ARGB rows (width x height) into the bitmap's own format.
  void storeArgb(const std::vector<ARGB> &pixels);
  UINT width() const { return width_; }
  UINT height() const { return height_; }
  PixelFormatID format() const { return format_; }
  const std::vector<ARGB> &palette() const { return palette_; }
  void setPaletteEntries(std::vector<ARGB> entries) { palette_ = std::move(entries); }

  // Copies `rect` of the bitmap into rows at `scan0`/`stride` in `format`, or back.
  void copyOut(const RECT &rect, PixelFormatID format, std::uint8_t *scan0, long stride) const;
  void copyIn(const RECT &rect, PixelFormatID format, const std::uint8_t *scan0, long stride,
              const std::vector<ARGB> &sourcePalette);

private:
  ~BitmapImage() = default;

  std::uint8_t *rowAt(UINT y) const { return base_ + std::ptrdiff_t(y) * stride_; }
  std::vector<ARGB> paletteFor(PixelFormatID format) const;

  RefCounted refs_;
  std::vector<std::uint8_t> owned_;
  std::uint8_t *base_ = nullptr; // row 0
  long stride_ = 0;
  UINT width_ = 0;
  UINT height_ = 0;
  PixelFormatID format_ = PixelFormat32bppARGB;
  std::vector<ARGB> palette_;
  GUID rawFormat_ = ImageFormatMemoryBMP;
  double dpiX_ = 96;
  double dpiY_ = 96;
  UINT flags_ = 0;

  // The one lock allowed at a time.
  std::mutex lockMutex_;
  bool locked_ = false;
  RECT lockRect_{};
  UINT lockFlags_ = 0;
  PixelFormatID lockFormat_ = 0;
  bool lockDirect_ = false;
  std::uint8_t *lockScan0_ = nullptr;
  long lockStride_ = 0;
  std::vector<std::uint8_t> lockBuffer_;
  UINT_PTR lockCookie_ = 0;
};

} // namespace ce
