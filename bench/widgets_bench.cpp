// Widget drawing speed: a full-screen redraw of a Start menu screen with 30 icon tiles and their
// names (the background restored, every tile composed over it), the same with one tile pressed,
// and the rendering of a label's text into its alpha picture. The device, its icons and the
// tiles are made here; the tiles get their pictures through the icon loader before timing.
#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/skin_library.h>
#include <toolkit/widget/widget_fonts.h>

#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>
#include <ce/core/png_writer.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int ScreenWidth = 480, ScreenHeight = 640;
// Six rows of five 72-pixel tiles fill the screen.
constexpr int Tiles = 30, PerRow = 5, TileWidth = 72, Gap = 24;
constexpr double RowFactor = 1.15;

// A device root with a 480 x 640 profile, icons with soft edges, and the program's
// GlobalInformations; 30 tiles laid out as the grid lays them, each with its picture.
class Screen {
public:
  Screen() {
    root_ =
        std::filesystem::temp_directory_path() / ("ce-widgets-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(root_ / "fs" / "icons");
    ce::DeviceRoot::use(root_);
    ce::DeviceProfile profile;
    profile.screenWidth = ScreenWidth;
    profile.screenHeight = ScreenHeight;
    profile.dpi = ce::DeviceProfile::dpiForScreen(ScreenWidth, ScreenHeight);
    profile.save(root_ / "device.conf");
    ce::DeviceProfile::reload();
    for (int i = 0; i < 6; ++i)
      writeIcon(root_ / "fs" / "icons" / ("icon" + std::to_string(i) + ".png"), i);
    GlobalInformations::replaceInstance(
        std::make_unique<GlobalInformations>(u"WidgetsBench", u"\\Program Files\\Bench\\b.exe"));
    GlobalInformations::getInstance()->display().dirty = RECT{0, 0, ScreenWidth, ScreenHeight};

    backBuffer_ = screenSurface();
    background_ = screenSurface();
    fillGradient(background_);

    const char16_t *names[] = {
        u"Calendar",  u"Contacts", u"Internet Explorer",
        u"Messaging", u"Phone",    u"A program with a rather long name indeed"};
    for (int i = 0; i < Tiles; ++i) {
      MyIconEntry entry;
      entry.name = names[i % 6];
      entry.iconPath = u"\\icons\\icon" + std::u16string(1, char16_t(u'0' + i % 6)) + u".png";
      entry.target = u"\\Windows\\app.exe";
      const int column = i % PerRow, row = i / PerRow;
      tiles_.push_back(new MyIcon(i, (TileWidth + Gap) * column + Gap / 2,
                                  static_cast<int>((TileWidth + 20) * row * RowFactor) + Gap / 4,
                                  TileWidth, entry));
    }
    // First drawing: the tiles ask for their pictures and render their names.
    drawFrame(0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (MyIcon *tile : tiles_)
      while (tile->pictureMissing() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    drawFrame(0);
  }
  ~Screen() {
    ElementRegistry::destroyAll();
    MyIcon::releaseSharedPicture();
    SkinLibrary::release();
    WidgetFonts::release();
    deleteSurf(&backBuffer_);
    deleteSurf(&background_);
    GlobalInformations::replaceInstance(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // One full-screen redraw: the background restored, then every tile over it.
  void drawFrame(int scroll) {
    const RECT all{0, 0, ScreenWidth, ScreenHeight};
    Blt(backBuffer_, &all, background_, &all, BltWait, nullptr);
    for (MyIcon *tile : tiles_)
      tile->paint(backBuffer_, 0, scroll);
  }
  std::vector<MyIcon *> &tiles() { return tiles_; }

private:
  static Surface *screenSurface() {
    const DDSURFACEDESC description = describeSurface(ScreenWidth, ScreenHeight, 16);
    Surface *surface = nullptr;
    createSurf(&description, &surface);
    return surface;
  }
  static void fillGradient(Surface *surface) {
    for (int y = 0; y < ScreenHeight; y += 8) {
      const RECT band{0, y, ScreenWidth, y + 8};
      DDBLTFX fx{};
      fx.dwSize = sizeof fx;
      fx.dwFillColor = RGB(20, 30 + y / 8, 60 + y / 6);
      Blt(surface, &band, nullptr, nullptr, BltColorFill, &fx);
    }
  }
  // A 64 x 64 icon: a shaded disc with soft edges over transparency (premultiplied B,G,R,A).
  static void writeIcon(const std::filesystem::path &file, int seed) {
    std::vector<std::uint32_t> pixels(64 * 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const double d = std::hypot(x - 31.5, y - 31.5);
        const unsigned alpha = d < 26 ? 255 : d < 31 ? unsigned(255 * (31 - d) / 5) : 0;
        const unsigned r = (40 + x * 3 + seed * 30) % 256 * alpha / 255;
        const unsigned g = (200 - y * 2) % 256 * alpha / 255;
        const unsigned b = (x * y + seed * 50) % 256 * alpha / 255;
        pixels[static_cast<std::size_t>(y) * 64 + x] = alpha << 24 | r << 16 | g << 8 | b;
      }
    ce::PixelMemory memory;
    memory.bits = pixels.data();
    memory.width = 64;
    memory.height = 64;
    memory.stride = 64 * 4;
    memory.format = ce::FramebufferFormat::Bgra32;
    if (!ce::writePng(memory, file))
      std::abort();
  }

  std::filesystem::path root_;
  Surface *backBuffer_ = nullptr;
  Surface *background_ = nullptr;
  std::vector<MyIcon *> tiles_;
};

Screen &screen() {
  static Screen shared;
  return shared;
}

void BM_FullScreenOf30Tiles(benchmark::State &state) {
  Screen &shown = screen();
  for (auto _ : state)
    shown.drawFrame(0);
  state.SetItemsProcessed(state.iterations() * Tiles);
  int pictures = 0;
  for (MyIcon *tile : shown.tiles())
    pictures += !tile->pictureMissing();
  state.counters["tiles_with_picture"] = pictures;
}
BENCHMARK(BM_FullScreenOf30Tiles)->Unit(benchmark::kMillisecond);

void BM_FullScreenOf30TilesOnePressed(benchmark::State &state) {
  Screen &shown = screen();
  shown.tiles()[5]->pressed = true;
  for (auto _ : state)
    shown.drawFrame(0);
  shown.tiles()[5]->pressed = false;
}
BENCHMARK(BM_FullScreenOf30TilesOnePressed)->Unit(benchmark::kMillisecond);

void BM_LabelTextRendered(benchmark::State &state) {
  screen();
  MyLabel label(1, 0, 0, 100, u"Internet Explorer", FontChoice::Small,
                LabelNoScale | LabelMultiLine | LabelCentered);
  for (auto _ : state)
    label.setText(u"Internet Explorer", false);
}
BENCHMARK(BM_LabelTextRendered)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
