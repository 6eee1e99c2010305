// Icons drawn onto the key colour and turned into images with transparency, saved as PNG files;
// white-on-black text turned into premultiplied coloured coverage.
#include "icon_test_support.h"

#include <toolkit/icon/icon_image.h>
#include <toolkit/image/real_alpha.h>

namespace {

using toolkit_test::filePixel;
using toolkit_test::IconDevice;
using toolkit_test::pixelOf;
namespace icon_files = toolkit_test::icon_files;

class IconImageTest : public IconDevice {
protected:
  void TearDown() override {
    for (HICON icon : icons_)
      DestroyIcon(icon);
    IconDevice::TearDown();
  }
  // A 24-bit icon from `pixels` (0xRRGGBB, row by row); `mask` 1 marks transparent pixels.
  HICON maskIcon(int width, int height, std::vector<ARGB> pixels, const icon_files::Bytes &mask) {
    for (std::size_t i = 0; i < pixels.size(); ++i)
      pixels[i] = mask[i] ? 0 : (pixels[i] | 0xFF000000u);
    putBytes("icons/mask.ico",
             icon_files::ico(
                 {{width, height, 24, icon_files::dibEntry(width, height, pixels, mask, 24)}}));
    return keep(extract(u"\\icons\\mask.ico"));
  }
  HICON keep(HICON icon) {
    if (icon)
      icons_.push_back(icon);
    return icon;
  }
  std::vector<HICON> icons_;
};

TEST_F(IconImageTest, TheKeyColourBecomesTransparentAndEverythingElseOpaque) {
  // Red, with its left column masked out: the key colour shows there, the top-left included.
  std::vector<ARGB> red(16 * 16, 0xFF0000);
  icon_files::Bytes mask(16 * 16, 0);
  for (int y = 0; y < 16; ++y)
    mask[static_cast<std::size_t>(y) * 16] = 1;
  HICON icon = maskIcon(16, 16, red, mask);
  ASSERT_NE(icon, nullptr);
  const auto picture = iconToImage(icon);
  ASSERT_NE(picture, nullptr);
  ASSERT_EQ(picture->width(), 16);
  ASSERT_EQ(picture->height(), 16);
  for (int y = 0; y < 16; ++y) {
    EXPECT_EQ(picture->pixel(0, y), 0x004B914Bu) << y; // the key colour, with alpha 0
    EXPECT_EQ(picture->pixel(1, y), 0xFFFF0000u) << y;
    EXPECT_EQ(picture->pixel(15, y), 0xFFFF0000u) << y;
  }
  ImageInfo info{};
  ASSERT_EQ(picture->image()->GetImageInfo(&info), S_OK);
  EXPECT_EQ(info.PixelFormat, PixelFormat32bppARGB);
  EXPECT_EQ(info.Width, 16u);
}

TEST_F(IconImageTest, AnOpaqueCornerKeepsItsColourOpaqueEverywhere) {
  // A black outline round white: the top-left pixel is black. Black pixels elsewhere stay
  // opaque, not only that one.
  std::vector<ARGB> pixels(16 * 16, 0xFFFFFF);
  for (int i = 0; i < 16; ++i) {
    pixels[static_cast<std::size_t>(i)] = 0x000000;
    pixels[static_cast<std::size_t>(15 * 16 + i)] = 0x000000;
    pixels[static_cast<std::size_t>(i * 16)] = 0x000000;
    pixels[static_cast<std::size_t>(i * 16 + 15)] = 0x000000;
  }
  pixels[8 * 16 + 8] = 0x4B914B; // the key colour inside the icon is transparent all the same
  HICON icon = maskIcon(16, 16, pixels, icon_files::Bytes(16 * 16, 0));
  const auto picture = iconToImage(icon);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->pixel(0, 0), 0xFF000000u);
  EXPECT_EQ(picture->pixel(15, 9), 0xFF000000u);
  EXPECT_EQ(picture->pixel(7, 15), 0xFF000000u);
  EXPECT_EQ(picture->pixel(4, 4), 0xFFFFFFFFu);
  EXPECT_EQ(picture->pixel(8, 8) >> 24, 0u);
}

TEST_F(IconImageTest, IconsNarrowerThanSixteenPixelsGiveNoImage) {
  putIco("icons/15.ico", 0xFF2040A0, {15});
  putIco("icons/16.ico", 0xFF2040A0, {16});
  HICON narrow = keep(extract(u"\\icons\\15.ico"));
  HICON enough = keep(extract(u"\\icons\\16.ico"));
  ASSERT_NE(narrow, nullptr);
  ASSERT_NE(enough, nullptr);
  EXPECT_EQ(iconToImage(narrow), nullptr);
  const auto picture = iconToImage(enough);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->pixel(7, 7), 0xFF2040A0u);

  // Handles that are no icon (never made, or destroyed) give nothing either.
  EXPECT_EQ(iconToImage(nullptr), nullptr);
  HICON gone = extract(u"\\icons\\16.ico");
  DestroyIcon(gone);
  EXPECT_EQ(iconToImage(gone), nullptr);
}

