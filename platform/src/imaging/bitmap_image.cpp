#include "imaging/bitmap_image.h"

#include "imaging/image_painter.h"
#include "imaging/pixel_converter.h"
#include "imaging/resampler.h"

#include <atomic>
#include <cstring>
#include <new>

namespace ce {
namespace {

std::atomic<UINT_PTR> nextLockCookie{1};

bool validRect(const RECT &r, UINT width, UINT height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         std::uint64_t(r.right) <= width && std::uint64_t(r.bottom) <= height;
}

} // namespace

BitmapImage::BitmapImage(DecodedImage &&image)
    : owned_(std::move(image.raster.bytes)), stride_(long(image.raster.stride)),
      width_(image.raster.width), height_(image.raster.height), format_(image.raster.format),
      palette_(std::move(image.raster.palette)), rawFormat_(image.rawFormat), dpiX_(image.dpiX),
      dpiY_(image.dpiY) {
  base_ = owned_.data();
}

BitmapImage::BitmapImage(const BitmapData &external)
    : base_(static_cast<std::uint8_t *>(external.Scan0)), stride_(external.Stride),
      width_(external.Width), height_(external.Height), format_(external.PixelFormat) {
  if (IsIndexedPixelFormat(format_))
    palette_ = PixelConverter::defaultPalette(format_);
}

HRESULT BitmapImage::QueryInterface(REFIID iid, void **object) {
  if (!object)
    return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IImage) {
    *object = static_cast<IImage *>(this);
  } else if (iid == IID_IBitmapImage) {
    *object = static_cast<IBitmapImage *>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

// ---- IImage ---------------------------------------------------------------------------------

HRESULT BitmapImage::GetPhysicalDimension(SIZE *size) {
  if (!size)
    return E_INVALIDARG;
  size->cx = LONG(width_ * 2540.0 / (dpiX_ > 0 ? dpiX_ : 96) + 0.5);
  size->cy = LONG(height_ * 2540.0 / (dpiY_ > 0 ? dpiY_ : 96) + 0.5);
  return S_OK;
}

HRESULT BitmapImage::GetImageInfo(ImageInfo *info) {
  if (!info)
    return E_INVALIDARG;
  info->RawDataFormat = rawFormat_;
  info->PixelFormat = format_;
  info->Width = width_;
  info->Height = height_;
  info->TileWidth = width_;
  info->TileHeight = 1;
  info->Xdpi = dpiX_;
  info->Ydpi = dpiY_;
  info->Flags = flags_ | ImageFlagsColorSpaceRGB;
  if (IsAlphaPixelFormat(format_))
    info->Flags |= ImageFlagsHasAlpha;
  return S_OK;
}

HRESULT BitmapImage::SetImageFlags(UINT flags) {
  flags_ = flags;
  return S_OK;
}

HRESULT BitmapImage::Draw(HDC dc, const RECT *dstRect, const RECT *srcRect) {
  if (!dc || !dstRect)
    return E_INVALIDARG;
  RECT source{0, 0, LONG(width_), LONG(height_)};
  if (srcRect) {
    if (!validRect(*srcRect, width_, height_))
      return E_INVALIDARG;
    source = *srcRect;
  }
  return ImagePainter::draw(*this, source, dc, *dstRect);
}

HRESULT BitmapImage::PushIntoSink(IImageSink *sink) {
  if (!sink)
    return E_INVALIDARG;
  ImageInfo info;
  GetImageInfo(&info);
  info.Flags |= SinkFlagsTopDown | SinkFlagsFullWidth;
  HRESULT hr = sink->BeginSink(&info, nullptr);
  if (FAILED(hr))
    return hr;
  PixelFormatID format = info.PixelFormat ? info.PixelFormat : format_;
  if (!PixelConverter::isSupported(format))
    hr = IMGERR_NOCONVERSION;

  if (SUCCEEDED(hr) && IsIndexedPixelFormat(format)) {
    const std::vector<ARGB> entries = paletteFor(format);
    std::vector<std::uint8_t> block(sizeof(ColorPalette) + entries.size() * sizeof(ARGB));
    auto *palette = reinterpret_cast<ColorPalette *>(block.data());
    palette->Flags = 0;
    palette->Count = UINT(entries.size());
    std::memcpy(palette->Entries, entries.data(), entries.size() * sizeof(ARGB));
    hr = sink->SetPalette(palette);
  }
  const RECT whole{0, 0, LONG(width_), LONG(height_)};
  if (SUCCEEDED(hr)) {
    BitmapData data{};
    if (SUCCEEDED(sink->GetPixelDataBuffer(&whole, format, TRUE, &data))) {
      copyOut(whole, format, static_cast<std::uint8_t *>(data.Scan0), data.Stride);
      hr = sink->ReleasePixelDataBuffer(&data);
    } else {
      // The sink has no buffer of its own: hand it ours.
      std::vector<std::uint8_t> rows;
      const std::uint64_t stride = PixelConverter::strideFor(format, width_);
      try {
        rows.resize(std::size_t(stride * height_));
      } catch (const std::bad_alloc &) {
        hr = E_OUTOFMEMORY;
      }
      if (SUCCEEDED(hr)) {
        copyOut(whole, format, rows.data(), long(stride));
        data = {width_, height_, LONG(stride), format, rows.data(), 0};
        hr = sink->PushPixelData(&whole, &data, TRUE);
      }
    }
  }
  const HRESULT ended = sink->EndSink(hr);
  return FAILED(hr) ? hr : ended;
}

HRESULT BitmapImage::GetThumbnail(UINT width, UINT height, IImage **thumbnail) {
  if (!thumbnail)
    return E_INVALIDARG;
  *thumbnail = nullptr;
  if (width == 0 || height == 0) {
    width = width ? width : 120;
    height = height ? height : 120;
  }
  if (!Raster::sizeAllowed(width, height))
    return E_INVALIDARG;
  DecodedImage result;
  if (!result.raster.allocate(PixelFormat32bppARGB, width, height))
    return E_OUTOFMEMORY;
  auto *bitmap = new (std::nothrow) BitmapImage(std::move(result));
  if (!bitmap)
    return E_OUTOFMEMORY;
  auto pixels = Resampler::resize(premultipliedPixels(), width_, height_, width, height,
                                  Resampler::Method::Averaging);
  for (auto &p : pixels)
    p = PixelConverter::unpremultiply(p);
  bitmap->storeArgb(pixels);
  *thumbnail = static_cast<IImage *>(bitmap);
  return S_OK;
}

// ---- IBitmapImage ---------------------------------------------------------------------------

HRESULT BitmapImage::GetSize(SIZE *size) {
  if (!size)
    return E_INVALIDARG;
  size->cx = LONG(width_);
  size->cy = LONG(height_);
  return S_OK;
}

HRESULT BitmapImage::GetPixelFormatID(PixelFormatID *format) {
  if (!format)
    return E_INVALIDARG;
  *format = format_;
  return S_OK;
}

HRESULT BitmapImage::LockBits(const RECT *rect, UINT flags, PixelFormatID format,
                              BitmapData *lockedData) {
  if (!lockedData || !(flags & (ImageLockModeRead | ImageLockModeWrite)))
    return E_INVALIDARG;
  const RECT area = rect ? *rect : RECT{0, 0, LONG(width_), LONG(height_)};
  if (!validRect(area, width_, height_))
    return E_INVALIDARG;
  if (format == PixelFormatDontCare)
    format = format_;
  if (!PixelConverter::isSupported(format))
    return IMGERR_NOCONVERSION;
  const bool userBuffer = (flags & ImageLockModeUserInputBuf) != 0;
  if (userBuffer) {
    const std::int64_t stride = lockedData->Stride;
    const std::uint64_t rowBytes =
        (std::uint64_t(area.right - area.left) * GetPixelFormatSize(format) + 7) / 8;
    if (!lockedData->Scan0 || std::uint64_t(stride < 0 ? -stride : stride) < rowBytes)
      return E_INVALIDARG;
  }

  std::lock_guard guard(lockMutex_);
  if (locked_)
    return IMGERR_OBJECTBUSY;
  const UINT w = UINT(area.right - area.left), h = UINT(area.bottom - area.top);
  const UINT bits = GetPixelFormatSize(format);
  const bool aligned = (std::uint64_t(area.left) * bits) % 8 == 0;
  lockDirect_ = !userBuffer && format == format_ && aligned;
  if (lockDirect_) {
    lockScan0_ = rowAt(UINT(area.top)) + std::size_t(area.left) * bits / 8;
    lockStride_ = stride_;
  } else if (userBuffer) {
    lockScan0_ = static_cast<std::uint8_t *>(lockedData->Scan0);
    lockStride_ = lockedData->Stride;
  } else {
    const std::uint64_t stride = PixelConverter::strideFor(format, w);
    try {
      lockBuffer_.assign(std::size_t(stride * h), 0);
    } catch (const std::bad_alloc &) {
      return E_OUTOFMEMORY;
    }
    lockScan0_ = lockBuffer_.data();
    lockStride_ = long(stride);
  }
  if (!lockDirect_ && (flags & ImageLockModeRead))
    copyOut(area, format, lockScan0_, lockStride_);
  locked_ = true;
  lockRect_ = area;
  lockFlags_ = flags;
  lockFormat_ = format;
  lockCookie_ = nextLockCookie.fetch_add(1);
  *lockedData = {w, h, LONG(lockStride_), format, lockScan0_, lockCookie_};
  return S_OK;
}

HRESULT BitmapImage::UnlockBits(const BitmapData *lockedData) {
  if (!lockedData)
    return E_INVALIDARG;
  std::lock_guard guard(lockMutex_);
  if (!locked_ || lockedData->Reserved != lockCookie_ || lockedData->Scan0 != lockScan0_)
    return IMGERR_BADUNLOCK;
  if (!lockDirect_ && (lockFlags_ & ImageLockModeWrite))
    copyIn(lockRect_, lockFormat_, lockScan0_, lockStride_, paletteFor(lockFormat_));
  locked_ = false;
  lockBuffer_.clear();
  lockBuffer_.shrink_to_fit();
  return S_OK;
}

HRESULT BitmapImage::GetPalette(ColorPalette **palette) {
  if (!palette)
    return E_INVALIDARG;
  *palette = nullptr;
  if (palette_.empty())
    return IMGERR_NOPALETTE;
  auto *block = static_cast<ColorPalette *>(
      CoTaskMemAlloc(sizeof(ColorPalette) + palette_.size() * sizeof(ARGB)));
  if (!block)
    return E_OUTOFMEMORY;
  block->Flags = 0;
  block->Count = UINT(palette_.size());
  std::memcpy(block->Entries, palette_.data(), palette_.size() * sizeof(ARGB));
  *palette = block;
  return S_OK;
}

HRESULT BitmapImage::SetPalette(const ColorPalette *palette) {
  if (!palette || palette->Count == 0 || palette->Count > 256)
    return E_INVALIDARG;
  if (!IsIndexedPixelFormat(format_))
    return IMGERR_NOPALETTE;
  palette_.assign(palette->Entries, palette->Entries + palette->Count);
  return S_OK;
}

// ---- Pixels ---------------------------------------------------------------------------------

std::vector<ARGB> BitmapImage::paletteFor(PixelFormatID format) const {
  if (!IsIndexedPixelFormat(format))
    return {};
  if (IsIndexedPixelFormat(format_) && palette_.size() <= (1u << GetPixelFormatSize(format)))
    return palette_;
  return PixelConverter::defaultPalette(format);
}

std::vector<ARGB> BitmapImage::premultipliedPixels() const {
  std::vector<ARGB> out(std::size_t(width_) * height_);
  PixelConverter reader(format_, &palette_);
  for (UINT y = 0; y < height_; ++y) {
    ARGB *row = out.data() + std::size_t(y) * width_;
    reader.toArgb(rowAt(y), 0, width_, row);
    for (UINT x = 0; x < width_; ++x)
      row[x] = PixelConverter::premultiply(row[x]);
  }
  return out;
}

void BitmapImage::storeArgb(const std::vector<ARGB> &pixels) {
  PixelConverter writer(format_, &palette_);
  for (UINT y = 0; y < height_; ++y)
    writer.fromArgb(pixels.data() + std::size_t(y) * width_, width_, rowAt(y), 0);
}

void BitmapImage::copyOut(const RECT &rect, PixelFormatID format, std::uint8_t *scan0,
                          long stride) const {
  const UINT w = UINT(rect.right - rect.left);
  const std::vector<ARGB> targetPalette = paletteFor(format);
  PixelConverter reader(format_, &palette_);
  PixelConverter writer(format, &targetPalette);
  std::vector<ARGB> line(w);
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    std::uint8_t *out = scan0 + std::ptrdiff_t(y - rect.top) * stride;
    if (format == format_ && (std::uint64_t(rect.left) * GetPixelFormatSize(format)) % 8 == 0) {
      const std::size_t bytes = (std::size_t(w) * GetPixelFormatSize(format) + 7) / 8;
      std::memcpy(out, rowAt(UINT(y)) + std::size_t(rect.left) * GetPixelFormatSize(format) / 8,
                  bytes);
      continue;
    }
    reader.toArgb(rowAt(UINT(y)), UINT(rect.left), w, line.data());
    writer.fromArgb(line.data(), w, out, 0);
  }
}

void BitmapImage::copyIn(const RECT &rect, PixelFormatID format, const std::uint8_t *scan0,
                         long stride, const std::vector<ARGB> &sourcePalette) {
  const UINT w = UINT(rect.right - rect.left);
  PixelConverter reader(format, &sourcePalette);
  PixelConverter writer(format_, &palette_);
  std::vector<ARGB> line(w);
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    reader.toArgb(scan0 + std::ptrdiff_t(y - rect.top) * stride, 0, w, line.data());
    writer.fromArgb(line.data(), w, rowAt(UINT(y)), UINT(rect.left));
  }
}

} // namespace ce
