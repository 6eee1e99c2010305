// Drawing images onto DCs: stretching, source rectangles, alpha, argument checks.
#include "imaging_canvas.h"
#include "imaging_fixture.h"
#include "imaging_test_images.h"

namespace ce::testing {
namespace {

class ImagingDraw : public ImagingTest {};

TEST_F(ImagingDraw, DrawsStretchedOpaqueAndBlendedImages) {
  IImage *image = decode(images::pngRgba(2, 1, {0xFFFF0000, 0xFF0000FF}));
  ASSERT_TRUE(image);
  Canvas canvas(6, 3, 0xFF000000);
  RECT whole{1, 1, 5, 3};
  ASSERT_EQ(image->Draw(canvas.dc(), &whole, nullptr), S_OK);
  EXPECT_EQ(canvas.at(0, 0), 0xFF000000u); // outside the rectangle
  EXPECT_EQ(canvas.at(1, 1) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(canvas.at(4, 2) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(canvas.at(5, 1), 0xFF000000u);
  // Only the source rectangle's pixels: the blue half, into one pixel.
  RECT right{1, 0, 2, 1}, one{0, 0, 1, 1};
  ASSERT_EQ(image->Draw(canvas.dc(), &one, &right), S_OK);
  EXPECT_EQ(canvas.at(0, 0) & 0xFFFFFF, 0x0000FFu);

  RECT empty{2, 2, 2, 3}, outside{0, 0, 3, 1};
  EXPECT_EQ(image->Draw(nullptr, &whole, nullptr), E_INVALIDARG);
  EXPECT_EQ(image->Draw(canvas.dc(), &empty, nullptr), E_INVALIDARG);
  EXPECT_EQ(image->Draw(canvas.dc(), &whole, &outside), E_INVALIDARG);
  image->Release();

  // Half-transparent white over black comes out mid grey; the clear pixel leaves black.
  image = decode(images::pngRgba(2, 1, {0x80FFFFFF, 0x00FF0000}));
  ASSERT_TRUE(image);
  Canvas dark(2, 1, 0xFF000000);
  RECT both{0, 0, 2, 1};
  ASSERT_EQ(image->Draw(dark.dc(), &both, nullptr), S_OK);
  EXPECT_NEAR(int(dark.at(0, 0) & 255), 128, 1);
  EXPECT_EQ(dark.at(1, 0) & 0xFFFFFF, 0u);
  image->Release();
}

TEST_F(ImagingDraw, DrawsIntoSixteenBitSurfaces) {
  IImage *image = decode(images::pngRgba(1, 1, {0xFF00FF00}));
  ASSERT_TRUE(image);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, 2, 2};
  ASSERT_EQ(image->Draw(dc, &all, nullptr), S_OK);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 255, 0));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  image->Release();
}

} // namespace
} // namespace ce::testing
