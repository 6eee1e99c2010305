// DirectDraw over a screen in this process: the primary draws unclipped into the framebuffer,
// overlays show above it as the toolkit's scroll bar uses them, descriptions are validated.
#include "screen_test_support.h"

#include "../src/screen/local_display.h"

#include <ce/windows.h>

#include <cstring>
#include <set>
#include <vector>

using namespace screen_test;

namespace {

class ScreenDirectDraw : public ::testing::Test {
protected:
  void SetUp() override {
    screen_ = ce::Screen::create(480, 800);
    ASSERT_TRUE(screen_);
    ce::useDisplay(std::make_shared<ce::LocalDisplay>(screen_, 42));
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd_, nullptr), DD_OK);
    ASSERT_EQ(dd_->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
  }
  void TearDown() override {
    if (dd_) dd_->Release();
    ce::useDisplay(nullptr);
  }
  static DDSURFACEDESC describe(DWORD flags, DWORD caps, DWORD width = 0, DWORD height = 0) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.ddsCaps.dwCaps = caps;
    desc.dwWidth = width;
    desc.dwHeight = height;
    return desc;
  }
  IDirectDrawSurface* create(DDSURFACEDESC desc, HRESULT expected = DD_OK) {
    IDirectDrawSurface* surface = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), expected);
    return surface;
  }

  std::shared_ptr<ce::Screen> screen_;
  IDirectDraw* dd_ = nullptr;
};

} // namespace

