// Composition of the framebuffer, overlays and the wait mark, and screenshots of it.
#include "screen_test_support.h"

#include "imaging_fixture.h"

#include "../src/screen/overlay_stack.h"
#include "../src/screen/wait_mark.h"

#include <ce/core/utf.h>

#include <fstream>

using namespace screen_test;

namespace {

ce::OverlayPixels overlayPixels(int width, int height, ce::OverlayFormat format) {
  ce::OverlayPixels pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.format = format;
  pixels.stride = std::ptrdiff_t(width) * pixels.bytesPerPixel();
  pixels.memory = ce::SharedMemory::create(std::size_t(pixels.stride) * height, "test-overlay");
  return pixels;
}

std::uint16_t* row565(const ce::OverlayPixels& pixels, int y) {
  return reinterpret_cast<std::uint16_t*>(pixels.memory->data() + y * pixels.stride);
}

} // namespace

TEST(ScreenComposition, OverlaysStackStretchKeyAndBlendAboveTheFramebuffer) {
  auto screen = ce::Screen::create(64, 48);
  ASSERT_TRUE(screen);
  const std::uint16_t blue = rgb565(0, 0, 255), red = rgb565(255, 0, 0);
  fillFramebuffer(screen->framebuffer(), blue);

  // A 2x2 opaque overlay whose top-left pixel is keyed out, stretched to 8x8 at (4, 4).
  auto keyed = overlayPixels(2, 2, ce::OverlayFormat::Rgb565);
  row565(keyed, 0)[0] = 0x0001;
  row565(keyed, 0)[1] = red;
  row565(keyed, 1)[0] = red;
  row565(keyed, 1)[1] = red;
  const auto first = screen->overlays().add(keyed, 7);
  ASSERT_NE(first, 0u);
  ce::OverlayPlacement placement;
  placement.source = {0, 0, 2, 2};
  placement.destination = {4, 4, 12, 12};
  placement.visible = true;
  placement.colourKeyed = true;
  placement.keyLow = placement.keyHigh = 0x0001;
  ASSERT_TRUE(screen->overlays().place(first, placement));

  // A premultiplied half-transparent green overlay added later lies above the first one and
  // hangs off the right edge of the screen.
  auto glass = overlayPixels(4, 4, ce::OverlayFormat::Premultiplied32);
  for (int i = 0; i < 16; ++i) {
    std::uint8_t* p = reinterpret_cast<std::uint8_t*>(glass.memory->data()) + i * 4;
    p[0] = 0, p[1] = 128, p[2] = 0, p[3] = 128; // 50 % green, premultiplied
  }
  const auto second = screen->overlays().add(glass, 7);
  ce::OverlayPlacement over;
  over.source = {0, 0, 4, 4};
  over.destination = {10, 10, 70, 14};
  over.visible = true;
  ASSERT_TRUE(screen->overlays().place(second, over));

  ce::ScreenImage image;
  screen->compose(image);
  ASSERT_EQ(image.width, 64);
  ASSERT_EQ(image.height, 48);
  EXPECT_EQ(bgrAt(image, 0, 0), bgrOf565(blue));
  EXPECT_EQ(bgrAt(image, 5, 5), bgrOf565(blue)) << "keyed-out quarter shows the framebuffer";
  EXPECT_EQ(bgrAt(image, 8, 5), bgrOf565(red));
  // Red under 50 % premultiplied green: G = 128, R = 255 * 127 / 255 = 127.
  EXPECT_EQ(bgrAt(image, 11, 11), 0x7F8000u);
  // The same green over the blue framebuffer, up to the screen's right edge.
  EXPECT_EQ(bgrAt(image, 63, 13), 0x00807Fu);
  EXPECT_EQ(bgrAt(image, 63, 14), bgrOf565(blue));

  // Hiding the upper overlay uncovers the lower one; removing a process's overlays clears both.
  over.visible = false;
  ASSERT_TRUE(screen->overlays().place(second, over));
  screen->compose(image);
  EXPECT_EQ(bgrAt(image, 11, 11), bgrOf565(red));
  EXPECT_EQ(screen->overlays().removeOwnedBy(7), 2u);
  screen->compose(image);
  EXPECT_EQ(bgrAt(image, 8, 5), bgrOf565(blue));
}

