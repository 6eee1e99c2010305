// DCs over framebuffer memory owned elsewhere, and PNG pictures of bitmaps.
#include "gdi_test_support.h"

#include <ce/core/framebuffer_dc.h>
#include <ce/core/png_writer.h>

#include <fstream>
#include <iterator>
#include <vector>

using namespace gdi_test;

namespace {

TEST(GdiFramebuffer, WindowDcDrawsOnlyIntoItsVisibleRegionAtItsOrigin) {
  std::vector<std::uint16_t> screen(20 * 12, 0x0001);
  ce::PixelMemory memory{screen.data(), 20, 12, 40, ce::FramebufferFormat::Rgb565};
  // A window at (5, 2), 10x8, whose bottom-left quarter is covered by another window.
  HDC dc = ce::createFramebufferDC(memory, POINT{5, 2},
                                   {RECT{5, 2, 15, 6}, RECT{10, 6, 15, 10}});
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_DC));
  RECT box;
  EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 10);
  EXPECT_EQ(box.bottom, 8);
  RECT all{-100, -100, 100, 100};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  auto visible = [](int x, int y) {
    return (x >= 5 && x < 15 && y >= 2 && y < 6) || (x >= 10 && x < 15 && y >= 6 && y < 10);
  };
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(screen[std::size_t(y * 20 + x)], visible(x, y) ? 0xFFFF : 0x0001) << x << "," << y;

  // Logical (0, 0) is the window's corner, for reading too.
  SetPixel(dc, 0, 0, RGB(255, 0, 0));
  EXPECT_EQ(screen[2 * 20 + 5], 0xF800);
  Surface copy(2, 2, 16);
  BitBlt(copy.dc, 0, 0, 2, 2, dc, 0, 0, SRCCOPY);
  EXPECT_EQ(copy.raw(0, 0), 0xF800u);
  EXPECT_EQ(copy.raw(1, 1), 0xFFFFu);
  // Bitmaps cannot be selected into it.
  HBITMAP b = CreateBitmap(2, 2, 1, 16, nullptr);
  EXPECT_EQ(SelectObject(dc, b), nullptr);
  DeleteObject(b);

  // The host moves the window and uncovers it.
  ASSERT_TRUE(ce::setFramebufferOrigin(dc, POINT{0, 0}));
  ASSERT_TRUE(ce::setFramebufferVisibleRegion(dc, {RECT{0, 0, 20, 12}}));
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  for (auto p : screen) ASSERT_EQ(p, 0);
  // A user clip region lies in window coordinates.
  ASSERT_TRUE(ce::setFramebufferOrigin(dc, POINT{10, 0}));
  IntersectClipRect(dc, 0, 0, 2, 2);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(screen[10], 0xFFFF);
  EXPECT_EQ(screen[12], 0);
  EXPECT_EQ(screen[9], 0);

  std::vector<std::uint16_t> rotated(12 * 20, 0);
  ASSERT_TRUE(ce::retargetFramebuffer(dc, ce::PixelMemory{rotated.data(), 12, 20, 24,
                                                          ce::FramebufferFormat::Rgb565}));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(ce::setFramebufferOrigin(dc, POINT{0, 0}));
  HDC memoryDC = CreateCompatibleDC(nullptr);
  EXPECT_FALSE(ce::setFramebufferVisibleRegion(memoryDC, {}));
  DeleteDC(memoryDC);
}

TEST(GdiFramebuffer, UnusableMemoryDescriptionsAreRefused) {
  std::vector<std::uint32_t> pixels(64);
  using ce::FramebufferFormat;
  EXPECT_EQ(ce::createFramebufferDC({nullptr, 4, 4, 8, FramebufferFormat::Rgb565}, {}, {}), nullptr);
  EXPECT_EQ(ce::createFramebufferDC({pixels.data(), 4, 4, 6, FramebufferFormat::Rgb565}, {}, {}), nullptr);
  EXPECT_EQ(ce::createFramebufferDC({pixels.data(), 0, 4, 8, FramebufferFormat::Rgb565}, {}, {}), nullptr);
  auto* odd = reinterpret_cast<std::uint8_t*>(pixels.data()) + 1;
  EXPECT_EQ(ce::createFramebufferDC({odd, 4, 4, 16, FramebufferFormat::Bgra32}, {}, {}), nullptr);
  // Bottom-up memory with a negative stride works.
  auto* last = reinterpret_cast<std::uint8_t*>(pixels.data()) + 3 * 16;
  HDC dc = ce::createFramebufferDC({last, 4, 4, -16, FramebufferFormat::Bgra32}, {}, {RECT{0, 0, 4, 4}});
  ASSERT_NE(dc, nullptr);
  SetPixel(dc, 0, 0, RGB(1, 2, 3));
  EXPECT_EQ(pixels[12], 0xFF010203u);
  DeleteDC(dc);
}

std::vector<unsigned char> readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t bigEndian(const std::vector<unsigned char>& d, std::size_t at) {
  return (std::uint32_t(d[at]) << 24) | (std::uint32_t(d[at + 1]) << 16) |
         (std::uint32_t(d[at + 2]) << 8) | d[at + 3];
}

TEST(GdiPng, WritesBitmapsDcsAndFramebuffersAndFailsCleanly) {
  TempDevice device;
  Surface s(7, 3, 16), a(5, 4, 32);
  s.fillRaw(0xF800);
  const auto rgb = device.root() / "shot.png";
  std::string error;
  ASSERT_TRUE(ce::writePng(s.dc, rgb, &error)) << error;
  auto data = readFile(rgb);
  ASSERT_GT(data.size(), 33u);
  EXPECT_EQ(std::memcmp(data.data(), "\x89PNG\r\n\x1a\n", 8), 0);
  EXPECT_EQ(std::memcmp(data.data() + 12, "IHDR", 4), 0);
  EXPECT_EQ(bigEndian(data, 16), 7u);
  EXPECT_EQ(bigEndian(data, 20), 3u);
  EXPECT_EQ(data[24], 8);  // bits per channel
  EXPECT_EQ(data[25], 2);  // RGB

  const auto rgba = device.root() / "alpha.png";
  ASSERT_TRUE(ce::writePng(a.bitmap, rgba, &error)) << error;
  data = readFile(rgba);
  ASSERT_GT(data.size(), 33u);
  EXPECT_EQ(data[25], 6); // RGBA

  std::vector<std::uint16_t> fb(4 * 4, 0x07E0);
  ASSERT_TRUE(ce::writePng(ce::PixelMemory{fb.data(), 4, 4, 8, ce::FramebufferFormat::Rgb565},
                           device.root() / "fb.png", &error));

  const auto missing = device.root() / "no" / "such" / "dir" / "x.png";
  EXPECT_FALSE(ce::writePng(s.bitmap, missing, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(ce::writePng(reinterpret_cast<HBITMAP>(s.dc), device.root() / "y.png", &error));
  EXPECT_FALSE(ce::writePng(ce::PixelMemory{nullptr, 4, 4, 8, ce::FramebufferFormat::Rgb565},
                            device.root() / "z.png", &error));
  EXPECT_FALSE(std::filesystem::exists(device.root() / "y.png"));
}

} // namespace
