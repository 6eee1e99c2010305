// Bitmaps: pixel format conversions through LockBits, lock rules, resampling hints, the factory's
// component plumbing.
#include "imaging_fixture.h"

#include <cstring>
#include <thread>

namespace ce::testing {
namespace {

class ImagingBitmaps : public ImagingTest {
protected:
  IBitmapImage *bitmapOf(UINT w, UINT h, const std::vector<ARGB> &px,
                         PixelFormatID format = PixelFormat32bppARGB) {
    IBitmapImage *bitmap = nullptr;
    EXPECT_EQ(factory_->CreateNewBitmap(w, h, format, &bitmap), S_OK);
    BitmapData data{};
    EXPECT_EQ(bitmap->LockBits(nullptr, ImageLockModeWrite, PixelFormat32bppARGB, &data), S_OK);
    for (UINT y = 0; y < h; ++y)
      std::memcpy(static_cast<std::uint8_t *>(data.Scan0) + y * data.Stride, &px[y * w], w * 4);
    EXPECT_EQ(bitmap->UnlockBits(&data), S_OK);
    return bitmap;
  }
  Bytes lockedBytes(IBitmapImage *bitmap, PixelFormatID format) {
    BitmapData data{};
    EXPECT_EQ(bitmap->LockBits(nullptr, ImageLockModeRead, format, &data), S_OK);
    const std::size_t n = (data.Width * GetPixelFormatSize(data.PixelFormat) + 7) / 8;
    Bytes out(static_cast<std::uint8_t *>(data.Scan0), static_cast<std::uint8_t *>(data.Scan0) + n);
    EXPECT_EQ(bitmap->UnlockBits(&data), S_OK);
    return out;
  }
  std::vector<ARGB> resized(const std::vector<ARGB> &px, UINT w, UINT h, UINT dw, UINT dh,
                            UINT hint) {
    IBitmapImage *bitmap = bitmapOf(w, h, px);
    IImage *image = nullptr;
    bitmap->QueryInterface(IID_IImage, reinterpret_cast<void **>(&image));
    IBitmapImage *out = nullptr;
    EXPECT_EQ(factory_->CreateBitmapFromImage(image, dw, dh, PixelFormat32bppARGB,
                                              InterpolationHint(hint), &out),
              S_OK);
    IImage *outImage = nullptr;
    out->QueryInterface(IID_IImage, reinterpret_cast<void **>(&outImage));
    auto result = argbOf(outImage);
    outImage->Release();
    out->Release();
    image->Release();
    bitmap->Release();
    return result;
  }
};

TEST_F(ImagingBitmaps, LockBitsConvertsToEveryFormat) {
  IBitmapImage *bitmap = bitmapOf(2, 1, {0xFF102030, 0x80FF8040});
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat16bppRGB565), (Bytes{0x06, 0x11, 0x08, 0xFC}));
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat16bppRGB555), (Bytes{0x86, 0x08, 0x08, 0x7E}));
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat16bppARGB1555), (Bytes{0x86, 0x88, 0x08, 0xFE}));
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat24bppRGB), (Bytes{0x30, 0x20, 0x10, 0x40, 0x80, 0xFF}));
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat32bppRGB),
            (Bytes{0x30, 0x20, 0x10, 0xFF, 0x40, 0x80, 0xFF, 0xFF}));
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat32bppPARGB),
            (Bytes{0x30, 0x20, 0x10, 0xFF, 0x20, 0x40, 0x80, 0x80}));
  EXPECT_EQ(lockedBytes(bitmap, 0), (Bytes{0x30, 0x20, 0x10, 0xFF, 0x40, 0x80, 0xFF, 0x80}));
  // Indexed targets take the nearest entry of the default palettes.
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat1bppIndexed), Bytes{0x40});
  bitmap->Release();

  // Writes through a 16-bit lock land in a 32-bit bitmap widened.
  bitmap = bitmapOf(1, 1, {0});
  BitmapData data{};
  ASSERT_EQ(bitmap->LockBits(nullptr, ImageLockModeWrite, PixelFormat16bppRGB565, &data), S_OK);
  const std::uint16_t pixel = 0xF81F; // magenta
  std::memcpy(data.Scan0, &pixel, 2);
  ASSERT_EQ(bitmap->UnlockBits(&data), S_OK);
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat32bppARGB), (Bytes{0xFF, 0x00, 0xFF, 0xFF}));
  bitmap->Release();

  // A 16-bit bitmap keeps its own pixels and widens them on reads.
  bitmap = bitmapOf(2, 1, {0xFFFF0000, 0xFF00FF00}, PixelFormat16bppRGB565);
  EXPECT_EQ(lockedBytes(bitmap, 0), (Bytes{0x00, 0xF8, 0xE0, 0x07}));
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat24bppRGB), (Bytes{0, 0, 255, 0, 255, 0}));
  bitmap->Release();

  // Indexed bitmaps: the 8-bit default palette holds pure red; 1 bit picks black or white.
  bitmap = bitmapOf(2, 1, {0xFFFF0000, 0xFF0000FF}, PixelFormat8bppIndexed);
  EXPECT_EQ(lockedBytes(bitmap, PixelFormat32bppARGB), (Bytes{0, 0, 255, 255, 255, 0, 0, 255}));
  ColorPalette *palette = nullptr;
  ASSERT_EQ(bitmap->GetPalette(&palette), S_OK);
  EXPECT_EQ(palette->Count, 256u);
  CoTaskMemFree(palette);
  bitmap->Release();
  bitmap = bitmapOf(3, 1, {0xFF202020, 0xFFE0E0E0, 0xFF000000}, PixelFormat1bppIndexed);
  EXPECT_EQ(lockedBytes(bitmap, 0), Bytes{0x40});
  bitmap->Release();
}

