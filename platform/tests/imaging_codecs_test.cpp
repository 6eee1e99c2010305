// Decoding each file format, encoding PNG, and refusing damaged or hostile files.
#include "imaging_fixture.h"
#include "imaging_test_images.h"

#include <ce/files.h>

#include <cstring>

namespace ce::testing {
namespace {

namespace img = images;

const std::vector<ARGB> kQuad = {0xFF102030, 0x80FF8040, 0x00000000, 0xFFFFFFFF,
                                 0xFF00FF00, 0x40000080, 0xFF123456, 0xC0808080};

class ImagingCodecs : public ImagingTest {
protected:
  // Encodes through the factory the way the toolkit does and returns the result code.
  HRESULT encodePng(IImage *image, const WCHAR *path) {
    UINT count = 0;
    ImageCodecInfo *codecs = nullptr;
    HRESULT hr = factory_->GetInstalledEncoders(&count, &codecs);
    if (FAILED(hr))
      return hr;
    CLSID clsid{};
    bool found = false;
    for (UINT i = 0; i < count; ++i)
      if (codecs[i].FormatID == ImageFormatPNG) {
        clsid = codecs[i].Clsid;
        found = true;
      }
    CoTaskMemFree(codecs);
    if (!found)
      return E_FAIL;
    IImageEncoder *encoder = nullptr;
    hr = factory_->CreateImageEncoderToFile(&clsid, path, &encoder);
    if (FAILED(hr))
      return hr;
    IImageSink *sink = nullptr;
    hr = encoder->GetEncodeSink(&sink);
    if (SUCCEEDED(hr)) {
      ImageInfo info = infoOf(image);
      hr = sink->BeginSink(&info, nullptr);
      if (SUCCEEDED(hr))
        hr = image->PushIntoSink(sink);
      sink->Release();
    }
    const HRESULT terminated = encoder->TerminateEncoder();
    encoder->Release();
    return FAILED(hr) ? hr : terminated;
  }

  IImage *fromArgb(UINT w, UINT h, const std::vector<ARGB> &px,
                   PixelFormatID format = PixelFormat32bppARGB) {
    IBitmapImage *bitmap = nullptr;
    EXPECT_EQ(factory_->CreateNewBitmap(w, h, format, &bitmap), S_OK);
    BitmapData data{};
    EXPECT_EQ(bitmap->LockBits(nullptr, ImageLockModeWrite, PixelFormat32bppARGB, &data), S_OK);
    for (UINT y = 0; y < h; ++y)
      std::memcpy(static_cast<std::uint8_t *>(data.Scan0) + y * data.Stride, &px[y * w], w * 4);
    EXPECT_EQ(bitmap->UnlockBits(&data), S_OK);
    IImage *image = nullptr;
    EXPECT_EQ(bitmap->QueryInterface(IID_IImage, reinterpret_cast<void **>(&image)), S_OK);
    bitmap->Release();
    return image;
  }
};

TEST_F(ImagingCodecs, PngDecodesEachColourTypeToItsNativeFormat) {
  IImage *rgba = decode(img::pngRgba(4, 2, kQuad));
  ASSERT_TRUE(rgba);
  ImageInfo info = infoOf(rgba);
  EXPECT_EQ(info.PixelFormat, PixelFormat32bppARGB);
  EXPECT_EQ(info.RawDataFormat, ImageFormatPNG);
  EXPECT_EQ(info.Width, 4u);
  EXPECT_EQ(info.Height, 2u);
  EXPECT_TRUE(info.Flags & ImageFlagsHasAlpha);
  EXPECT_EQ(argbOf(rgba), kQuad);
  rgba->Release();

  img::PngOptions rgb;
  rgb.colourType = 2;
  IImage *opaque = decode(img::png(2, 1, {{1, 2, 3, 250, 251, 252}}, rgb));
  ASSERT_TRUE(opaque);
  EXPECT_EQ(infoOf(opaque).PixelFormat, PixelFormat24bppRGB);
  EXPECT_EQ(argbOf(opaque), (std::vector<ARGB>{0xFF010203, 0xFFFAFBFC}));
  opaque->Release();

  // Four palette entries at 2 bits per pixel: indexed, kept exact.
  img::PngOptions indexed;
  indexed.colourType = 3;
  indexed.bitDepth = 2;
  indexed.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
  IImage *paletted = decode(img::png(4, 1, {{0b00011011}}, indexed));
  ASSERT_TRUE(paletted);
  EXPECT_EQ(infoOf(paletted).PixelFormat, PixelFormat4bppIndexed);
  EXPECT_EQ(argbOf(paletted), (std::vector<ARGB>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF090909}));
  paletted->Release();

