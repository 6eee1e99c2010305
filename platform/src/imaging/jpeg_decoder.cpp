#include "imaging/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

namespace ce {
namespace {

constexpr int kMaxScans = 500;

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to
// decodeInto. decodeInto holds only plain C data, so the jump skips no destructor.
struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
  bool truncated;
};

[[noreturn]] void onError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
    reinterpret_cast<ErrorManager *>(cinfo->err)->truncated = true;
}

void onProgress(j_common_ptr cinfo) {
  auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans)
    onError(cinfo);
}

HRESULT decodeInto(const std::uint8_t *data, std::size_t size, Raster *raster, double *dpi) {
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  jpeg_progress_mgr progress;
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = onError;
  errors.base.emit_message = onMessage;
  errors.truncated = false;
  progress.progress_monitor = onProgress;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return E_FAIL;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || errors.truncated) {
    jpeg_destroy_decompress(&cinfo);
    return E_FAIL;
  }
  if (!Raster::sizeAllowed(cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    return E_OUTOFMEMORY;
  }
  if (cinfo.density_unit == 1 && cinfo.X_density > 0)
    *dpi = cinfo.X_density;
  if (cinfo.density_unit == 2 && cinfo.X_density > 0)
    *dpi = cinfo.X_density * 2.54;
  cinfo.out_color_space = JCS_EXT_BGR;
  if (!raster->allocate(PixelFormat24bppRGB, cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    return E_OUTOFMEMORY;
  }
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width != raster->width || cinfo.output_height != raster->height ||
      cinfo.output_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    return E_FAIL;
  }
  while (cinfo.output_scanline < cinfo.output_height && !errors.truncated) {
    JSAMPROW row = raster->row(cinfo.output_scanline);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
      break;
  }
  // Every row arrived; a missing end marker after them costs nothing.
  const bool complete = cinfo.output_scanline == cinfo.output_height && !errors.truncated;
  if (complete)
    jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return complete ? S_OK : E_FAIL;
}

} // namespace

bool JpegDecoder::hasSignature(const std::uint8_t *data, std::size_t size) {
  return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

HRESULT JpegDecoder::decode(const std::uint8_t *data, std::size_t size, DecodedImage &out) {
  double dpi = 96;
  const HRESULT hr = decodeInto(data, size, &out.raster, &dpi);
  if (FAILED(hr))
    return hr;
  out.rawFormat = ImageFormatJPEG;
  out.dpiX = out.dpiY = dpi;
  return S_OK;
}

} // namespace ce
