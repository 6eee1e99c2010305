// Shared by the widget tests: a device whose skin pictures are strips of solid colours (frame k
// of every strip has its own colour, so the frame a widget shows can be read back), the program's
// GlobalInformations over it, canvases to draw on, and the end of every widget resource between
// devices.
#pragma once

#include "toolkit_test_support.h"

#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/widget/input_edit_window.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/skin_library.h>
#include <toolkit/widget/widget_fonts.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace toolkit_test {

// Colours exact in 5-6-5: frame k of a main strip, of a third-state strip, and plain fills.
inline COLORREF frameColor(int frame) { return RGB(32 * (frame + 1), 96, 200); }
inline COLORREF thirdStateColor(int frame) { return RGB(32 * (frame + 1), 160, 40); }
inline std::uint16_t as565(COLORREF color) {
  return rgb565(GetRValue(color), GetGValue(color), GetBValue(color));
}
inline constexpr COLORREF CanvasColor = RGB(8, 8, 8);
inline constexpr COLORREF FolderColor = RGB(200, 200, 0);
inline constexpr COLORREF NoIconColor = RGB(128, 128, 128);

// The frame sizes of the test skin.
inline constexpr int ToggleFrameWidth = 20, ButtonFrameWidth = 60, SkinHeight = 16;
inline constexpr int InputPieceWidth = 8, ComboWidth = 200, ListHeight = 20;

// Writes a PNG at the device path ("dir/name") of the device root `root`: a strip of `frames`
// solid frames of `width` x `height`, frame k in color(k).
inline void writeStrip(const std::filesystem::path &root, const std::string &path, int frames,
                       int width, int height, COLORREF (*color)(int) = frameColor) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(frames) * width * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < frames * width; ++x) {
      const COLORREF c = color(x / width);
      pixels[static_cast<std::size_t>(y) * frames * width + x] =
          0xFF000000u | GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
    }
  const auto host = root / "fs" / path;
  std::filesystem::create_directories(host.parent_path());
  ce::PixelMemory memory;
  memory.bits = pixels.data();
  memory.width = frames * width;
  memory.height = height;
  memory.stride = frames * width * 4;
  memory.format = ce::FramebufferFormat::Bgra32;
  ASSERT_TRUE(ce::writePng(memory, host));
}

inline std::uint32_t bgraOf(COLORREF c) {
  return 0xFF000000u | GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

// The program the widget tests start: its folder on the device and its path.
inline constexpr const char *WidgetProgramFolder = "Program Files/WidgetTest/";
inline constexpr const char16_t *WidgetProgramPath = u"\\Program Files\\WidgetTest\\WidgetTest.exe";

// The test skin in the program's resource folder, and the tile pictures in its base folder.
inline void writeSkin(const std::filesystem::path &root) {
  const std::string skin = std::string(WidgetProgramFolder) + "resources/VGA/";
  writeStrip(root, skin + "btn_common_checkbox.png", 6, ToggleFrameWidth, SkinHeight);
  writeStrip(root, skin + "btn_checkbox_thirdState.png", 2, ToggleFrameWidth, SkinHeight,
             thirdStateColor);
  writeStrip(root, skin + "btn_common_switch.png", 7, ToggleFrameWidth, SkinHeight);
  writeStrip(root, skin + "btn_switch_thirdState.png", 2, ToggleFrameWidth, SkinHeight,
             thirdStateColor);
  writeStrip(root, skin + "btn_common_normal.png", 4, ButtonFrameWidth, SkinHeight + 4);
  writeStrip(root, skin + "btn_common_msgbox_large.png", 4, ButtonFrameWidth * 2, SkinHeight);
  writeStrip(root, skin + "btn_common_msgbox_small.png", 4, ButtonFrameWidth, SkinHeight);
  writeStrip(root, skin + "btn_common_input.png", 3, InputPieceWidth, 30);
  writeStrip(root, skin + "btn_common_combo_down.png", 4, ComboWidth, 30);
  writeStrip(root, skin + "btn_common_listitem_middle.png", 4, ComboWidth, ListHeight);
  writeStrip(root, skin + "btn_common_listitem_bottom.png", 4, ComboWidth, ListHeight,
             thirdStateColor);
  writeStrip(root, std::string(WidgetProgramFolder) + "resources/dossier.png", 1, 80, 80,
             [](int) { return FolderColor; });
  writeStrip(root, std::string(WidgetProgramFolder) + "resources/noIcones.png", 1, 80, 80,
             [](int) { return NoIconColor; });
}

// Ends every process-wide widget resource, so that the next device starts afresh.
inline void releaseWidgetResources() {
  InputEditWindow::destroy();
  SkinLibrary::release();
  MyIcon::releaseSharedPicture();
  WidgetFonts::release();
}

class WidgetDevice : public ToolkitDevice {
protected:
  void SetUp() override {
    ToolkitDevice::SetUp();
    writeSkin(root_);
    startProgram();
  }
  void TearDown() override {
    ElementRegistry::destroyAll();
    releaseWidgetResources();
    for (Surface *&surface : canvases_)
      deleteSurf(&surface);
    GlobalInformations::replaceInstance(nullptr);
    ToolkitDevice::TearDown();
  }

  // (Re)makes GlobalInformations for the program, drawing everywhere on a 480 x 640 screen.
  void startProgram() {
    GlobalInformations::replaceInstance(
        std::make_unique<GlobalInformations>(u"WidgetTest", WidgetProgramPath));
    display().dirty = RECT{0, 0, 4096, 4096};
  }
  DisplayState &display() { return GlobalInformations::getInstance()->display(); }

  void putStrip(const std::string &path, int frames, int width, int height,
                COLORREF (*color)(int) = frameColor) {
    writeStrip(root_, path, frames, width, height, color);
  }

  // A canvas filled with CanvasColor (or `fill`).
  Surface *canvas(int width = 480, int height = 640, int bits = 16, COLORREF fill = CanvasColor) {
    Surface *surface = nullptr;
    const DDSURFACEDESC description = describeSurface(width, height, bits);
    EXPECT_EQ(createSurf(&description, &surface), S_OK);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = fill;
    Blt(surface, nullptr, nullptr, nullptr, BltColorFill, &fx);
    canvases_.push_back(surface);
    return surface;
  }

  std::vector<Surface *> canvases_;
};

// An element that holds others and records how it was asked to grow.
class Holder : public Element {
public:
  Holder() : Element(900, 0, 0, 0, true) {}
  void paint(Surface *, int, int) override {}
  Element *getElementAt(int, int) override { return nullptr; }
  void resize(int ignored, int width, int height) override {
    resizes.push_back({ignored, width, height});
  }
  struct Call {
    int ignored, width, height;
  };
  std::vector<Call> resizes;
};

// Whether any pixel of a 16-bit surface within `area` differs from the 5-6-5 `value`. The
// surface is read once.
inline bool anyPixelOtherThan(const Surface &surface, const RECT &area, std::uint16_t value) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = surface.width;
  info.bmiHeader.biHeight = -surface.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> rows(static_cast<std::size_t>(surface.width) * surface.height);
  GetDIBits(surface.dc, surface.bitmap, 0, static_cast<UINT>(surface.height), rows.data(), &info,
            DIB_RGB_COLORS);
  for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, surface.height); ++y)
    for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, surface.width); ++x) {
      const std::uint32_t pixel = rows[static_cast<std::size_t>(y) * surface.width + x];
      if (rgb565(pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF) != value)
        return true;
    }
  return false;
}

} // namespace toolkit_test
