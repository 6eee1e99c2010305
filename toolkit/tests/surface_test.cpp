// Memory surfaces and their raster operations, and the reporters that record failed steps
// without ever stopping the program.
#include "toolkit_test_support.h"

#include <toolkit/surface/drawing_reports.h>
#include <toolkit/surface/surface.h>

namespace {

using toolkit_test::pixelOf;
using toolkit_test::rgb565;
using toolkit_test::ToolkitDevice;

class SurfaceTest : public ToolkitDevice {
protected:
  void TearDown() override {
    for (Surface *&surface : made_)
      deleteSurf(&surface);
    ToolkitDevice::TearDown();
  }
  Surface *make(int width, int height, int bits = 16) {
    Surface *surface = nullptr;
    const DDSURFACEDESC description = describeSurface(width, height, bits);
    EXPECT_EQ(createSurf(&description, &surface), S_OK);
    made_.push_back(surface);
    return surface;
  }
  static void fill(Surface *surface, COLORREF color, const RECT *rect = nullptr) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = color;
    ASSERT_EQ(Blt(surface, rect, nullptr, nullptr, BltColorFill, &fx), S_OK);
  }
  // A 32-bit surface of one premultiplied B,G,R,A pixel value.
  Surface *translucent(int width, int height, std::uint32_t bgra) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, bgra);
    Surface *surface = createSurfFromPixels(width, height, 32, pixels.data(), width * 4);
    made_.push_back(surface);
    return surface;
  }
  std::vector<Surface *> made_;
};

TEST_F(SurfaceTest, DescriptionDecidesSizeAndDepth) {
  EXPECT_EQ(createSurf(nullptr, nullptr), E_INVALIDARG);
  const DDSURFACEDESC description = describeSurface(3, 2, 16);
  EXPECT_EQ(createSurf(&description, nullptr), E_INVALIDARG);

  for (const auto &[asked, depth] : {std::pair{32, 32}, {24, 24}, {16, 16}, {8, 16}, {0x120, 32}}) {
    Surface *surface = make(7, 5, asked);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->bitsPerPixel, depth) << asked;
    EXPECT_EQ(surface->width, 7);
    EXPECT_EQ(surface->height, 5);
    ASSERT_NE(surface->dc, nullptr);
    BITMAP bitmap{};
    ASSERT_NE(GetObjectW(surface->bitmap, sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmBitsPixel, depth);
    EXPECT_EQ(bitmap.bmWidth, 7);
  }
}

TEST_F(SurfaceTest, AFailedBitmapLeavesASurfaceWithoutBitmapAndIsReported) {
  const std::size_t before = drawingReportCount();
  Surface *surface = make(20000, 20000);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->bitmap, nullptr);
  EXPECT_EQ(surface->dc, nullptr);
  EXPECT_EQ(drawingReportCount(), before + 1);
  EXPECT_EQ(lastDrawingReport().step, u"CreateCompatibleBitmap");
  EXPECT_NE(lastDrawingReport().lastError, 0u);
  // Drawing into it fails cleanly.
  Surface *source = make(4, 4);
  EXPECT_EQ(Blt(surface, nullptr, source, nullptr, BltWait, nullptr), E_INVALIDARG);
  EXPECT_EQ(lastDrawingReport().step, u"BltFast BitBlt");
}

TEST_F(SurfaceTest, DeleteClearsThePointerAndIgnoresNull) {
  Surface *surface = make(4, 4);
  made_.clear();
  deleteSurf(&surface);
  EXPECT_EQ(surface, nullptr);
  deleteSurf(&surface);
  deleteSurf(nullptr);
}

TEST_F(SurfaceTest, AlphaSourceIsBlendedWithoutEffectsAndCopiedWithThem) {
  Surface *target = make(4, 4);
  // Half-transparent white, premultiplied: 0x80 in every channel.
  Surface *glass = translucent(2, 2, 0x80808080);
  fill(target, RGB(0, 0, 0));
  ASSERT_EQ(Blt(target, nullptr, glass, nullptr, BltWait, nullptr), S_OK);
  const std::uint32_t blended = pixelOf(*target, 1, 1);
  EXPECT_EQ(blended, rgb565(128, 128, 128));

  // With an effects record the source is copied as it is (its premultiplied colour, no alpha).
  fill(target, RGB(255, 255, 255));
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  ASSERT_EQ(Blt(target, nullptr, glass, nullptr, BltWait, &fx), S_OK);
  EXPECT_EQ(pixelOf(*target, 2, 2), rgb565(128, 128, 128));
  const std::uint32_t overWhite = [&] {
    fill(target, RGB(255, 255, 255));
    Blt(target, nullptr, glass, nullptr, BltWait, nullptr);
    return pixelOf(*target, 0, 0);
  }();
  EXPECT_EQ(overWhite, rgb565(255, 255, 255));
}

