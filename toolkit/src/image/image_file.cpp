#include <toolkit/image/image_file.h>
#include <toolkit/image/imaging_factory.h>
#include <toolkit/surface/drawing_reports.h>

#include <algorithm>

namespace {

template <typename T> void releaseObject(T *&object) {
  if (object) {
    object->Release();
    object = nullptr;
  }
}

} // namespace

HRESULT encodeImageAsPng(IImage *image, const std::u16string &path) {
  if (!image)
    return E_INVALIDARG;
  IImagingFactory *factory = ImagingFactory::forThread();
  if (!factory)
    return E_FAIL;
  const auto &encoders = ImagingFactory::installedEncoders();
  const auto png = std::find_if(encoders.begin(), encoders.end(), [](const ImageCodecInfo &c) {
    return c.FormatID == ImageFormatPNG;
  });
  if (png == encoders.end())
    return E_FAIL;

  ImageInfo info{};
  HRESULT result = image->GetImageInfo(&info);
  if (FAILED(result)) {
    reportImgError(result, u"GetImageInfo");
    return result;
  }
  IImageEncoder *encoder = nullptr;
  result = factory->CreateImageEncoderToFile(&png->Clsid, path.c_str(), &encoder);
  if (FAILED(result)) {
    reportImgError(result, u"CreateImageEncoderToFile");
    return result;
  }
  IImageSink *sink = nullptr;
  result = encoder->GetEncodeSink(&sink);
  if (FAILED(result)) {
    reportImgError(result, u"GetEncodeSink");
  } else {
    result = sink->BeginSink(&info, nullptr);
    if (FAILED(result))
      reportImgError(result, u"BeginSink");
    else if (FAILED(result = image->PushIntoSink(sink)))
      reportImgError(result, u"PushIntoSink");
    releaseObject(sink);
  }
  const HRESULT terminated = encoder->TerminateEncoder();
  releaseObject(encoder);
  return FAILED(result) ? result : terminated;
}

HRESULT rescaleImageFile(const std::u16string &path, double scale) {
  IImagingFactory *factory = ImagingFactory::forThread();
  if (!factory)
    return E_FAIL;
  IImage *image = nullptr;
  HRESULT result = factory->CreateImageFromFile(path.c_str(), &image);
  if (FAILED(result)) {
    reportImgError(result, u"rescaleImageFile CreateImageFromFile");
    return result;
  }
  ImageInfo info{};
  result = image->GetImageInfo(&info);
  IBitmapImage *bitmap = nullptr;
  if (FAILED(result)) {
    reportImgError(result, u"rescaleImageFile GetImageInfo");
  } else {
    const UINT width = std::max(1u, static_cast<UINT>(info.Width * scale));
    const UINT height = std::max(1u, static_cast<UINT>(info.Height * scale));
    result = factory->CreateBitmapFromImage(image, width, height, info.PixelFormat,
                                            InterpolationHintAveraging, &bitmap);
    if (FAILED(result))
      reportImgError(result, u"rescaleImageFile CreateBitmapFromImage");
  }
  releaseObject(image);
  if (FAILED(result))
    return result;
  IImage *scaled = nullptr;
  result = bitmap->QueryInterface(IID_IImage, reinterpret_cast<void **>(&scaled));
  releaseObject(bitmap);
  if (FAILED(result)) {
    reportImgError(result, u"rescaleImageFile QueryInterface");
    return result;
  }
  result = encodeImageAsPng(scaled, path);
  releaseObject(scaled);
  return result;
}