TEST_F(ImagingBitmaps, OneLockAtATimeAndOnlyOverTheBitmap) {
  IBitmapImage *bitmap = bitmapOf(4, 4, std::vector<ARGB>(16, 0xFF000000));
  BitmapData first{}, second{};
  RECT inner{1, 1, 3, 3};
  ASSERT_EQ(bitmap->LockBits(&inner, ImageLockModeRead | ImageLockModeWrite, 0, &first), S_OK);
  EXPECT_EQ(first.Width, 2u);
  EXPECT_EQ(first.Height, 2u);
  EXPECT_EQ(bitmap->LockBits(nullptr, ImageLockModeRead, 0, &second), IMGERR_OBJECTBUSY);
  BitmapData forged = first;
  forged.Reserved += 1;
  EXPECT_EQ(bitmap->UnlockBits(&forged), IMGERR_BADUNLOCK);
  static_cast<ARGB *>(first.Scan0)[0] = 0xFFFFFFFF; // pixel (1, 1)
  ASSERT_EQ(bitmap->UnlockBits(&first), S_OK);
  EXPECT_EQ(bitmap->UnlockBits(&first), IMGERR_BADUNLOCK);

  for (RECT bad : {RECT{0, 0, 5, 1}, RECT{-1, 0, 1, 1}, RECT{2, 2, 2, 3}, RECT{3, 0, 1, 1}})
    EXPECT_EQ(bitmap->LockBits(&bad, ImageLockModeRead, 0, &second), E_INVALIDARG);
  EXPECT_EQ(bitmap->LockBits(nullptr, 0, 0, &second), E_INVALIDARG);
  EXPECT_EQ(bitmap->LockBits(nullptr, ImageLockModeRead, 0x12345, &second), IMGERR_NOCONVERSION);

  // A caller's own buffer receives the pixels in the asked format.
  std::uint8_t rgb[3 * 2 + 2] = {};
  BitmapData user{};
  user.Scan0 = rgb;
  user.Stride = 4;
  RECT column{1, 1, 2, 3};
  ASSERT_EQ(bitmap->LockBits(&column, ImageLockModeRead | ImageLockModeUserInputBuf,
                             PixelFormat24bppRGB, &user),
            S_OK);
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[4], 0);
  ASSERT_EQ(bitmap->UnlockBits(&user), S_OK);
  bitmap->Release();
}

TEST_F(ImagingBitmaps, BitmapsOverACallersBufferShareItsPixels) {
  ARGB pixels[2] = {0xFF0000FF, 0x80FFFFFF};
  BitmapData data{2, 1, 8, PixelFormat32bppARGB, pixels, 0};
  IBitmapImage *bitmap = nullptr;
  ASSERT_EQ(factory_->CreateBitmapFromBuffer(&data, &bitmap), S_OK);
  IImage *image = nullptr;
  ASSERT_EQ(bitmap->QueryInterface(IID_IImage, reinterpret_cast<void **>(&image)), S_OK);
  const ImageInfo info = infoOf(image);
  EXPECT_EQ(info.PixelFormat, PixelFormat32bppARGB);
  EXPECT_EQ(info.Width, 2u);
  pixels[0] = 0xFF00FF00;
  EXPECT_EQ(argbOf(image), (std::vector<ARGB>{0xFF00FF00, 0x80FFFFFF}));
  image->Release();
  bitmap->Release();

  BitmapData narrow{2, 1, 4, PixelFormat32bppARGB, pixels, 0};
  EXPECT_EQ(factory_->CreateBitmapFromBuffer(&narrow, &bitmap), E_INVALIDARG);
  BitmapData none{2, 1, 8, PixelFormat32bppARGB, nullptr, 0};
  EXPECT_EQ(factory_->CreateBitmapFromBuffer(&none, &bitmap), E_INVALIDARG);
  EXPECT_EQ(factory_->CreateNewBitmap(0, 5, PixelFormat32bppARGB, &bitmap), E_INVALIDARG);
  EXPECT_EQ(factory_->CreateNewBitmap(100000, 100000, PixelFormat32bppARGB, &bitmap),
            E_OUTOFMEMORY);
  EXPECT_EQ(bitmap, nullptr);
}