TEST_F(SurfaceTest, MissingRectanglesMeanWholeSurfacesStretched) {
  Surface *source = make(2, 2);
  fill(source, RGB(255, 0, 0));
  const RECT blueCorner{1, 1, 2, 2};
  fill(source, RGB(0, 0, 255), &blueCorner);
  Surface *target = make(8, 8);
  fill(target, RGB(0, 255, 0));

  // The whole source stretched onto the destination rectangle: its blue quarter becomes 2x2.
  const RECT into{2, 2, 6, 6};
  ASSERT_EQ(Blt(target, &into, source, nullptr, BltWait, nullptr), S_OK);
  EXPECT_EQ(pixelOf(*target, 2, 2), rgb565(255, 0, 0));
  EXPECT_EQ(pixelOf(*target, 4, 4), rgb565(0, 0, 255));
  EXPECT_EQ(pixelOf(*target, 5, 5), rgb565(0, 0, 255));
  EXPECT_EQ(pixelOf(*target, 6, 6), rgb565(0, 255, 0));
  EXPECT_EQ(pixelOf(*target, 1, 1), rgb565(0, 255, 0));

  // No destination rectangle: the source rectangle covers the whole destination.
  ASSERT_EQ(Blt(target, nullptr, source, &blueCorner, BltWait, nullptr), S_OK);
  EXPECT_EQ(pixelOf(*target, 0, 0), rgb565(0, 0, 255));
  EXPECT_EQ(pixelOf(*target, 7, 7), rgb565(0, 0, 255));
}

TEST_F(SurfaceTest, FillNeedsEffectsAndCopyNeedsASource) {
  Surface *target = make(4, 4);
  EXPECT_EQ(Blt(target, nullptr, nullptr, nullptr, BltWait, nullptr), E_INVALIDARG);
  EXPECT_EQ(Blt(target, nullptr, nullptr, nullptr, BltColorFill, nullptr), E_INVALIDARG);
  EXPECT_EQ(Blt(nullptr, nullptr, target, nullptr, BltWait, nullptr), E_INVALIDARG);
  fill(target, RGB(0, 0, 255));
  EXPECT_EQ(pixelOf(*target, 3, 3), rgb565(0, 0, 255));
  // The fill flag wins over a source.
  Surface *source = make(4, 4);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = RGB(255, 0, 0);
  EXPECT_EQ(Blt(target, nullptr, source, nullptr, BltColorFill, &fx), S_OK);
  EXPECT_EQ(pixelOf(*target, 0, 0), rgb565(255, 0, 0));
}

TEST_F(SurfaceTest, ConstantAlphaIgnoresTheSourcesOwnAlpha) {
  Surface *target = make(2, 2);
  fill(target, RGB(0, 0, 0));
  Surface *white = make(2, 2);
  fill(white, RGB(255, 255, 255));
  ASSERT_EQ(alphaBlt(target, nullptr, white, nullptr, 128), S_OK);
  EXPECT_EQ(pixelOf(*target, 0, 0), rgb565(128, 128, 128));

  // A fully transparent 32-bit source still blends in at the constant alpha.
  fill(target, RGB(0, 0, 0));
  Surface *clear = translucent(1, 1, 0x00FFFFFF);
  ASSERT_EQ(alphaBlt(target, nullptr, clear, nullptr, 255), S_OK);
  EXPECT_EQ(pixelOf(*target, 1, 1), rgb565(255, 255, 255));
  EXPECT_EQ(alphaBlt(nullptr, nullptr, clear, nullptr, 1), E_INVALIDARG);
}

TEST(DrawingReportsTest, ImagingFailuresAreRecordedAndTheProgramGoesOn) {
  const std::size_t before = drawingReportCount();
  // Codes that would be fatal elsewhere (bad arguments, out of memory, codec errors) and one
  // outside the table: each is recorded and the caller carries on.
  for (HRESULT code : {E_INVALIDARG, E_OUTOFMEMORY, IMGERR_CODECNOTFOUND, E_FAIL}) {
    reportImgError(code, u"loadImage");
    EXPECT_EQ(lastDrawingReport().result, code);
  }
  EXPECT_EQ(drawingReportCount(), before + 4);
  reportDDError(DDERR_SURFACEBUSY, u"MyPanel::paint Blt");
  EXPECT_EQ(lastDrawingReport().step, u"MyPanel::paint Blt");

  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  reportLastError(u"createSurf CreateCompatibleDC");
  EXPECT_EQ(lastDrawingReport().lastError, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_FALSE(lastDrawingReport().systemText.empty());
}

TEST(DrawingReportsTest, ResultNamesCoverDisplayAndImagingCodes) {
  EXPECT_EQ(resultName(DDERR_INVALIDRECT), u"DDERR_INVALIDRECT");
  EXPECT_EQ(resultName(DDERR_DCALREADYCREATED), u"DDERR_DCALREADYCREATED");
  EXPECT_EQ(resultName(E_INVALIDARG), u"DDERR_INVALIDPARAMS"); // the same code, listed first
  EXPECT_EQ(resultName(E_PENDING), u"E_PENDING");
  EXPECT_EQ(resultName(IMGERR_OBJECTBUSY), u"IMGERR_OBJECTBUSY");
  EXPECT_EQ(resultName(IMGERR_PROPERTYNOTSUPPORTED), u"IMGERR_PROPERTYNOTSUPPORTED");
  EXPECT_EQ(resultName(E_FAIL), u"");
  EXPECT_EQ(resultName(S_OK), u"");
}

} // namespace
