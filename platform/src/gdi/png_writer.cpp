// PNG files of bitmaps, DCs and framebuffer memory, written with libpng's simplified API.
#include <ce/core/png_writer.h>

#include "gdi/gdi_lookup.h"

#include <png.h>

#include <cstdio>
#include <system_error>
#include <vector>

namespace ce {

namespace {

bool writeView(const PixelView& view, const std::filesystem::path& file, std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  if (!view.valid()) return fail("nothing to write: the picture is empty");
  const bool alpha = view.hasAlpha();
  const int channels = alpha ? 4 : 3;
  std::vector<png_byte> pixels(static_cast<std::size_t>(view.width) * view.height * channels);
  std::vector<std::uint32_t> row(static_cast<std::size_t>(view.width));
  for (int y = 0; y < view.height; ++y) {
    view.readRow(0, y, view.width, row.data());
    png_byte* out = pixels.data() + static_cast<std::size_t>(y) * view.width * channels;
    for (int x = 0; x < view.width; ++x) {
      const std::uint32_t p = row[static_cast<std::size_t>(x)];
      std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      const std::uint32_t a = p >> 24;
      if (alpha) {
        // Stored premultiplied; PNG wants straight colours.
        if (a == 0) {
          r = g = b = 0;
        } else if (a < 255) {
          r = std::min<std::uint32_t>(255, (r * 255 + a / 2) / a);
          g = std::min<std::uint32_t>(255, (g * 255 + a / 2) / a);
          b = std::min<std::uint32_t>(255, (b * 255 + a / 2) / a);
        }
      }
      out[0] = static_cast<png_byte>(r);
      out[1] = static_cast<png_byte>(g);
      out[2] = static_cast<png_byte>(b);
      if (alpha) out[3] = static_cast<png_byte>(a);
      out += channels;
    }
  }

  // Write beside the target and rename, so no half-written picture is ever left behind.
  std::filesystem::path temporary = file;
  temporary += ".partial";
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(view.width);
  image.height = static_cast<png_uint_32>(view.height);
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  const std::string temporaryName = temporary.string();
  if (!png_image_write_to_file(&image, temporaryName.c_str(), 0, pixels.data(),
                               view.width * channels, nullptr)) {
    const std::string message = image.message;
    png_image_free(&image);
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return fail("cannot write " + file.string() + ": " + message);
  }
  std::error_code ec;
  std::filesystem::rename(temporary, file, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    return fail("cannot write " + file.string() + ": " + ec.message());
  }
  return true;
}

} // namespace

bool writePng(const PixelMemory& pixels, const std::filesystem::path& file, std::string* error) {
  const std::ptrdiff_t rowBytes =
      static_cast<std::ptrdiff_t>(pixels.width) * (bitsPerPixel(pixelFormatOf(pixels.format)) / 8);
  if (!pixels.bits || pixels.width <= 0 || pixels.height <= 0 ||
      (pixels.stride < 0 ? -pixels.stride : pixels.stride) < rowBytes) {
    if (error) *error = "nothing to write: the pixel memory description is unusable";
    return false;
  }
  PixelView view;
  view.top = static_cast<std::uint8_t*>(pixels.bits);
  view.width = pixels.width;
  view.height = pixels.height;
  view.stride = pixels.stride;
  view.format = pixelFormatOf(pixels.format);
  return writeView(view, file, error);
}

bool writePng(HBITMAP handle, const std::filesystem::path& file, std::string* error) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto bitmap = lookupBitmap(handle);
  if (!bitmap) {
    if (error) *error = "not a bitmap handle";
    return false;
  }
  return writeView(bitmap->view(), file, error);
}

bool writePng(HDC handle, const std::filesystem::path& file, std::string* error) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) {
    if (error) *error = "not a device context handle";
    return false;
  }
  return writeView(dc->pixels(), file, error);
}

} // namespace ce
