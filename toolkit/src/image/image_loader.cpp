#include <toolkit/image/image_loader.h>
#include <toolkit/image/imaging_factory.h>
#include <toolkit/surface/drawing_reports.h>

#include <ce/windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

namespace {

std::atomic<bool> withoutPlaceholder{false};

bool isSixteenBitFormat(PixelFormatID format) {
  switch (format) {
  case PixelFormat1bppIndexed:
  case PixelFormat4bppIndexed:
  case PixelFormat8bppIndexed:
  case PixelFormat16bppRGB555:
  case PixelFormat16bppRGB565:
  case PixelFormat16bppARGB1555:
  case PixelFormat24bppRGB:
    return true;
  default:
    return false;
  }
}

// A surface made from the pixels of the image resampled by the factory, locked in the format
// that matches the surface's depth (5-6-5, or premultiplied B,G,R,A).
Surface *surfaceFromBitmap(IImage *image, UINT width, UINT height, int depth) {
  IImagingFactory *factory = ImagingFactory::forThread();
  if (!factory)
    return nullptr;
  const PixelFormatID format = depth == 16 ? PixelFormat16bppRGB565 : PixelFormat32bppPARGB;
  IBitmapImage *bitmap = nullptr;
  HRESULT result = factory->CreateBitmapFromImage(image, width, height, format,
                                                  InterpolationHintNearestNeighbor, &bitmap);
  if (FAILED(result)) {
    reportImgError(result, u"imageToSurf CreateBitmapFromImage");
    return nullptr;
  }
  BitmapData data{};
  result = bitmap->LockBits(nullptr, ImageLockModeRead, format, &data);
  Surface *surface = nullptr;
  if (FAILED(result)) {
    reportImgError(result, u"imageToSurf LockBits");
  } else {
    surface = createSurfFromPixels(static_cast<int>(width), static_cast<int>(height), depth,
                                   data.Scan0, data.Stride);
    bitmap->UnlockBits(&data);
  }
  bitmap->Release();
  return surface;
}

// Bilinear resampling of a picture with alpha into premultiplied pixels. The alpha and red bytes
// are weighted together as one 16-bit value, whose top byte is the blended alpha.
Surface *resampleWithAlpha(IImage *image, UINT sourceWidth, UINT sourceHeight, UINT width,
                           UINT height, double scale) {
  IImagingFactory *factory = ImagingFactory::forThread();
  if (!factory)
    return nullptr;
  IBitmapImage *bitmap = nullptr;
  HRESULT result = factory->CreateBitmapFromImage(
      image, sourceWidth, sourceHeight, PixelFormat32bppARGB, InterpolationHintDefault, &bitmap);
  if (FAILED(result)) {
    reportImgError(result, u"imageToSurf CreateBitmapFromImage");
    return nullptr;
  }
  BitmapData data{};
  result = bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data);
  if (FAILED(result)) {
    reportImgError(result, u"imageToSurf LockBits");
    bitmap->Release();
    return nullptr;
  }
  const auto source = [&](int x, int y) {
    const auto *row = static_cast<const std::uint8_t *>(data.Scan0) +
                      static_cast<std::ptrdiff_t>(y) * data.Stride;
    return reinterpret_cast<const std::uint32_t *>(row)[x];
  };
  // Index and weight along one axis; the last source pixel pairs with the one before it, and a
  // picture one pixel across pairs that pixel with itself.
  const double reciprocal = 1.0 / scale;
  struct Sample {
    int first, second;
    std::uint32_t fraction;
  };
  const auto sample = [&](UINT out, UINT extent) {
    int index = static_cast<int>(out * reciprocal);
    std::uint32_t fraction = 255;
    if (index < static_cast<int>(extent) - 1)
      fraction = static_cast<std::uint32_t>((out - index * scale) * reciprocal * 255);
    else
      index = static_cast<int>(extent) - 2;
    const int last = static_cast<int>(extent) - 1;
    return Sample{std::clamp(index, 0, last), std::clamp(index + 1, 0, last), fraction};
  };

  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  for (UINT y = 0; y < height; ++y) {
    const Sample sy = sample(y, sourceHeight);
    for (UINT x = 0; x < width; ++x) {
      const Sample sx = sample(x, sourceWidth);
      const std::uint32_t p00 = source(sx.first, sy.first), p01 = source(sx.first, sy.second),
                          p11 = source(sx.second, sy.second), p10 = source(sx.second, sy.first);
      const std::uint32_t w00 = (256 - sx.fraction) * (256 - sy.fraction);
      const std::uint32_t w01 = (256 - sx.fraction) * sy.fraction;
      const std::uint32_t w11 = sx.fraction * sy.fraction;
      const std::uint32_t w10 = 65536 - w00 - w01 - w11;
      const auto weighted = [&](int shift) {
        return ((p00 >> shift & 0xFF) * w00 + (p01 >> shift & 0xFF) * w01 +
                (p11 >> shift & 0xFF) * w11 + (p10 >> shift & 0xFF) * w10) >>
               16;
      };
      const std::uint32_t alphaRed =
          (p00 >> 16) * w00 + (p01 >> 16) * w01 + (p11 >> 16) * w11 + (p10 >> 16) * w10;
      std::uint32_t out = 0;
      if ((alphaRed >> 24) == 0xFF) {
        out = 0xFF000000u | weighted(16) << 16 | weighted(8) << 8 | weighted(0);
      } else if (alphaRed >= 0x1000000u) {
        const std::uint32_t alpha = alphaRed >> 24;
        out = alpha << 24 | (weighted(16) * alpha / 255) << 16 | (weighted(8) * alpha / 255) << 8 |
              weighted(0) * alpha / 255;
      }
      pixels[static_cast<std::size_t>(y) * width + x] = out;
    }
  }
  bitmap->UnlockBits(&data);
  bitmap->Release();
  return createSurfFromPixels(static_cast<int>(width), static_cast<int>(height), 32, pixels.data(),
                              static_cast<int>(width * 4));
}

} // namespace

