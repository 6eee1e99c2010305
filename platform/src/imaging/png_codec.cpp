#include "imaging/png_codec.h"

#include <png.h>

#include <cstring>
#include <new>

namespace ce {

bool PngCodec::hasSignature(const std::uint8_t *data, std::size_t size) {
  static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return size >= 8 && std::memcmp(data, signature, 8) == 0;
}

HRESULT PngCodec::decode(const std::uint8_t *data, std::size_t size, DecodedImage &out) {
  // The simplified libpng interface keeps its setjmp/longjmp inside libpng, so no frame of ours
  // is ever jumped over.
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size))
    return E_FAIL;
  if (!Raster::sizeAllowed(image.width, image.height)) {
    png_image_free(&image);
    return E_OUTOFMEMORY;
  }
  const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  const bool indexed = !alpha && (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
  Raster &raster = out.raster;
  PixelFormatID format = PixelFormat24bppRGB;
  if (alpha)
    format = PixelFormat32bppARGB;
  if (indexed)
    format = PixelFormat8bppIndexed;
  raster.palette.clear();
  if (indexed)
    raster.palette.assign(256, 0xFF000000u); // keeps allocate from picking a default
  if (!raster.allocate(format, image.width, image.height)) {
    png_image_free(&image);
    return E_OUTOFMEMORY;
  }
  int ok = 0;
  if (indexed) {
    image.format = PNG_FORMAT_BGRA_COLORMAP;
    std::vector<std::uint8_t> colormap(PNG_IMAGE_COLORMAP_SIZE(image));
    ok = png_image_finish_read(&image, nullptr, raster.bytes.data(), png_int_32(raster.stride),
                               colormap.data());
    if (ok) {
      raster.palette.resize(image.colormap_entries);
      std::memcpy(raster.palette.data(), colormap.data(), image.colormap_entries * 4);
    }
  } else {
    image.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    ok = png_image_finish_read(&image, nullptr, raster.bytes.data(), png_int_32(raster.stride),
                               nullptr);
  }
  png_image_free(&image);
  if (!ok)
    return E_FAIL;
  if (indexed)
    raster.narrowIndexed();
  out.rawFormat = ImageFormatPNG;
  return S_OK;
}

HRESULT PngCodec::encode(const Raster &raster, std::vector<std::uint8_t> &out) {
  if (raster.format != PixelFormat32bppARGB && raster.format != PixelFormat24bppRGB)
    return E_INVALIDARG;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = raster.width;
  image.height = raster.height;
  image.format = raster.format == PixelFormat32bppARGB ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  png_alloc_size_t bytes = 0;
  if (!png_image_write_get_memory_size(image, bytes, 0, raster.bytes.data(),
                                       png_int_32(raster.stride), nullptr))
    return E_FAIL;
  try {
    out.resize(bytes);
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  if (!png_image_write_to_memory(&image, out.data(), &bytes, 0, raster.bytes.data(),
                                 png_int_32(raster.stride), nullptr))
    return E_FAIL;
  out.resize(bytes);
  return S_OK;
}

} // namespace ce