TEST_F(IconImageTest, SavedIconsArePngFilesWithTheirTransparency) {
  icon_files::Bytes mask(32 * 32, 0);
  mask[0] = mask[1] = 1;
  HICON icon = maskIcon(32, 32, std::vector<ARGB>(32 * 32, 0x0000FF), mask);
  ASSERT_NE(icon, nullptr);
  put("Program Files/Vireta/resources/keep.txt", "");
  const std::u16string path = u"\\Program Files\\Vireta\\resources\\blue.png";
  ASSERT_TRUE(saveIconAsPng(icon, path));
  EXPECT_EQ(imageSize(path).cx, 32);
  EXPECT_EQ(filePixel(path, 0, 0) >> 24, 0u);
  EXPECT_EQ(filePixel(path, 1, 0) >> 24, 0u);
  EXPECT_EQ(filePixel(path, 2, 0), 0xFF0000FFu);
  EXPECT_EQ(filePixel(path, 31, 31), 0xFF0000FFu);

  // A folder that does not exist, or an icon too small: nothing is written, and a file that is
  // there already stays as it was.
  EXPECT_FALSE(saveIconAsPng(icon, u"\\No Such Folder\\blue.png"));
  EXPECT_FALSE(hostExists("No Such Folder"));
  putIco("icons/8.ico", 0xFFFF0000, {8});
  HICON tiny = keep(extract(u"\\icons\\8.ico"));
  ASSERT_NE(tiny, nullptr);
  const std::string before = hostRead("Program Files/Vireta/resources/blue.png");
  EXPECT_FALSE(saveIconAsPng(tiny, path));
  EXPECT_EQ(hostRead("Program Files/Vireta/resources/blue.png"), before);
}

// The coverage table and the pixel rule against their definition, over every 16-bit value.
TEST(RealAlpha, EveryTextPixelMapsToItsLevelTimesEight) {
  for (COLORREF colour : {RGB(255, 255, 255), RGB(255, 0, 0), RGB(12, 200, 99), RGB(0, 0, 0)}) {
    const auto table = realAlphaTable(colour);
    ASSERT_EQ(table.size(), 255u);
    for (std::uint32_t p = 0; p <= 0xFFFF; ++p) {
      std::uint32_t expected = 0;
      if (p != 0) {
        const std::uint32_t level = ((p >> 10 & 31) + (p >> 5 & 31) + (p & 31)) / 3;
        const std::uint32_t i = level * 8;
        expected = i << 24 | (GetRValue(colour) * i / 255) << 16 |
                   (GetGValue(colour) * i / 255) << 8 | (GetBValue(colour) * i / 255);
      }
      ASSERT_EQ(realAlphaPixel(static_cast<std::uint16_t>(p), table), expected) << p;
    }
  }
  const auto white = realAlphaTable(RGB(255, 255, 255));
  EXPECT_EQ(realAlphaPixel(0x7FFF, white), 0xF8F8F8F8u); // full white is entry 248
  EXPECT_EQ(realAlphaPixel(0x8000, white), 0u);          // the unused top bit alone: level 0
  EXPECT_EQ(realAlphaPixel(0x0003, white), 0x08080808u); // level 1
  EXPECT_EQ(white[254], 0xFEFEFEFEu);
}

TEST_F(IconImageTest, TextSurfacesBecomeColouredCoverage) {
  Surface *text = nullptr;
  const DDSURFACEDESC description = describeSurface(20, 10, 16);
  ASSERT_EQ(createSurf(&description, &text), S_OK);
  ASSERT_NE(text->dc, nullptr);
  const RECT all{0, 0, 20, 10}, glyph{5, 2, 9, 8};
  FillRect(text->dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  FillRect(text->dc, &glyph, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

  ASSERT_EQ(computeRealAlpha(text, RGB(255, 0, 0)), S_OK);
  EXPECT_EQ(text->bitsPerPixel, 32);
  EXPECT_EQ(pixelOf(*text, 6, 4), 0xF8F80000u);
  EXPECT_EQ(pixelOf(*text, 1, 1), 0u);
  EXPECT_EQ(pixelOf(*text, 19, 9), 0u);

  // A surface that already has 32 bits is left alone; no surface is refused.
  const std::uint32_t before = pixelOf(*text, 6, 4);
  EXPECT_EQ(computeRealAlpha(text, RGB(0, 0, 255)), S_OK);
  EXPECT_EQ(pixelOf(*text, 6, 4), before);
  EXPECT_EQ(computeRealAlpha(nullptr, RGB(0, 0, 255)), E_INVALIDARG);
  deleteSurf(&text);
}

} // namespace
