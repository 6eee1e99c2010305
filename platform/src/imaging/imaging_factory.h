// The imaging factory: creates images from files and buffers, bitmaps, and encoders.
#pragma once

#include "imaging/ref_counted.h"

#include <ce/imaging.h>

namespace ce {

class ImagingFactory final : public IImagingFactory {
public:
  HRESULT QueryInterface(REFIID iid, void **object) override;
  CE_IMPLEMENT_REFCOUNT(ImagingFactory)

  HRESULT CreateImageFromFile(const WCHAR *fileName, IImage **image) override;
  HRESULT CreateImageFromBuffer(const void *buffer, UINT size, BufferDisposalFlag disposal,
                                IImage **image) override;
  HRESULT CreateNewBitmap(UINT width, UINT height, PixelFormatID format,
                          IBitmapImage **bitmap) override;
  HRESULT CreateBitmapFromImage(IImage *image, UINT width, UINT height, PixelFormatID format,
                                InterpolationHint hints, IBitmapImage **bitmap) override;
  HRESULT CreateBitmapFromBuffer(BitmapData *data, IBitmapImage **bitmap) override;
  HRESULT GetInstalledDecoders(UINT *count, ImageCodecInfo **decoders) override;
  HRESULT GetInstalledEncoders(UINT *count, ImageCodecInfo **encoders) override;
  HRESULT CreateImageEncoderToFile(const CLSID *clsid, const WCHAR *fileName,
                                   IImageEncoder **encoder) override;

private:
  ~ImagingFactory() = default;
  RefCounted refs_;
};

} // namespace ce