  // A transparency chunk makes the palette image one with alpha.
  indexed.transparency = {0, 128};
  IImage *translucent = decode(img::png(4, 1, {{0b00011011}}, indexed));
  ASSERT_TRUE(translucent);
  EXPECT_EQ(infoOf(translucent).PixelFormat, PixelFormat32bppARGB);
  EXPECT_EQ(argbOf(translucent),
            (std::vector<ARGB>{0x00FF0000, 0x8000FF00, 0xFF0000FF, 0xFF090909}));
  translucent->Release();
}

TEST_F(ImagingCodecs, PngEncodeAndDecodeGiveTheSamePixels) {
  IImage *source = fromArgb(4, 2, kQuad);
  ASSERT_EQ(encodePng(source, u"\\icon.png"), S_OK);
  source->Release();
  IImage *back = nullptr;
  ASSERT_EQ(factory_->CreateImageFromFile(u"\\icon.png", &back), S_OK);
  EXPECT_EQ(infoOf(back).PixelFormat, PixelFormat32bppARGB);
  EXPECT_EQ(argbOf(back), kQuad);
  back->Release();

  // An opaque 16-bit bitmap is written without alpha and comes back as 24 bpp.
  IImage *opaque = fromArgb(2, 1, {0xFFFF0000, 0xFF0000FF}, PixelFormat16bppRGB565);
  ASSERT_EQ(encodePng(opaque, u"\\opaque.png"), S_OK);
  opaque->Release();
  ASSERT_EQ(factory_->CreateImageFromFile(u"\\opaque.png", &back), S_OK);
  EXPECT_EQ(infoOf(back).PixelFormat, PixelFormat24bppRGB);
  EXPECT_EQ(argbOf(back), (std::vector<ARGB>{0xFFFF0000, 0xFF0000FF}));
  back->Release();
}

TEST_F(ImagingCodecs, EncoderFailuresWriteNothing) {
  const Bytes original = {'k', 'e', 'e', 'p'};
  hostWrite("kept.png", original);
  IImageEncoder *encoder = nullptr;
  ASSERT_EQ(factory_->CreateImageEncoderToFile(&CLSID_PngEncoder, u"\\kept.png", &encoder), S_OK);
  EXPECT_EQ(encoder->TerminateEncoder(), E_FAIL); // no frame arrived
  EXPECT_EQ(encoder->TerminateEncoder(), E_FAIL);
  encoder->Release();
  EXPECT_EQ(hostRead("kept.png"), original);

  // A frame that misses rows is not written either.
  ASSERT_EQ(factory_->CreateImageEncoderToFile(&CLSID_PngEncoder, u"\\kept.png", &encoder), S_OK);
  IImageSink *sink = nullptr;
  ASSERT_EQ(encoder->GetEncodeSink(&sink), S_OK);
  ImageInfo info{ImageFormatMemoryBMP, PixelFormat32bppARGB, 2, 2, 2, 1, 96, 96, 0};
  ASSERT_EQ(sink->BeginSink(&info, nullptr), S_OK);
  ARGB row[2] = {0xFFFFFFFF, 0xFFFFFFFF};
  BitmapData data{2, 1, 8, PixelFormat32bppARGB, row, 0};
  RECT first{0, 0, 2, 1};
  EXPECT_EQ(sink->PushPixelData(&first, &data, TRUE), S_OK);
  RECT outside{0, 1, 3, 2};
  EXPECT_EQ(sink->PushPixelData(&outside, &data, TRUE), E_INVALIDARG);
  EXPECT_EQ(sink->EndSink(S_OK), E_FAIL);
  sink->Release();
  EXPECT_EQ(encoder->TerminateEncoder(), E_FAIL);
  encoder->Release();
  EXPECT_EQ(hostRead("kept.png"), original);

  EXPECT_EQ(
      factory_->CreateImageEncoderToFile(&CLSID_PngEncoder, u"\\no\\such\\dir\\a.png", &encoder),
      HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(encoder, nullptr);
  EXPECT_EQ(factory_->CreateImageEncoderToFile(&ImageFormatPNG, u"\\a.png", &encoder),
            IMGERR_CODECNOTFOUND);
}

TEST_F(ImagingCodecs, JpegDecodesWithinTolerance) {
  std::vector<ARGB> px(16 * 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      px[std::size_t(y * 16 + x)] =
          y < 8 ? (x < 8 ? 0xFFC83214 : 0xFF1E8C3C) : (x < 8 ? 0xFF2846B4 : 0xFFF0F0F0);
  hostWrite("Windows/photo.jpg", img::jpeg(16, 16, px));
  IImage *image = nullptr;
  ASSERT_EQ(factory_->CreateImageFromFile(u"\\windows\\PHOTO.jpg", &image), S_OK);
  const ImageInfo info = infoOf(image);
  EXPECT_EQ(info.PixelFormat, PixelFormat24bppRGB);
  EXPECT_EQ(info.RawDataFormat, ImageFormatJPEG);
  const auto decoded = argbOf(image);
  ASSERT_EQ(decoded.size(), px.size());
  for (std::size_t i = 0; i < px.size(); ++i)
    for (int shift = 0; shift < 32; shift += 8)
      EXPECT_NEAR(int((decoded[i] >> shift) & 255), int((px[i] >> shift) & 255), 6) << i;
  image->Release();
}

TEST_F(ImagingCodecs, GifGivesTheFirstFrameIndexedOrWithTransparency) {
  const std::vector<ARGB> palette = {0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
  const Bytes indices = {0, 1, 2, 3, 3, 2, 1, 0};
  IImage *image = decode(img::gif(4, 2, palette, indices));
  ASSERT_TRUE(image);
  EXPECT_EQ(infoOf(image).PixelFormat, PixelFormat4bppIndexed);
  EXPECT_EQ(infoOf(image).RawDataFormat, ImageFormatGIF);
  std::vector<ARGB> expected;
  for (auto i : indices)
    expected.push_back(palette[i]);
  EXPECT_EQ(argbOf(image), expected);
  image->Release();

  img::GifOptions options;
  options.transparent = 1;
  image = decode(img::gif(4, 2, palette, indices, options));
  ASSERT_TRUE(image);
  EXPECT_EQ(infoOf(image).PixelFormat, PixelFormat32bppARGB);
  expected[1] = expected[6] = 0;
  EXPECT_EQ(argbOf(image), expected);
  image->Release();

  // A frame placed inside a larger screen: the rest of the screen is clear.
  options = {};
  options.screenWidth = 3;
  options.screenHeight = 2;
  options.left = 1;
  options.top = 1;
  image = decode(img::gif(2, 1, palette, {2, 3}, options));
  ASSERT_TRUE(image);
  EXPECT_EQ(argbOf(image), (std::vector<ARGB>{0, 0, 0, 0, 0xFF00FF00, 0xFF0000FF}));
  image->Release();
}

TEST_F(ImagingCodecs, BmpDecodesEveryDepthAndLayout) {
  struct Case {
    int bitCount;
    std::vector<img::Bytes> rows;
    std::vector<ARGB> palette;
    std::uint32_t compression;
    std::vector<std::uint32_t> masks;
    bool topDown;
    PixelFormatID format;
  };
  const std::vector<ARGB> two = {0xFF000000, 0xFFFFFFFF};
  const std::vector<ARGB> expected = {0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000};
  const std::vector<Case> cases = {
      {1, {{0x40}, {0x80}}, two, 0, {}, false, PixelFormat1bppIndexed},
      {4, {{0x01}, {0x10}}, two, 0, {}, true, PixelFormat4bppIndexed},
      {8, {{0, 1}, {1, 0}}, two, 0, {}, false, PixelFormat8bppIndexed},
      {16, {{0, 0, 0xFF, 0x7F}, {0xFF, 0x7F, 0, 0}}, {}, 0, {}, false, PixelFormat16bppRGB555},
      {16,
       {{0, 0, 0xFF, 0xFF}, {0xFF, 0xFF, 0, 0}},
       {},
       3,
       {0xF800, 0x7E0, 0x1F},
       false,
       PixelFormat16bppRGB565},
      {24,
       {{0, 0, 0, 255, 255, 255}, {255, 255, 255, 0, 0, 0}},
       {},
       0,
       {},
       true,
       PixelFormat24bppRGB},
      {32,
       {{0, 0, 0, 0, 255, 255, 255, 0}, {255, 255, 255, 0, 0, 0, 0, 0}},
       {},
       0,
       {},
       false,
       PixelFormat32bppRGB},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.bitCount);
    IImage *image =
        decode(img::bmp(2, 2, c.bitCount, c.rows, c.palette, c.topDown, c.compression, c.masks));
    ASSERT_TRUE(image);
    EXPECT_EQ(infoOf(image).PixelFormat, c.format);
    EXPECT_EQ(infoOf(image).RawDataFormat, ImageFormatBMP);
    EXPECT_EQ(argbOf(image), expected);
    image->Release();
  }

  // Alpha bit fields keep their alpha; unusual masks are widened.
  IImage *image = decode(img::bmp(1, 1, 32, {{0x40, 0x30, 0x20, 0x80}}, {}, false, 6,
                                  {0xFF0000, 0xFF00, 0xFF, 0xFF000000}));
  ASSERT_TRUE(image);
  EXPECT_EQ(argbOf(image), std::vector<ARGB>{0x80203040});
  image->Release();

  // Run-length encoded, bottom row first: a run of three index-1 pixels, end of line, three
  // literal pixels (padded to an even count of bytes), end of bitmap.
  Bytes rle = img::bmp(3, 2, 8, {{}, {}}, {0xFF000000, 0xFFFF0000}, false, 1);
  rle.resize(rle.size() - 8); // the writer reserved 2 rows of 4 bytes
  rle.insert(rle.end(), {3, 1, 0, 0, 0, 3, 0, 1, 0, 0, 0, 1});
  image = decode(rle);
  ASSERT_TRUE(image);
  EXPECT_EQ(argbOf(image), (std::vector<ARGB>{0xFF000000, 0xFFFF0000, 0xFF000000, 0xFFFF0000,
                                              0xFFFF0000, 0xFFFF0000}));
  image->Release();
}

TEST_F(ImagingCodecs, DamagedAndHostileFilesGiveErrors) {
  HRESULT hr = S_OK;
  auto refuses = [&](const Bytes &bytes, const char *what) {
    IImage *image = decode(bytes, &hr);
    EXPECT_TRUE(FAILED(hr)) << what;
    EXPECT_EQ(image, nullptr) << what;
    if (image)
      image->Release();
  };
  std::vector<ARGB> px(64 * 64, 0xFF336699);
  const Bytes goodPng = img::pngRgba(64, 64, px);
  for (std::size_t cut : {std::size_t(7), std::size_t(30), goodPng.size() / 2, goodPng.size() - 13})
    refuses(Bytes(goodPng.begin(), goodPng.begin() + std::ptrdiff_t(cut)), "truncated png");
  img::PngOptions bad;
  bad.badIdatCrc = true;
  refuses(img::pngRgba(64, 64, px, bad), "bad crc");

  // Headers that promise far more pixels than any decoder accepts.
  Bytes huge = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  img::put32be(ihdr, 100000);
  img::put32be(ihdr, 100000);
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
  img::pngChunk(huge, "IHDR", ihdr);
  img::pngChunk(huge, "IDAT", img::zlibStored(Bytes(100, 0)));
  img::pngChunk(huge, "IEND", {});
  refuses(huge, "png of 10 Gpixel");
  Bytes zero = huge;
  std::memset(zero.data() + 16, 0, 8);
  refuses(zero, "png of zero size");

  Bytes bmpHuge = img::bmp(1, 1, 24, {{1, 2, 3}});
  img::Bytes w;
  img::put32le(w, 1000000);
  std::memcpy(bmpHuge.data() + 18, w.data(), 4);
  std::memcpy(bmpHuge.data() + 22, w.data(), 4);
  refuses(bmpHuge, "bmp of 1 Tpixel");
  Bytes bmpShort = img::bmp(8, 8, 24, std::vector<img::Bytes>(8, img::Bytes(24, 7)));
  bmpShort.resize(bmpShort.size() - 10);
  refuses(bmpShort, "truncated bmp");
  Bytes bmpZero = img::bmp(1, 1, 24, {{1, 2, 3}});
  std::memset(bmpZero.data() + 18, 0, 4);
  refuses(bmpZero, "bmp of zero width");

  const std::vector<ARGB> palette = {0xFF000000, 0xFFFFFFFF};
  img::GifOptions cut;
  cut.truncate = true;
  refuses(img::gif(16, 16, palette, Bytes(256, 1), cut), "truncated gif");
  refuses(img::gif(65535, 65535, palette, Bytes(4, 1)), "gif frame of 4 Gpixel");
  refuses(img::gif(0, 0, palette, {}), "gif of zero size");

  const Bytes jpeg = img::jpeg(32, 32, std::vector<ARGB>(32 * 32, 0xFF804020));
  refuses(Bytes(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(jpeg.size() / 2)), "truncated jpeg");
  refuses(Bytes(jpeg.begin(), jpeg.begin() + 4), "jpeg header only");
  Bytes jpegHuge = jpeg;
  for (std::size_t i = 0; i + 8 < jpegHuge.size(); ++i)
    if (jpegHuge[i] == 0xFF && jpegHuge[i + 1] == 0xC0) {
      jpegHuge[i + 5] = jpegHuge[i + 6] = jpegHuge[i + 7] = jpegHuge[i + 8] = 0xFF;
      break;
    }
  refuses(jpegHuge, "jpeg of 4 Gpixel");

  refuses({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}, "unknown format");
  EXPECT_EQ(hr, IMGERR_CODECNOTFOUND);

  IImage *image = nullptr;
  EXPECT_EQ(factory_->CreateImageFromFile(u"\\missing.png", &image),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(factory_->CreateImageFromBuffer(nullptr, 0, BufferDisposalFlagNone, &image),
            E_INVALIDARG);
  hostWrite("empty.png", {});
  EXPECT_TRUE(FAILED(factory_->CreateImageFromFile(u"\\empty.png", &image)));
  EXPECT_EQ(image, nullptr);
}

} // namespace
} // namespace ce::testing
