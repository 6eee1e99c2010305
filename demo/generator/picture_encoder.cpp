#include "picture_encoder.h"

#include "device_file_writer.h"

#include <ce/files.h>
#include <ce/imaging.h>

#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>

namespace ce::demo {
namespace {

std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
  return text;
}

// Releases a factory object when it goes out of scope.
template <class T> struct Released {
  T *object = nullptr;
  ~Released() {
    if (object)
      object->Release();
  }
};

struct JpegFailure {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr info) {
  auto *failure = reinterpret_cast<JpegFailure *>(info->err);
  (*info->err->format_message)(info, failure->message);
  std::longjmp(failure->jump, 1);
}

} // namespace

std::vector<std::uint8_t>
PictureEncoder::png(const Canvas &canvas, const std::u16string &scratchFile, std::string *error) {
  auto fail = [&](const std::string &step, HRESULT hr) {
    if (error)
      *error = step + " failed (" + hex(hr) + ")";
    return std::vector<std::uint8_t>{};
  };
  if (!canvas.valid())
    return fail("drawing the picture", E_OUTOFMEMORY);
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr))
    return fail("CoInitializeEx", hr);
  Released<IImagingFactory> factory;
  hr = CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                        reinterpret_cast<void **>(&factory.object));
  if (FAILED(hr))
    return fail("creating the imaging factory", hr);

  // The canvas holds premultiplied B, G, R, A rows: the factory's 32 bpp PARGB layout.
  BitmapData data{};
  data.Width = UINT(canvas.width());
  data.Height = UINT(canvas.height());
  data.Stride = LONG(canvas.width() * 4);
  data.PixelFormat = PixelFormat32bppPARGB;
  data.Scan0 = canvas.bits();
  Released<IBitmapImage> bitmap;
  hr = factory.object->CreateBitmapFromBuffer(&data, &bitmap.object);
  if (FAILED(hr))
    return fail("CreateBitmapFromBuffer", hr);
  Released<IImage> image;
  hr = bitmap.object->QueryInterface(IID_IImage, reinterpret_cast<void **>(&image.object));
  if (FAILED(hr))
    return fail("QueryInterface(IImage)", hr);

  {
    Released<IImageEncoder> encoder;
    hr = factory.object->CreateImageEncoderToFile(&CLSID_PngEncoder, scratchFile.c_str(),
                                                  &encoder.object);
    if (FAILED(hr))
      return fail("CreateImageEncoderToFile", hr);
    Released<IImageSink> sink;
    hr = encoder.object->GetEncodeSink(&sink.object);
    if (FAILED(hr))
      return fail("GetEncodeSink", hr);
    hr = image.object->PushIntoSink(sink.object);
    if (FAILED(hr))
      return fail("PushIntoSink", hr);
    hr = encoder.object->TerminateEncoder();
    if (FAILED(hr))
      return fail("TerminateEncoder", hr);
  }
  std::vector<std::uint8_t> bytes;
  const DWORD readError = DeviceFileWriter::read(scratchFile, bytes);
  DeleteFileW(scratchFile.c_str());
  if (readError != ERROR_SUCCESS)
    return fail("reading the encoded picture back", HRESULT_FROM_WIN32(readError));
  return bytes;
}

std::vector<std::uint8_t> PictureEncoder::jpeg(const std::vector<std::uint8_t> &rgb, int width,
                                               int height, int quality, std::string *error) {
  if (width <= 0 || height <= 0 || rgb.size() != std::size_t(width) * std::size_t(height) * 3) {
    if (error)
      *error = "JPEG: the pixel rows do not match the picture's size";
    return {};
  }
  jpeg_compress_struct info{};
  JpegFailure failure{};
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = onJpegError;
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(failure.jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    if (error)
      *error = std::string("JPEG: ") + failure.message;
    return {};
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + std::size_t(info.next_scanline) * width * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}

} // namespace ce::demo