TEST(ScreenComposition, UnsoundOverlaysAreRefused) {
  ce::OverlayStack stack;
  auto pixels = overlayPixels(6, 10, ce::OverlayFormat::Rgb565);
  auto tooBig = pixels;
  tooBig.height = 11; // one row more than the memory holds
  EXPECT_EQ(stack.add(tooBig, 1), 0u);
  auto shortRows = pixels;
  shortRows.stride = 10;
  EXPECT_EQ(stack.add(shortRows, 1), 0u);
  const auto id = stack.add(pixels, 1);
  ASSERT_NE(id, 0u);

  ce::OverlayPlacement placement;
  placement.destination = {0, 0, 6, 10};
  placement.source = {0, 0, 6, 11}; // beyond the pixels
  EXPECT_FALSE(stack.place(id, placement));
  placement.source = {3, 0, 3, 10}; // empty
  EXPECT_FALSE(stack.place(id, placement));
  placement.source = {0, 0, 6, 10};
  placement.destination = {0, 0, 6, 100000}; // absurd coordinates
  EXPECT_FALSE(stack.place(id, placement));
  EXPECT_FALSE(stack.place(id + 1, placement));
  placement.destination = {-3, -3, 3, 7};
  EXPECT_TRUE(stack.place(id, placement));
  EXPECT_TRUE(stack.move(id, 100, 200));
  EXPECT_EQ(stack.find(id)->placement.destination.bottom, 210);
  EXPECT_FALSE(stack.move(id, 2147483000, 0));
}

TEST(ScreenComposition, WaitMarkIsCentredAndOnlyWhileTheWaitCursorIsSet) {
  auto screen = ce::Screen::create(480, 800);
  ASSERT_TRUE(screen);
  fillFramebuffer(screen->framebuffer(), rgb565(255, 255, 0));
  ce::ScreenImage plain, waiting;
  screen->compose(plain);
  screen->setWaitCursor(true);
  screen->compose(waiting);
  const RECT box = ce::WaitMark::bounds(480, 800);
  EXPECT_EQ(box.left + box.right, 480);
  EXPECT_EQ(box.right - box.left, 40);
  int changed = 0;
  for (int y = 0; y < 800; ++y)
    for (int x = 0; x < 480; ++x) {
      if (bgrAt(plain, x, y) == bgrAt(waiting, x, y)) continue;
      ++changed;
      EXPECT_TRUE(x >= box.left && x < box.right && y >= box.top && y < box.bottom)
          << x << "," << y << " lies outside the mark";
    }
  EXPECT_GT(changed, 40 * 60 / 3);
  // Black frame bars at top and bottom of the box.
  EXPECT_EQ(bgrAt(waiting, (box.left + box.right) / 2, box.top), 0u);
  EXPECT_EQ(bgrAt(waiting, (box.left + box.right) / 2, box.bottom - 1), 0u);
  screen->setWaitCursor(false);
  screen->compose(waiting);
  EXPECT_EQ(waiting.bgr, plain.bgr);
}

class ScreenScreenshot : public ce::testing::ImagingTest {};

TEST_F(ScreenScreenshot, PngHoldsExactlyTheComposedPixels) {
  auto screen = ce::Screen::create(120, 160);
  ASSERT_TRUE(screen);
  // Every 5-6-5 value class: a gradient over the whole framebuffer.
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 120; ++x) screen->framebuffer().row(y)[x] = std::uint16_t(y * 409 + x * 97);
  auto bar = overlayPixels(6, 160, ce::OverlayFormat::Rgb565);
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 6; ++x) row565(bar, y)[x] = 0xA514;
  const auto id = screen->overlays().add(bar, 1);
  ce::OverlayPlacement placement;
  placement.source = {0, 0, 6, 40};
  placement.destination = {114, 20, 120, 60};
  placement.visible = true;
  ASSERT_TRUE(screen->overlays().place(id, placement));
  screen->setWaitCursor(true);

  const auto file = root_ / "shot.png";
  std::string error;
  ASSERT_TRUE(screen->saveScreenshot(file, &error)) << error;
  ce::ScreenImage composed;
  screen->compose(composed);

  std::ifstream in(file, std::ios::binary);
  const ce::testing::Bytes bytes((std::istreambuf_iterator<char>(in)), {});
  IImage* image = decode(bytes);
  ASSERT_NE(image, nullptr);
  const std::vector<ARGB> pixels = argbOf(image);
  image->Release();
  ASSERT_EQ(pixels.size(), 120u * 160u);
  int mismatches = 0;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 120; ++x)
      if ((pixels[std::size_t(y) * 120 + x] & 0xFFFFFF) != bgrAt(composed, x, y)) ++mismatches;
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(pixels[20 * 120 + 117] & 0xFFFFFF, bgrOf565(0xA514));

  // A folder that does not exist: a clear failure and nothing left behind.
  EXPECT_FALSE(screen->saveScreenshot(root_ / "missing" / "shot.png", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(root_ / "missing"));
}
