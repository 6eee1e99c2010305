#include "imaging/imaging_factory.h"

#include "imaging/bitmap_image.h"
#include "imaging/codec_catalog.h"
#include "imaging/file_bytes.h"
#include "imaging/image_decoder.h"
#include "imaging/pixel_converter.h"
#include "imaging/png_encoder.h"
#include "imaging/resampler.h"

#include <cstring>
#include <new>

namespace ce {
namespace {

HRESULT wrapDecoded(DecodedImage &&decoded, IImage **image) {
  auto *bitmap = new (std::nothrow) BitmapImage(std::move(decoded));
  if (!bitmap)
    return E_OUTOFMEMORY;
  *image = static_cast<IImage *>(bitmap);
  return S_OK;
}

// Releases an interface pointer at the end of a scope.
template <class T> struct Held {
  T *p = nullptr;
  ~Held() {
    if (p)
      p->Release();
  }
};

} // namespace

HRESULT ImagingFactory::QueryInterface(REFIID iid, void **object) {
  if (!object)
    return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IImagingFactory) {
    *object = static_cast<IImagingFactory *>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT ImagingFactory::CreateImageFromFile(const WCHAR *fileName, IImage **image) {
  if (!image)
    return E_INVALIDARG;
  *image = nullptr;
  if (!fileName || !*fileName)
    return E_INVALIDARG;
  std::vector<std::uint8_t> bytes;
  HRESULT hr = FileBytes::read(fileName, bytes);
  if (FAILED(hr))
    return hr;
  DecodedImage decoded;
  hr = ImageDecoder::decode(bytes.data(), bytes.size(), decoded);
  if (FAILED(hr))
    return hr;
  return wrapDecoded(std::move(decoded), image);
}

HRESULT ImagingFactory::CreateImageFromBuffer(const void *buffer, UINT size,
                                              BufferDisposalFlag disposal, IImage **image) {
  if (!image)
    return E_INVALIDARG;
  *image = nullptr;
  if (!buffer || size == 0)
    return E_INVALIDARG;
  if (disposal != BufferDisposalFlagNone && disposal != BufferDisposalFlagCoTaskMemFree)
    return E_INVALIDARG;
  DecodedImage decoded;
  HRESULT hr = ImageDecoder::decode(static_cast<const std::uint8_t *>(buffer), size, decoded);
  if (FAILED(hr))
    return hr;
  hr = wrapDecoded(std::move(decoded), image);
  // The pixels are decoded into memory of our own, so the buffer goes at once.
  if (SUCCEEDED(hr) && disposal == BufferDisposalFlagCoTaskMemFree)
    CoTaskMemFree(const_cast<void *>(buffer));
  return hr;
}

HRESULT ImagingFactory::CreateNewBitmap(UINT width, UINT height, PixelFormatID format,
                                        IBitmapImage **bitmap) {
  if (!bitmap)
    return E_INVALIDARG;
  *bitmap = nullptr;
  if (width == 0 || height == 0 || !PixelConverter::isSupported(format))
    return E_INVALIDARG;
  DecodedImage blank;
  if (!blank.raster.allocate(format, width, height))
    return E_OUTOFMEMORY;
  blank.rawFormat = ImageFormatMemoryBMP;
  auto *created = new (std::nothrow) BitmapImage(std::move(blank));
  if (!created)
    return E_OUTOFMEMORY;
  *bitmap = static_cast<IBitmapImage *>(created);
  return S_OK;
}

HRESULT ImagingFactory::CreateBitmapFromImage(IImage *image, UINT width, UINT height,
                                              PixelFormatID format, InterpolationHint hints,
                                              IBitmapImage **bitmap) {
  if (!bitmap)
    return E_INVALIDARG;
  *bitmap = nullptr;
  if (!image)
    return E_INVALIDARG;
  Held<IBitmapImage> source;
  if (FAILED(image->QueryInterface(IID_IBitmapImage, reinterpret_cast<void **>(&source.p))))
    return IMGERR_NOCONVERSION;
  SIZE size{};
  PixelFormatID sourceFormat = 0;
  source.p->GetSize(&size);
  source.p->GetPixelFormatID(&sourceFormat);
  if (width == 0)
    width = UINT(size.cx);
  if (height == 0)
    height = UINT(size.cy);
  if (format == PixelFormatDontCare)
    format = sourceFormat;
  if (!PixelConverter::isSupported(format))
    return E_INVALIDARG;

  // The source as premultiplied pixels.
  std::vector<ARGB> pixels;
  BitmapData locked{};
  HRESULT hr = source.p->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppPARGB, &locked);
  if (FAILED(hr))
    return hr;
  try {
    pixels.resize(std::size_t(size.cx) * std::size_t(size.cy));
  } catch (const std::bad_alloc &) {
    source.p->UnlockBits(&locked);
    return E_OUTOFMEMORY;
  }
  for (LONG y = 0; y < size.cy; ++y)
    std::memcpy(pixels.data() + std::size_t(y) * std::size_t(size.cx),
                static_cast<const std::uint8_t *>(locked.Scan0) + std::ptrdiff_t(y) * locked.Stride,
                std::size_t(size.cx) * 4);
  source.p->UnlockBits(&locked);

  IBitmapImage *createdInterface = nullptr;
  hr = CreateNewBitmap(width, height, format, &createdInterface);
  if (FAILED(hr))
    return hr;
  auto *created = static_cast<BitmapImage *>(createdInterface);
  if (IsIndexedPixelFormat(format)) {
    ColorPalette *palette = nullptr;
    if (SUCCEEDED(source.p->GetPalette(&palette)) &&
        palette->Count <= (1u << GetPixelFormatSize(format)))
      created->setPaletteEntries(
          std::vector<ARGB>(palette->Entries, palette->Entries + palette->Count));
    CoTaskMemFree(palette);
  }
  pixels = Resampler::resize(pixels, UINT(size.cx), UINT(size.cy), width, height,
                             Resampler::forHint(hints));
  for (auto &p : pixels)
    p = PixelConverter::unpremultiply(p);
  created->storeArgb(pixels);
  *bitmap = createdInterface;
  return S_OK;
}

HRESULT ImagingFactory::CreateBitmapFromBuffer(BitmapData *data, IBitmapImage **bitmap) {
  if (!bitmap)
    return E_INVALIDARG;
  *bitmap = nullptr;
  if (!data || !data->Scan0 || data->Width == 0 || data->Height == 0 ||
      !PixelConverter::isSupported(data->PixelFormat) ||
      !Raster::sizeAllowed(data->Width, data->Height))
    return E_INVALIDARG;
  const std::int64_t stride = data->Stride;
  const std::uint64_t rowBytes =
      (std::uint64_t(data->Width) * GetPixelFormatSize(data->PixelFormat) + 7) / 8;
  if (std::uint64_t(stride < 0 ? -stride : stride) < rowBytes)
    return E_INVALIDARG;
  auto *created = new (std::nothrow) BitmapImage(*data);
  if (!created)
    return E_OUTOFMEMORY;
  *bitmap = static_cast<IBitmapImage *>(created);
  return S_OK;
}

HRESULT ImagingFactory::GetInstalledDecoders(UINT *count, ImageCodecInfo **decoders) {
  return CodecCatalog::list(false, count, decoders);
}

HRESULT ImagingFactory::GetInstalledEncoders(UINT *count, ImageCodecInfo **encoders) {
  return CodecCatalog::list(true, count, encoders);
}

HRESULT ImagingFactory::CreateImageEncoderToFile(const CLSID *clsid, const WCHAR *fileName,
                                                 IImageEncoder **encoder) {
  if (!encoder)
    return E_INVALIDARG;
  *encoder = nullptr;
  if (!clsid || !fileName)
    return E_INVALIDARG;
  if (!(*clsid == CLSID_PngEncoder))
    return IMGERR_CODECNOTFOUND;
  const HRESULT hr = FileBytes::checkWritable(fileName);
  if (FAILED(hr))
    return hr;
  auto *created = new (std::nothrow) PngEncoder(std::u16string(fileName));
  if (!created)
    return E_OUTOFMEMORY;
  *encoder = created;
  return S_OK;
}

} // namespace ce
