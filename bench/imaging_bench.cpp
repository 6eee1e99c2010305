// Imaging speed: decoding a 96x96 PNG icon, decoding a 480x800 JPEG wallpaper, encoding a
// 96x96 PNG icon. The inputs are generated here.
#include "../platform/tests/imaging_test_images.h"

#include <ce/core/device_root.h>
#include <ce/imaging.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

class Session {
public:
  Session() {
    root_ =
        std::filesystem::temp_directory_path() / ("ce-imaging-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(root_ / "fs");
    ce::DeviceRoot::use(root_);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                     reinterpret_cast<void **>(&factory_));
    icon_ = makeIcon();
  }
  ~Session() {
    icon_->Release();
    factory_->Release();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  IImagingFactory *factory() const { return factory_; }
  IImage *icon() const { return icon_; }
  Bytes read(const std::string &name) const {
    std::ifstream in(root_ / "fs" / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  // A 96x96 icon: a shaded disc with soft edges over transparency.
  IImage *makeIcon() {
    IBitmapImage *bitmap = nullptr;
    factory_->CreateNewBitmap(96, 96, PixelFormat32bppARGB, &bitmap);
    BitmapData data{};
    bitmap->LockBits(nullptr, ImageLockModeWrite, PixelFormat32bppARGB, &data);
    for (int y = 0; y < 96; ++y)
      for (int x = 0; x < 96; ++x) {
        const double d = std::hypot(x - 47.5, y - 47.5);
        const int alpha = d < 40 ? 255 : d < 46 ? int(255 * (46 - d) / 6) : 0;
        const ARGB c = (ARGB(alpha) << 24) | (ARGB(40 + x * 2) << 16) | (ARGB(200 - y) << 8) |
                       ARGB((x * y) & 255);
        std::memcpy(static_cast<std::uint8_t *>(data.Scan0) + y * data.Stride + 4 * x, &c, 4);
      }
    bitmap->UnlockBits(&data);
    IImage *image = nullptr;
    bitmap->QueryInterface(IID_IImage, reinterpret_cast<void **>(&image));
    bitmap->Release();
    return image;
  }

  HRESULT encode(IImage *image, const WCHAR *path) const {
    IImageEncoder *encoder = nullptr;
    HRESULT hr = factory_->CreateImageEncoderToFile(&CLSID_PngEncoder, path, &encoder);
    if (FAILED(hr))
      return hr;
    IImageSink *sink = nullptr;
    hr = encoder->GetEncodeSink(&sink);
    if (SUCCEEDED(hr)) {
      ImageInfo info{};
      image->GetImageInfo(&info);
      hr = sink->BeginSink(&info, nullptr);
      if (SUCCEEDED(hr))
        hr = image->PushIntoSink(sink);
      sink->Release();
    }
    const HRESULT done = encoder->TerminateEncoder();
    encoder->Release();
    return FAILED(hr) ? hr : done;
  }

private:
  std::filesystem::path root_;
  IImagingFactory *factory_ = nullptr;
  IImage *icon_ = nullptr;
};

Session &session() {
  static Session s;
  return s;
}

void decode(benchmark::State &state, const Bytes &bytes) {
  for (auto _ : state) {
    IImage *image = nullptr;
    if (FAILED(session().factory()->CreateImageFromBuffer(bytes.data(), UINT(bytes.size()),
                                                          BufferDisposalFlagNone, &image))) {
      state.SkipWithError("decode failed");
      return;
    }
    image->Release();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void PngDecodeIcon96(benchmark::State &state) {
  static const Bytes png = [] {
    session().encode(session().icon(), u"\\icon.png");
    return session().read("icon.png");
  }();
  decode(state, png);
}
BENCHMARK(PngDecodeIcon96);

void JpegDecodeWallpaper480x800(benchmark::State &state) {
  static const Bytes jpeg = [] {
    // Smooth gradients with some grain, so blocks carry AC coefficients as photos do.
    std::mt19937 random(7);
    std::vector<ARGB> px(480 * 800);
    for (int y = 0; y < 800; ++y)
      for (int x = 0; x < 480; ++x) {
        const int grain = int(random() % 24);
        const ARGB r = ARGB((x * 255 / 479 + grain) & 255), g = ARGB((y * 255 / 799) & 255),
                   b = ARGB(((x + y) / 5 + grain) & 255);
        px[std::size_t(y * 480 + x)] = 0xFF000000u | (r << 16) | (g << 8) | b;
      }
    return ce::testing::images::jpeg(480, 800, px, 6);
  }();
  decode(state, jpeg);
}
BENCHMARK(JpegDecodeWallpaper480x800)->Unit(benchmark::kMillisecond);

void PngEncodeIcon96(benchmark::State &state) {
  for (auto _ : state) {
    if (FAILED(session().encode(session().icon(), u"\\out.png"))) {
      state.SkipWithError("encode failed");
      return;
    }
  }
}
BENCHMARK(PngEncodeIcon96);

} // namespace

BENCHMARK_MAIN();