TEST_F(ScreenDirectDraw, PrimaryDcCoversTheWholeScreenWithoutClipping) {
  IDirectDrawSurface* primary = create(describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE));
  ASSERT_NE(primary, nullptr);
  // One primary per display object until it is released.
  create(describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE), DDERR_PRIMARYSURFACEALREADYEXISTS);

  HDC dc = nullptr;
  ASSERT_EQ(primary->GetDC(&dc), DD_OK);
  HDC second = nullptr;
  EXPECT_EQ(primary->GetDC(&second), DDERR_DCALREADYCREATED);
  const RECT all{0, 0, 480, 800};
  HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
  EXPECT_NE(FillRect(dc, &all, brush), 0);
  DeleteObject(brush);
  EXPECT_EQ(primary->ReleaseDC(nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(primary->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(primary->ReleaseDC(dc), DDERR_NODC);
  EXPECT_EQ(screen_->framebuffer().row(0)[0], 0xF800);
  EXPECT_EQ(screen_->framebuffer().row(799)[479], 0xF800);

  // After the device turns, the next DC and description have the new size.
  screen_->rotate();
  DDSURFACEDESC desc = describe(0, 0);
  ASSERT_EQ(primary->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 800u);
  EXPECT_EQ(desc.dwHeight, 480u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
  ASSERT_EQ(primary->GetDC(&dc), DD_OK);
  EXPECT_EQ(SetPixel(dc, 799, 479, RGB(0, 0, 255)), RGB(0, 0, 255));
  EXPECT_EQ(primary->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(screen_->framebuffer().row(479)[799], 0x001F);

  EXPECT_EQ(primary->Release(), 0u);
  IDirectDrawSurface* again = create(describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE));
  ASSERT_NE(again, nullptr);
  again->Release();
}

TEST_F(ScreenDirectDraw, ScrollBarOverlayShowsMovesAndHides) {
  IDirectDrawSurface* primary = create(describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE));
  IDirectDrawSurface* bar =
      create(describe(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OVERLAY, 6, 800));
  ASSERT_NE(bar, nullptr);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0xA514;
  ASSERT_EQ(bar->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  fillFramebuffer(screen_->framebuffer(), 0xFFFF);

  ce::ScreenImage image;
  screen_->compose(image);
  EXPECT_EQ(bgrAt(image, 477, 100), bgrOf565(0xFFFF)) << "an overlay starts hidden";

  // Source rows 0 .. thumb length onto the right edge, below a 50-pixel title.
  RECT source{0, 0, 6, 200};
  RECT dest{474, 50, 480, 250};
  EXPECT_EQ(bar->SetOverlayPosition(0, 0), DDERR_OVERLAYNOTVISIBLE);
  ASSERT_EQ(bar->UpdateOverlay(&source, primary, &dest, DDOVER_SHOW, nullptr), DD_OK);
  screen_->compose(image);
  EXPECT_EQ(bgrAt(image, 474, 50), bgrOf565(0xA514));
  EXPECT_EQ(bgrAt(image, 479, 249), bgrOf565(0xA514));
  EXPECT_EQ(bgrAt(image, 479, 250), bgrOf565(0xFFFF));
  EXPECT_EQ(bgrAt(image, 473, 100), bgrOf565(0xFFFF));

  ASSERT_EQ(bar->SetOverlayPosition(474, 400), DD_OK);
  LONG x = 0, y = 0;
  ASSERT_EQ(bar->GetOverlayPosition(&x, &y), DD_OK);
  EXPECT_EQ(y, 400);
  screen_->compose(image);
  EXPECT_EQ(bgrAt(image, 476, 100), bgrOf565(0xFFFF));
  EXPECT_EQ(bgrAt(image, 476, 599), bgrOf565(0xA514));

  ASSERT_EQ(bar->UpdateOverlay(nullptr, primary, nullptr, DDOVER_HIDE, nullptr), DD_OK);
  screen_->compose(image);
  EXPECT_EQ(bgrAt(image, 476, 500), bgrOf565(0xFFFF));

  // Releasing the surface takes its overlay off the screen for good.
  ASSERT_EQ(bar->UpdateOverlay(&source, primary, &dest, DDOVER_SHOW, nullptr), DD_OK);
  EXPECT_EQ(screen_->overlays().visibleInOrder().size(), 1u);
  bar->Release();
  EXPECT_TRUE(screen_->overlays().visibleInOrder().empty());
  primary->Release();
}

TEST_F(ScreenDirectDraw, OverlayArgumentsAreChecked) {
  IDirectDrawSurface* primary = create(describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE));
  IDirectDrawSurface* offscreen =
      create(describe(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN, 10, 10));
  IDirectDrawSurface* bar =
      create(describe(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OVERLAY, 6, 100));
  RECT dest{0, 0, 6, 100};
  RECT outside{0, 0, 7, 100};
  RECT empty{0, 10, 6, 10};
  EXPECT_EQ(offscreen->UpdateOverlay(nullptr, primary, &dest, DDOVER_SHOW, nullptr),
            DDERR_NOTAOVERLAYSURFACE);
  EXPECT_EQ(bar->UpdateOverlay(nullptr, offscreen, &dest, DDOVER_SHOW, nullptr),
            DDERR_INVALIDPARAMS);
  EXPECT_EQ(bar->UpdateOverlay(nullptr, primary, nullptr, DDOVER_SHOW, nullptr),
            DDERR_INVALIDPARAMS);
  EXPECT_EQ(bar->UpdateOverlay(&outside, primary, &dest, DDOVER_SHOW, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(bar->UpdateOverlay(nullptr, primary, &empty, DDOVER_SHOW, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(bar->UpdateOverlay(nullptr, primary, &dest, DDOVER_SHOW | DDOVER_HIDE, nullptr),
            DDERR_INVALIDPARAMS);
  EXPECT_EQ(bar->UpdateOverlay(nullptr, primary, &dest, DDOVER_SHOW | DDOVER_KEYSRC, nullptr),
            DDERR_INVALIDPARAMS) << "no source key was set";
  DDCOLORKEY key{0x0000, 0x0000};
  ASSERT_EQ(bar->SetColorKey(DDCKEY_SRCOVERLAY, &key), DD_OK);
  EXPECT_EQ(bar->UpdateOverlay(nullptr, primary, &dest, DDOVER_SHOW | DDOVER_KEYSRC, nullptr),
            DD_OK);
  // The surface is all zeros, which the key makes transparent.
  fillFramebuffer(screen_->framebuffer(), 0x1234);
  ce::ScreenImage image;
  screen_->compose(image);
  EXPECT_EQ(bgrAt(image, 3, 50), bgrOf565(0x1234));
  bar->Release();
  offscreen->Release();
  primary->Release();
}

TEST_F(ScreenDirectDraw, BadDescriptionsAndOrderAreRefused) {
  IDirectDraw* fresh = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &fresh, nullptr), DD_OK);
  DDSURFACEDESC primary = describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
  IDirectDrawSurface* surface = reinterpret_cast<IDirectDrawSurface*>(1);
  EXPECT_EQ(fresh->CreateSurface(&primary, &surface, nullptr), DDERR_NOCOOPERATIVELEVELSET);
  EXPECT_EQ(surface, nullptr);
  EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE),
            DDERR_INVALIDPARAMS) << "exclusive mode needs a window";
  EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, DDSCL_NORMAL | DDSCL_FULLSCREEN),
            DDERR_INVALIDPARAMS);
  fresh->Release();

  DDSURFACEDESC desc = describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
  desc.dwSize = 100;
  create(desc, DDERR_INVALIDPARAMS);
  create(describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE | DDSCAPS_OVERLAY), DDERR_INVALIDCAPS);
  create(describe(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_PRIMARYSURFACE, 10, 10),
         DDERR_INVALIDPARAMS);
  create(describe(DDSD_WIDTH, 0, 10), DDERR_INVALIDPARAMS);
  create(describe(DDSD_WIDTH | DDSD_HEIGHT, 0, 0, 10), DDERR_INVALIDPARAMS);
  create(describe(DDSD_WIDTH | DDSD_HEIGHT, 0, 5000, 10), DDERR_INVALIDPARAMS);
  desc = describe(DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, 0, 4, 4);
  desc.ddpfPixelFormat.dwRGBBitCount = 8;
  create(desc, DDERR_INVALIDPIXELFORMAT);
  desc.ddpfPixelFormat.dwRGBBitCount = 16;
  desc.ddpfPixelFormat.dwRBitMask = 0x7C00; // 5-5-5 is not the screen's format
  desc.ddpfPixelFormat.dwGBitMask = 0x03E0;
  desc.ddpfPixelFormat.dwBBitMask = 0x001F;
  create(desc, DDERR_INVALIDPIXELFORMAT);
  EXPECT_EQ(dd_->CreateSurface(&desc, nullptr, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(DirectDrawCreate(nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);

  // Without a display (no device to draw on) the display object cannot be made.
  ce::useDisplay(nullptr);
  IDirectDraw* none = reinterpret_cast<IDirectDraw*>(1);
  EXPECT_EQ(DirectDrawCreate(nullptr, &none, nullptr), DDERR_GENERIC);
  EXPECT_EQ(none, nullptr);
}

// The device's normal level is 0; programs written for it pass that number.
TEST_F(ScreenDirectDraw, TheNormalLevelIsZeroAsOnTheDevice) {
  IDirectDraw* fresh = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &fresh, nullptr), DD_OK);
  EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, 0), DD_OK);
  DDSURFACEDESC desc = describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
  IDirectDrawSurface* surface = nullptr;
  ASSERT_EQ(fresh->CreateSurface(&desc, &surface, nullptr), DD_OK) << "the level counts as set";
  surface->Release();
  EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, 0x8), DD_OK) << "other platforms' normal";
  EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, 0x2), DDERR_INVALIDPARAMS);
  EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  fresh->Release();
}

