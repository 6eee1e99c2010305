// Icons: extraction from icon files, PE resources and sidecars; drawing on a DIB section;
// icon info copies and handle checks.
#include "icons_test_files.h"
#include "imaging_canvas.h"
#include "imaging_fixture.h"

#include <ce/errors.h>
#include <ce/gdi.h>
#include <ce/icons.h>

#include <cstring>

namespace ce::testing {
namespace {

namespace ic = icons;

class Icons : public ImagingTest {
protected:
  // Size and top-left colour of an icon's colour bitmap (through GetIconInfo).
  std::pair<LONG, ARGB> describe(HICON icon) {
    ICONINFO info{};
    EXPECT_TRUE(GetIconInfo(icon, &info));
    DIBSECTION section{};
    EXPECT_EQ(GetObjectW(info.hbmColor, sizeof section, &section), int(sizeof section));
    ARGB first = 0;
    std::memcpy(&first, section.dsBm.bmBits, section.dsBm.bmBitsPixel / 8);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return {section.dsBm.bmWidth, first & 0xFFFFFF};
  }

  // A 2x2 mask icon: red, green, blue, and a transparent fourth pixel.
  HICON maskIcon() {
    const std::vector<ARGB> px = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0};
    hostWrite("mask.ico", ic::ico({{2, 2, 24, ic::dibEntry(2, 2, px, {0, 0, 0, 1}, 24)}}));
    HICON icon = nullptr;
    EXPECT_EQ(ExtractIconExW(u"\\mask.ico", 0, &icon, nullptr, 1), 1u);
    return icon;
  }
};

TEST_F(Icons, IcoFilesGiveTheEntriesClosestToTheDeviceSizes) {
  // The default device has 192 dpi: large icons of 64 pixels, small ones of 32.
  std::vector<ARGB> png32(32 * 32, 0xFF00FF00);
  const auto file = ic::ico({ic::solid(16, 0xFF0000FF),
                             {32, 32, 32, images::pngRgba(32, 32, png32)},
                             ic::solid(48, 0xFFFF0000),
                             ic::solid(64, 0xFF808080)});
  hostWrite("Windows/app.ico", file);
  EXPECT_EQ(ExtractIconExW(u"\\Windows\\app.ico", -1, nullptr, nullptr, 0), 1u);
  HICON large = nullptr, small = nullptr;
  ASSERT_EQ(ExtractIconExW(u"\\windows\\APP.ICO", 0, &large, &small, 1), 1u);
  EXPECT_EQ(describe(large), std::make_pair(LONG(64), ARGB(0x808080)));
  EXPECT_EQ(describe(small), std::make_pair(LONG(32), ARGB(0x00FF00))); // the PNG entry
  EXPECT_TRUE(DestroyIcon(large));
  EXPECT_TRUE(DestroyIcon(small));

  // Only position 0 exists in an icon file.
  EXPECT_EQ(ExtractIconExW(u"\\Windows\\app.ico", 1, &large, nullptr, 1), 0u);
  EXPECT_EQ(ExtractIconExW(u"\\Windows\\none.ico", 0, &large, nullptr, 1), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Icons, PeResourcesByPositionAndById) {
  for (bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    const auto file =
        ic::pe(plus, {{5, {{1, ic::solid(32, 0xFFFF0000)}}},
                      {7, {{2, ic::solid(16, 0xFF0000FF)}, {3, ic::solid(64, 0xFF00FF00)}}}});
    hostWrite("Windows/shellres.dll", file);
    EXPECT_EQ(ExtractIconExW(u"\\Windows\\shellres.dll", -1, nullptr, nullptr, 0), 2u);
    HICON large = nullptr, small = nullptr;
    ASSERT_EQ(ExtractIconExW(u"\\Windows\\shellres.dll", 1, &large, &small, 1), 1u);
    EXPECT_EQ(describe(large), std::make_pair(LONG(64), ARGB(0x00FF00)));
    EXPECT_EQ(describe(small), std::make_pair(LONG(16), ARGB(0x0000FF))); // 16 is nearer 32
    DestroyIcon(large);
    DestroyIcon(small);
    ASSERT_EQ(ExtractIconExW(u"\\Windows\\shellres.dll", -5, &large, nullptr, 1), 1u);
    EXPECT_EQ(describe(large), std::make_pair(LONG(32), ARGB(0xFF0000)));
    DestroyIcon(large);
    // Both positions in one call.
    HICON both[2] = {};
    EXPECT_EQ(ExtractIconExW(u"\\Windows\\shellres.dll", 0, both, nullptr, 2), 2u);
    DestroyIcon(both[0]);
    DestroyIcon(both[1]);
    EXPECT_EQ(ExtractIconExW(u"\\Windows\\shellres.dll", 2, &large, nullptr, 1), 0u);
    EXPECT_EQ(ExtractIconExW(u"\\Windows\\shellres.dll", -6, &large, nullptr, 1), 0u);
  }
}

TEST_F(Icons, ElfProgramsTakeTheIconBesideThem) {
  hostWrite("Program Files/App/app.exe", {0x7F, 'E', 'L', 'F', 2, 1, 1, 0});
  hostWrite("Program Files/App/app.exe.ico", ic::ico({ic::solid(32, 0xFF123456)}));
  hostWrite("Program Files/App/bare.exe", {0x7F, 'E', 'L', 'F', 2, 1, 1, 0});
  HICON large = nullptr;
  ASSERT_EQ(ExtractIconExW(u"\\Program Files\\App\\app.exe", 0, &large, nullptr, 1), 1u);
  EXPECT_EQ(describe(large), std::make_pair(LONG(32), ARGB(0x123456)));
  DestroyIcon(large);
  EXPECT_EQ(ExtractIconExW(u"\\Program Files\\App\\bare.exe", -1, nullptr, nullptr, 0), 0u);
  EXPECT_EQ(ExtractIconExW(u"\\Program Files\\App\\bare.exe", 0, &large, nullptr, 1), 0u);
  EXPECT_EQ(large, nullptr);
}

TEST_F(Icons, DrawIconExCombinesMaskAndImage) {
  HICON icon = maskIcon();
  ASSERT_TRUE(icon);
  {
    Canvas canvas(2, 2, 0xFF404040);
    ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(canvas.at(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(canvas.at(1, 0) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(canvas.at(0, 1) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(canvas.at(1, 1) & 0xFFFFFF, 0x404040u); // transparent: background stays
  }
  {
    Canvas canvas(2, 2, 0xFF404040);
    ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_MASK));
    EXPECT_EQ(canvas.at(0, 0) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(canvas.at(1, 1) & 0xFFFFFF, 0xFFFFFFu);
    ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_IMAGE));
    EXPECT_EQ(canvas.at(1, 0) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(canvas.at(1, 1) & 0xFFFFFF, 0x000000u);
  }
  {
    // Stretched to 4x4 at an offset; a flicker-free brush paints the cell's transparent parts.
    Canvas canvas(6, 6, 0xFF404040);
    ASSERT_TRUE(DrawIconEx(canvas.dc(), 1, 1, icon, 4, 4, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(canvas.at(0, 0) & 0xFFFFFF, 0x404040u);
    EXPECT_EQ(canvas.at(2, 2) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(canvas.at(4, 4) & 0xFFFFFF, 0x404040u);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    ASSERT_TRUE(DrawIconEx(canvas.dc(), 1, 1, icon, 4, 4, 0, white, DI_NORMAL));
    EXPECT_EQ(canvas.at(4, 4) & 0xFFFFFF, 0xFFFFFFu);
    DeleteObject(white);
  }
  DestroyIcon(icon);
}

TEST_F(Icons, AlphaIconsBlendOverTheBackground) {
  const std::vector<ARGB> px = {0xFFFF0000, 0x800000FF, 0x00FFFFFF, 0xFF00FF00};
  hostWrite("alpha.ico", ic::ico({{2, 2, 32, ic::dibEntry(2, 2, px, {}, 32)}}));
  HICON icon = nullptr;
  ASSERT_EQ(ExtractIconExW(u"\\alpha.ico", 0, &icon, nullptr, 1), 1u);
  Canvas canvas(2, 2, 0xFFFFFFFF);
  ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(canvas.at(0, 0) & 0xFFFFFF, 0xFF0000u);
  // Half-transparent blue over white: 128 of blue plus 127/255 of white.
  const ARGB half = canvas.at(1, 0);
  EXPECT_NEAR(int((half >> 16) & 255), 127, 1);
  EXPECT_NEAR(int((half >> 8) & 255), 127, 1);
  EXPECT_EQ(half & 255, 255u);
  EXPECT_EQ(canvas.at(0, 1) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(canvas.at(1, 1) & 0xFFFFFF, 0x00FF00u);
  DestroyIcon(icon);
}

TEST_F(Icons, IconInfoCopiesBelongToTheCallerAndHandlesAreChecked) {
  HICON icon = maskIcon();
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  EXPECT_TRUE(info.fIcon);
  BITMAP mask{};
  ASSERT_TRUE(GetObjectW(info.hbmMask, sizeof mask, &mask));
  EXPECT_EQ(mask.bmBitsPixel, 1);
  // A new icon from the copies draws like the original.
  HICON copy = CreateIconIndirect(&info);
  ASSERT_TRUE(copy);
  EXPECT_TRUE(DeleteObject(info.hbmColor));
  EXPECT_TRUE(DeleteObject(info.hbmMask));
  Canvas canvas(2, 2, 0xFF404040);
  ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, copy, 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(canvas.at(0, 1) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(canvas.at(1, 1) & 0xFFFFFF, 0x404040u);

  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_FALSE(GetIconInfo(icon, &info));
  EXPECT_FALSE(DestroyIcon(reinterpret_cast<HICON>(std::uintptr_t(0x1234))));
  EXPECT_FALSE(DrawIconEx(canvas.dc(), 0, 0, copy, 0, 0, 0, nullptr, 0));
  ICONINFO empty{};
  EXPECT_EQ(CreateIconIndirect(&empty), nullptr);
  EXPECT_TRUE(DestroyIcon(copy));
}

TEST_F(Icons, DamagedFilesGiveNoIcons) {
  const auto good = ic::ico({ic::solid(32, 0xFF123456)});
  HICON icon = nullptr;
  for (std::size_t cut : {std::size_t(4), std::size_t(22), good.size() / 2}) {
    hostWrite("cut.ico", Bytes(good.begin(), good.begin() + std::ptrdiff_t(cut)));
    EXPECT_EQ(ExtractIconExW(u"\\cut.ico", 0, &icon, nullptr, 1), 0u);
  }
  auto pe = ic::pe(false, {{1, {{1, ic::solid(16, 0xFF000000)}}}});
  auto broken = pe;
  broken[0x40 + 4 + 20 + 96 + 16] = 0x7F; // resource directory far outside the file
  hostWrite("broken.dll", broken);
  EXPECT_EQ(ExtractIconExW(u"\\broken.dll", -1, nullptr, nullptr, 0), 0u);
  broken = pe;
  broken.resize(pe.size() - 40);
  hostWrite("short.dll", broken);
  EXPECT_EQ(ExtractIconExW(u"\\short.dll", 0, &icon, nullptr, 1), 0u);
  hostWrite("text.txt", {'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(ExtractIconExW(u"\\text.txt", -1, nullptr, nullptr, 0), 0u);
  EXPECT_EQ(ExtractIconExW(nullptr, 0, &icon, nullptr, 1), 0u);
}

} // namespace
} // namespace ce::testing
