#include "imaging/png_encode_sink.h"

#include "imaging/pixel_converter.h"

#include <new>

namespace ce {

HRESULT PngEncodeSink::QueryInterface(REFIID iid, void **object) {
  if (!object)
    return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IImageSink) {
    *object = static_cast<IImageSink *>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT PngEncodeSink::BeginSink(ImageInfo *info, RECT *subarea) {
  if (!info)
    return E_INVALIDARG;
  if (info->Width == 0 || info->Height == 0)
    return E_INVALIDARG;
  std::lock_guard guard(frame_->mutex);
  EncodeFrame &f = *frame_;
  f.canvas = Raster{};
  if (!f.canvas.allocate(PixelFormat32bppARGB, info->Width, info->Height))
    return E_OUTOFMEMORY;
  f.alpha = IsAlphaPixelFormat(info->PixelFormat) || (info->Flags & ImageFlagsHasAlpha);
  f.begun = true;
  f.complete = false;
  f.lent = false;
  f.rowDone.assign(info->Height, 0);
  info->PixelFormat = PixelFormat32bppARGB;
  info->Flags = (info->Flags & ~SinkFlagsBottomUp & ~SinkFlagsMultipass) | SinkFlagsTopDown |
                SinkFlagsFullWidth;
  if (subarea)
    *subarea = RECT{0, 0, LONG(info->Width), LONG(info->Height)};
  return S_OK;
}

HRESULT PngEncodeSink::EndSink(HRESULT status) {
  std::lock_guard guard(frame_->mutex);
  EncodeFrame &f = *frame_;
  if (!f.begun)
    return E_FAIL;
  bool all = true;
  for (auto done : f.rowDone)
    all = all && done;
  f.complete = SUCCEEDED(status) && all;
  f.lent = false;
  return f.complete || FAILED(status) ? S_OK : E_FAIL;
}

HRESULT PngEncodeSink::SetPalette(const ColorPalette *palette) {
  if (!palette || palette->Count > 256)
    return E_INVALIDARG;
  std::lock_guard guard(frame_->mutex);
  frame_->palette.assign(palette->Entries, palette->Entries + palette->Count);
  return S_OK;
}

bool PngEncodeSink::fits(const RECT &r) const {
  const Raster &c = frame_->canvas;
  return frame_->begun && r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         std::uint64_t(r.right) <= c.width && std::uint64_t(r.bottom) <= c.height;
}

HRESULT PngEncodeSink::GetPixelDataBuffer(const RECT *rect, PixelFormatID format, BOOL,
                                          BitmapData *data) {
  if (!rect || !data || !PixelConverter::isSupported(format))
    return E_INVALIDARG;
  std::lock_guard guard(frame_->mutex);
  EncodeFrame &f = *frame_;
  if (!fits(*rect) || f.lent)
    return E_INVALIDARG;
  const UINT w = UINT(rect->right - rect->left), h = UINT(rect->bottom - rect->top);
  const std::uint64_t stride = PixelConverter::strideFor(format, w);
  try {
    f.lentBytes.assign(std::size_t(stride * h), 0);
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  f.lent = true;
  f.lentRect = *rect;
  f.lentFormat = format;
  *data = {w, h, LONG(stride), format, f.lentBytes.data(), 0};
  return S_OK;
}

HRESULT PngEncodeSink::ReleasePixelDataBuffer(const BitmapData *data) {
  if (!data)
    return E_INVALIDARG;
  std::lock_guard guard(frame_->mutex);
  EncodeFrame &f = *frame_;
  if (!f.lent || data->Scan0 != f.lentBytes.data())
    return E_INVALIDARG;
  store(f.lentRect, f.lentFormat, f.lentBytes.data(), long(data->Stride));
  f.lent = false;
  f.lentBytes.clear();
  return S_OK;
}

HRESULT PngEncodeSink::PushPixelData(const RECT *rect, const BitmapData *data, BOOL) {
  if (!rect || !data || !data->Scan0 || !PixelConverter::isSupported(data->PixelFormat))
    return E_INVALIDARG;
  std::lock_guard guard(frame_->mutex);
  if (!fits(*rect) || data->Width < UINT(rect->right - rect->left) ||
      data->Height < UINT(rect->bottom - rect->top))
    return E_INVALIDARG;
  const std::int64_t stride = data->Stride;
  const std::uint64_t rowBytes =
      (std::uint64_t(rect->right - rect->left) * GetPixelFormatSize(data->PixelFormat) + 7) / 8;
  if (std::uint64_t(stride < 0 ? -stride : stride) < rowBytes)
    return E_INVALIDARG;
  store(*rect, data->PixelFormat, static_cast<const std::uint8_t *>(data->Scan0), data->Stride);
  return S_OK;
}

void PngEncodeSink::store(const RECT &rect, PixelFormatID format, const std::uint8_t *scan0,
                          long stride) {
  EncodeFrame &f = *frame_;
  const UINT w = UINT(rect.right - rect.left);
  const std::vector<ARGB> palette =
      f.palette.empty() ? PixelConverter::defaultPalette(format) : f.palette;
  PixelConverter reader(format, &palette);
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    auto *out = reinterpret_cast<ARGB *>(f.canvas.row(UINT(y))) + rect.left;
    reader.toArgb(scan0 + std::ptrdiff_t(y - rect.top) * stride, 0, w, out);
    // Full rows count; partial ones are taken but do not finish a row on their own.
    if (rect.left == 0 && UINT(rect.right) == f.canvas.width)
      f.rowDone[std::size_t(y)] = 1;
  }
}

} // namespace ce