// Every result code a program may name is a failure of its own: no two share a value.
TEST(ScreenDirectDrawCodes, ResultCodesAreDistinctFailures) {
  const std::vector<HRESULT> codes{
      DDERR_INCOMPATIBLEPRIMARY,   DDERR_INVALIDCAPS,        DDERR_INVALIDOBJECT,
      DDERR_INVALIDPARAMS,         DDERR_INVALIDRECT,        DDERR_INVALIDPIXELFORMAT,
      DDERR_NOALPHAHW,             DDERR_NOBLTHW,            DDERR_NOCLIPLIST,
      DDERR_NOCOOPERATIVELEVELSET, DDERR_NOFLIPHW,           DDERR_NOOVERLAYHW,
      DDERR_NOSTRETCHHW,           DDERR_NOTAOVERLAYSURFACE, DDERR_OUTOFMEMORY,
      DDERR_OUTOFVIDEOMEMORY,      DDERR_SURFACEBUSY,        DDERR_PRIMARYSURFACEALREADYEXISTS,
      DDERR_UNSUPPORTED,           DDERR_DCALREADYCREATED,   DDERR_WASSTILLDRAWING,
      IMGERR_OBJECTBUSY,           IMGERR_NOPALETTE,         IMGERR_BADLOCK,
      IMGERR_BADUNLOCK,            IMGERR_NOCONVERSION,      IMGERR_CODECNOTFOUND,
      IMGERR_NOFRAME,              IMGERR_ABORT,             IMGERR_FAILLOADCODEC,
      IMGERR_PROPERTYNOTFOUND,     IMGERR_PROPERTYNOTSUPPORTED};
  std::set<HRESULT> distinct;
  for (const HRESULT code : codes) {
    EXPECT_TRUE(FAILED(code)) << std::hex << code;
    distinct.insert(code);
  }
  EXPECT_EQ(distinct.size(), codes.size());
  EXPECT_EQ(static_cast<std::uint32_t>(DDERR_WASSTILLDRAWING), 0x8876021Cu);
}

TEST_F(ScreenDirectDraw, BltFillsAndCopiesBetweenSurfacesAndLocksExclude) {
  IDirectDrawSurface* primary = create(describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE));
  DDSURFACEDESC desc = describe(DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, 0, 4, 2);
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwRGBBitCount = 32;
  IDirectDrawSurface* image = create(desc);
  ASSERT_NE(image, nullptr);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0xFF00FF00; // opaque green, B,G,R,A in memory
  ASSERT_EQ(image->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  RECT outside{0, 0, 5, 2};
  EXPECT_EQ(image->Blt(&outside, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
  EXPECT_EQ(image->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);

  // Stretched onto the primary, converted to 5-6-5.
  RECT dest{100, 100, 108, 104};
  ASSERT_EQ(primary->Blt(&dest, image, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(screen_->framebuffer().row(100)[100], 0x07E0);
  EXPECT_EQ(screen_->framebuffer().row(103)[107], 0x07E0);
  EXPECT_EQ(screen_->framebuffer().row(104)[107], 0x0000);
  EXPECT_EQ(primary->Blt(&dest, image, nullptr, DDBLT_KEYSRC, nullptr), DDERR_UNSUPPORTED);

  // A locked surface gives no DC and takes part in no blit until unlocked.
  DDSURFACEDESC locked = describe(0, 0);
  RECT second{1, 1, 2, 2};
  ASSERT_EQ(image->Lock(&second, &locked, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(locked.lPitch, 16);
  EXPECT_EQ(static_cast<std::uint8_t*>(locked.lpSurface)[1], 0xFF);
  HDC dc = nullptr;
  EXPECT_EQ(image->GetDC(&dc), DDERR_SURFACEBUSY);
  EXPECT_EQ(primary->Blt(&dest, image, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(image->Unlock(nullptr), DD_OK);
  EXPECT_EQ(image->Unlock(nullptr), DDERR_NOTLOCKED);
  image->Release();
  primary->Release();
}