bool setNoImagePlaceholder(bool on) { return withoutPlaceholder.exchange(on); }

bool noImagePlaceholder() { return withoutPlaceholder.load(); }

IImage *openImage(const std::u16string &path) {
  IImagingFactory *factory = ImagingFactory::forThread();
  if (!factory)
    return nullptr;
  IImage *image = nullptr;
  const HRESULT result = factory->CreateImageFromFile(path.c_str(), &image);
  if (SUCCEEDED(result))
    return image;
  reportImgError(result, u"openImage CreateImageFromFile");
  if (withoutPlaceholder.load())
    return nullptr;
  IBitmapImage *blank = nullptr;
  if (FAILED(factory->CreateNewBitmap(4, 4, PixelFormat16bppRGB565, &blank)))
    return nullptr;
  image = nullptr;
  blank->QueryInterface(IID_IImage, reinterpret_cast<void **>(&image));
  blank->Release();
  return image;
}

Surface *loadImage(const std::u16string &path, double size) {
  IImage *image = openImage(path);
  if (!image)
    return nullptr;
  ImageInfo info{};
  Surface *surface = nullptr;
  if (SUCCEEDED(image->GetImageInfo(&info)) && info.Width + info.Height <= 99999 &&
      info.Width > 0) {
    const double scale = size == 0 ? 1.0 : size > 0 ? size / info.Width : -size;
    surface = imageToSurf(image, path.find(u".png") != std::u16string::npos, scale);
  }
  image->Release();
  return surface;
}

Surface *imageToSurf(IImage *image, bool hasAlpha, double scale) {
  if (!image || !(scale > 0))
    return nullptr;
  ImageInfo info{};
  HRESULT result = image->GetImageInfo(&info);
  if (FAILED(result)) {
    reportImgError(result, u"imageToSurf GetImageInfo");
    return nullptr;
  }
  const std::uint64_t pixels = std::uint64_t(info.Width) * info.Height;
  const std::uint64_t screen =
      std::uint64_t(GetSystemMetrics(SM_CXSCREEN)) * std::uint64_t(GetSystemMetrics(SM_CYSCREEN));
  if (scale == 1.0 && pixels > 2 * screen)
    scale = static_cast<double>(GetSystemMetrics(SM_CYSCREEN)) / info.Width;
  const bool large = pixels >= screen / 2;
  const PixelFormatID format = hasAlpha ? PixelFormat32bppARGB : info.PixelFormat;
  const UINT width = static_cast<UINT>(info.Width * scale);
  const UINT height = static_cast<UINT>(info.Height * scale);
  if (width == 0 || height == 0)
    return nullptr;
  const int depth = isSixteenBitFormat(format) ? 16 : 32;

  if (depth == 16 || scale == 1.0 || large) {
    if (!hasAlpha || large) {
      Surface *surface = nullptr;
      const DDSURFACEDESC description =
          describeSurface(static_cast<int>(width), static_cast<int>(height), 16);
      createSurf(&description, &surface);
      const RECT area{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
      if (surface && surface->dc && SUCCEEDED(image->Draw(surface->dc, &area, nullptr)))
        return surface;
      reportImgError(E_FAIL, u"imageToSurf Draw");
      deleteSurf(&surface);
      return surfaceFromBitmap(image, width, height, 16);
    }
    return surfaceFromBitmap(image, width, height, depth);
  }
  return resampleWithAlpha(image, info.Width, info.Height, width, height, scale);
}
