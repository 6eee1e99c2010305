// The body shared by the decoder fuzz targets: decode through the factory, then resample and
// lock the result, with the pixel limit lowered so that each run stays short.
#pragma once

#include "../src/imaging/raster.h"

#include <ce/imaging.h>

#include <cstdint>

inline IImagingFactory *fuzzFactory() {
  static IImagingFactory *factory = [] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ce::Raster::setMaxPixels(1u << 20);
    IImagingFactory *f = nullptr;
    CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                     reinterpret_cast<void **>(&f));
    return f;
  }();
  return factory;
}

inline void fuzzDecode(const std::uint8_t *data, std::size_t size) {
  IImagingFactory *factory = fuzzFactory();
  IImage *image = nullptr;
  if (FAILED(factory->CreateImageFromBuffer(data, UINT(size), BufferDisposalFlagNone, &image)))
    return;
  ImageInfo info{};
  image->GetImageInfo(&info);
  IBitmapImage *small = nullptr;
  if (SUCCEEDED(factory->CreateBitmapFromImage(image, 7, 5, PixelFormat16bppRGB565,
                                               InterpolationHintAveraging, &small)))
    small->Release();
  IBitmapImage *bitmap = nullptr;
  if (SUCCEEDED(image->QueryInterface(IID_IBitmapImage, reinterpret_cast<void **>(&bitmap)))) {
    BitmapData locked{};
    if (SUCCEEDED(bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppPARGB, &locked)))
      bitmap->UnlockBits(&locked);
    bitmap->Release();
  }
  image->Release();
}
