// Image files decoded into surfaces at the requested size, bad files treated as missing, and
// image files rescaled in place.
#include "toolkit_test_support.h"

#include <toolkit/image/image_file.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/surface/drawing_reports.h>

namespace {

using toolkit_test::pixelOf;
using toolkit_test::rgb565;
using toolkit_test::ToolkitDevice;

class ImageLoadingTest : public ToolkitDevice {
protected:
  void TearDown() override {
    for (Surface *&surface : loaded_)
      deleteSurf(&surface);
    ToolkitDevice::TearDown();
  }
  Surface *load(const std::u16string &path, double size) {
    Surface *surface = loadImage(path, size);
    loaded_.push_back(surface);
    return surface;
  }
  std::vector<Surface *> loaded_;
};

TEST_F(ImageLoadingTest, SizeIsATargetWidthOrAFactor) {
  putPng("img/wide.png", 240, 100, 0x80402010);
  for (double size : {120.0, -0.5}) {
    Surface *surface = load(u"\\img\\wide.png", size);
    ASSERT_NE(surface, nullptr) << size;
    EXPECT_EQ(surface->width, 120);
    EXPECT_EQ(surface->height, 50);
    EXPECT_EQ(surface->bitsPerPixel, 32);
    // The premultiplied colour survives the resampling of a uniform picture.
    EXPECT_EQ(pixelOf(*surface, 60, 25), 0x80402010u);
  }
  Surface *own = load(u"\\img\\wide.png", 0);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->width, 240);
  EXPECT_EQ(own->height, 100);
  EXPECT_EQ(own->bitsPerPixel, 32);
}

TEST_F(ImageLoadingTest, OpaqueAndLargeImagesBecomeSixteenBitSurfaces) {
  // No ".png" in the name: no alpha is assumed, so a 16-bit surface.
  putPng("img/photo.bin", 64, 32, 0xFFFF0000);
  Surface *photo = load(u"\\img\\photo.bin", 0);
  ASSERT_NE(photo, nullptr);
  EXPECT_EQ(photo->bitsPerPixel, 16);
  EXPECT_EQ(pixelOf(*photo, 10, 10), rgb565(255, 0, 0));

  // An image of more than twice the 480 x 640 screen is scaled to the screen's height.
  putPng("img/huge.png", 1200, 1200, 0xFF00FF00);
  Surface *huge = load(u"\\img\\huge.png", 0);
  ASSERT_NE(huge, nullptr);
  EXPECT_EQ(huge->width, 640);
  EXPECT_EQ(huge->height, 640);
  EXPECT_EQ(huge->bitsPerPixel, 16);
  EXPECT_EQ(pixelOf(*huge, 639, 639), rgb565(0, 255, 0));
}

TEST_F(ImageLoadingTest, OnePixelPicturesResampleWithinTheirBounds) {
  // Enlarging a 1 x 1 picture pairs its only pixel with itself.
  putPng("img/dot.png", 1, 1, 0xFF0000FF);
  Surface *dot = load(u"\\img\\dot.png", -3);
  ASSERT_NE(dot, nullptr);
  EXPECT_EQ(dot->width, 3);
  EXPECT_EQ(dot->bitsPerPixel, 32);
  EXPECT_EQ(pixelOf(*dot, 2, 2), 0xFF0000FFu);

  putPngPixels("img/line.png", 4, 1, {0xFF0000FF, 0xFF0000FF, 0xFFFF0000, 0xFFFF0000});
  Surface *line = load(u"\\img\\line.png", -2);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->height, 2);
  EXPECT_EQ(pixelOf(*line, 0, 1), 0xFF0000FFu);
  EXPECT_EQ(pixelOf(*line, 7, 1), 0xFFFF0000u);
}

TEST_F(ImageLoadingTest, BadFilesAreMissingPicturesAndTheProgramGoesOn) {
  put("img/broken.png", std::string("\x89PNG\r\n\x1a\n garbage", 17));
  const std::size_t before = drawingReportCount();
  Surface *placeholder = load(u"\\img\\broken.png", 0);
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->width, 4);
  EXPECT_EQ(placeholder->height, 4);
  EXPECT_GT(drawingReportCount(), before);

  const bool previous = setNoImagePlaceholder(true);
  EXPECT_EQ(load(u"\\img\\broken.png", 0), nullptr);
  EXPECT_EQ(load(u"\\img\\absent.png", 0), nullptr);
  EXPECT_TRUE(setNoImagePlaceholder(previous));
}

TEST_F(ImageLoadingTest, RescalingRewritesTheFileAsASmallerPng) {
  putPngPixels("img/pair.png", 4, 2,
               {0xFF0000FF, 0xFF0000FF, 0xFFFF0000, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF, 0xFFFF0000,
                0xFFFF0000});
  ASSERT_EQ(rescaleImageFile(u"\\img\\pair.png", 0.5), S_OK);
  const SIZE size = imageSize(u"\\img\\pair.png");
  EXPECT_EQ(size.cx, 2);
  EXPECT_EQ(size.cy, 1);
  // Averaging keeps the two colour halves apart.
  Surface *halves = load(u"\\img\\pair.png", 0);
  ASSERT_NE(halves, nullptr);
  EXPECT_EQ(pixelOf(*halves, 0, 0), 0xFF0000FFu);
  EXPECT_EQ(pixelOf(*halves, 1, 0), 0xFFFF0000u);

  put("img/notes.txt", "plain text");
  EXPECT_NE(rescaleImageFile(u"\\img\\notes.txt", 0.5), S_OK);
  EXPECT_EQ(hostRead("img/notes.txt"), "plain text");
  EXPECT_NE(rescaleImageFile(u"\\img\\absent.png", 0.5), S_OK);
}

} // namespace
