#include "imaging/png_encoder.h"

#include "imaging/file_bytes.h"
#include "imaging/pixel_converter.h"
#include "imaging/png_codec.h"
#include "imaging/png_encode_sink.h"

#include <new>

namespace ce {

PngEncoder::PngEncoder(std::u16string path)
    : path_(std::move(path)), frame_(std::make_shared<EncodeFrame>()) {}

HRESULT PngEncoder::QueryInterface(REFIID iid, void **object) {
  if (!object)
    return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IImageEncoder) {
    *object = static_cast<IImageEncoder *>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT PngEncoder::GetEncodeSink(IImageSink **sink) {
  if (!sink)
    return E_INVALIDARG;
  *sink = nullptr;
  if (terminated_)
    return E_FAIL;
  auto *created = new (std::nothrow) PngEncodeSink(frame_);
  if (!created)
    return E_OUTOFMEMORY;
  *sink = created;
  return S_OK;
}

HRESULT PngEncoder::TerminateEncoder() {
  if (terminated_)
    return E_FAIL;
  terminated_ = true;
  std::vector<std::uint8_t> png;
  {
    std::lock_guard guard(frame_->mutex);
    EncodeFrame &f = *frame_;
    if (!f.complete)
      return E_FAIL;
    HRESULT hr;
    if (f.alpha) {
      hr = PngCodec::encode(f.canvas, png);
    } else {
      Raster rgb;
      if (!rgb.allocate(PixelFormat24bppRGB, f.canvas.width, f.canvas.height))
        return E_OUTOFMEMORY;
      PixelConverter writer(PixelFormat24bppRGB, nullptr);
      for (UINT y = 0; y < rgb.height; ++y)
        writer.fromArgb(reinterpret_cast<const ARGB *>(f.canvas.row(y)), rgb.width, rgb.row(y), 0);
      hr = PngCodec::encode(rgb, png);
    }
    if (FAILED(hr))
      return hr;
    f.canvas = Raster{};
  }
  return FileBytes::write(path_.c_str(), png);
}

} // namespace ce