TEST_F(ImagingBitmaps, NearestHintPicksPixelCentres) {
  const std::vector<ARGB> row = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004};
  EXPECT_EQ(resized(row, 4, 1, 2, 1, 0), (std::vector<ARGB>{0xFF000002, 0xFF000004}));
  EXPECT_EQ(resized(row, 4, 1, 8, 1, 0),
            (std::vector<ARGB>{0xFF000001, 0xFF000001, 0xFF000002, 0xFF000002, 0xFF000003,
                               0xFF000003, 0xFF000004, 0xFF000004}));
  const std::vector<ARGB> square = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004};
  EXPECT_EQ(resized(square, 2, 2, 1, 1, 0), std::vector<ARGB>{0xFF000004});
}

TEST_F(ImagingBitmaps, BilinearHintsInterpolateBetweenCentres) {
  // Grey 0 and 255 stretched to four pixels: samples at -0.25, 0.25, 0.75 and 1.25.
  const std::vector<ARGB> row = {0xFF000000, 0xFFFFFFFF};
  const std::vector<ARGB> expected = {0xFF000000, 0xFF404040, 0xFFBFBFBF, 0xFFFFFFFF};
  EXPECT_EQ(resized(row, 2, 1, 4, 1, 1), expected);
  EXPECT_EQ(resized(row, 2, 1, 4, 1, 2), expected);
  // Opaque red next to clear green: the blend keeps red and fades alpha, no green shows.
  const std::vector<ARGB> edge = {0xFFFF0000, 0x0000FF00};
  EXPECT_EQ(resized(edge, 2, 1, 4, 1, 1),
            (std::vector<ARGB>{0xFFFF0000, 0xBFFF0000, 0x40FF0000, 0x00000000}));
}

TEST_F(ImagingBitmaps, AveragingHintMeansCoveredPixels) {
  std::vector<ARGB> px(16);
  for (UINT i = 0; i < 16; ++i) {
    const ARGB v = (i % 4) * 40 + (i / 4) * 8; // column step 40, row step 8
    px[i] = 0xFF000000 | (v << 16) | (v << 8) | v;
  }
  // Each output is the mean of a 2x2 block: columns 0/1 and rows 0/1 give (0+40+8+48)/4 = 24.
  auto grey = [](ARGB v) { return 0xFF000000 | (v << 16) | (v << 8) | v; };
  EXPECT_EQ(resized(px, 4, 4, 2, 2, 3),
            (std::vector<ARGB>{grey(24), grey(104), grey(40), grey(120)}));
  // Three pixels into two: each output covers one and a half inputs.
  EXPECT_EQ(resized({grey(0), grey(90), grey(180)}, 3, 1, 2, 1, 3),
            (std::vector<ARGB>{grey(30), grey(150)}));
}

TEST_F(ImagingBitmaps, FactoryPlumbingFollowsTheComponentRules) {
  IUnknown *unknown = nullptr;
  EXPECT_EQ(factory_->QueryInterface(IID_IImage, reinterpret_cast<void **>(&unknown)),
            E_NOINTERFACE);
  EXPECT_EQ(unknown, nullptr);
  EXPECT_EQ(CoCreateInstance(IID_IImage, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                             reinterpret_cast<void **>(&unknown)),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  CoUninitialize();

  UINT count = 0;
  ImageCodecInfo *codecs = nullptr;
  ASSERT_EQ(factory_->GetInstalledEncoders(&count, &codecs), S_OK);
  ASSERT_EQ(count, 1u);
  const auto *raw = reinterpret_cast<const std::uint8_t *>(codecs);
  EXPECT_EQ(std::memcmp(raw, &CLSID_PngEncoder, 16), 0);
  EXPECT_EQ(std::memcmp(raw + 16, &ImageFormatPNG, 16), 0);
  EXPECT_EQ(std::u16string(codecs[0].MimeType), u"image/png");
  CoTaskMemFree(codecs);
  ASSERT_EQ(factory_->GetInstalledDecoders(&count, &codecs), S_OK);
  EXPECT_EQ(count, 4u);
  CoTaskMemFree(codecs);

  // Every thread initialises for itself; the factory's objects work from any thread.
  HRESULT other = S_OK, after = E_FAIL;
  IBitmapImage *made = nullptr;
  std::thread([&] {
    IImagingFactory *f = nullptr;
    other = CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IImagingFactory, reinterpret_cast<void **>(&f));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    after = CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IImagingFactory, reinterpret_cast<void **>(&f));
    if (f) {
      f->CreateNewBitmap(3, 3, PixelFormat16bppRGB565, &made);
      f->Release();
    }
    CoUninitialize();
  }).join();
  EXPECT_EQ(other, CO_E_NOTINITIALIZED);
  EXPECT_EQ(after, S_OK);
  ASSERT_TRUE(made);
  SIZE size{};
  EXPECT_EQ(made->GetSize(&size), S_OK);
  EXPECT_EQ(size.cx, 3);
  made->Release();
}

} // namespace
} // namespace ce::testing
