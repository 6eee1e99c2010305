// The sink of the PNG encoder: takes an image's pixels row by row into its frame.
#pragma once

#include "imaging/encode_frame.h"
#include "imaging/ref_counted.h"

#include <memory>

namespace ce {

class PngEncodeSink final : public IImageSink {
public:
  explicit PngEncodeSink(std::shared_ptr<EncodeFrame> frame) : frame_(std::move(frame)) {}

  HRESULT QueryInterface(REFIID iid, void **object) override;
  CE_IMPLEMENT_REFCOUNT(PngEncodeSink)

  // Asks for 32 bpp ARGB pixels, top-down; a second call starts the frame again.
  HRESULT BeginSink(ImageInfo *info, RECT *subarea) override;
  HRESULT EndSink(HRESULT status) override;
  HRESULT SetPalette(const ColorPalette *palette) override;
  HRESULT GetPixelDataBuffer(const RECT *rect, PixelFormatID format, BOOL lastPass,
                             BitmapData *data) override;
  HRESULT ReleasePixelDataBuffer(const BitmapData *data) override;
  HRESULT PushPixelData(const RECT *rect, const BitmapData *data, BOOL lastPass) override;

private:
  ~PngEncodeSink() = default;
  // Converts rows of `format` into the canvas at `rect` (frame mutex held).
  void store(const RECT &rect, PixelFormatID format, const std::uint8_t *scan0, long stride);
  bool fits(const RECT &rect) const;

  RefCounted refs_;
  std::shared_ptr<EncodeFrame> frame_;
};

} // namespace ce
