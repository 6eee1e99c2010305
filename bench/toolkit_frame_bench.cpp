// Composing frames of the toolkit on a booted device: one dirty icon-sized rectangle (restored
// from the background, composed and copied to the window) and a full-screen redraw, over a
// section of 24 icon-sized tiles on a darkened background image.
#include "tool_device.h"

#include <ce/core/png_writer.h>
#include <ce/windows.h>

#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/section/section.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace {

// A 96 x 96 tile of one colour, drawn only where the dirty rectangle reaches.
class Tile : public Element {
public:
  Tile(int x, int y, COLORREF color) : Element(1, x, y, 0, true), color_(color) {
    resize(0, 96, 96);
  }
  void paint(Surface *target, int x, int y) override {
    screenRect = RECT{x + bounds.left, y + bounds.top, x + bounds.right, y + bounds.bottom};
    const RECT &dirty = GlobalInformations::getInstance()->display().dirty;
    if (screenRect.right <= dirty.left || screenRect.left >= dirty.right ||
        screenRect.bottom <= dirty.top || screenRect.top >= dirty.bottom)
      return;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = color_;
    Blt(target, &screenRect, nullptr, nullptr, BltColorFill, &fx);
  }
  Element *getElementAt(int, int) override { return nullptr; }

private:
  COLORREF color_;
};

// A row of tiles as one child of the section.
class TileRow : public Element {
public:
  explicit TileRow(int row) : Element(2, 0, 0, 0, true) {
    for (int column = 0; column < 4; ++column)
      tiles_.push_back(
          std::make_unique<Tile>(24 + column * 114, 10, RGB(40 * row, 60 * column, 200)));
    resize(0, 480, 116);
  }
  void paint(Surface *target, int x, int y) override {
    for (auto &tile : tiles_)
      tile->paint(target, x, y);
  }
  Element *getElementAt(int, int) override { return nullptr; }

private:
  std::vector<std::unique_ptr<Tile>> tiles_;
};

class Screen {
public:
  Screen() : device_("--screen 480x800") {
    device_.run("boot");
    std::vector<std::uint32_t> pixels(480 * 800, 0xFF406080);
    ce::PixelMemory memory;
    memory.bits = pixels.data();
    memory.width = 480;
    memory.height = 800;
    memory.stride = 480 * 4;
    memory.format = ce::FramebufferFormat::Bgra32;
    ce::writePng(memory, device_.root / "fs" / "back.png");
    GlobalInformations::getInstance(u"ToolkitBench");
    application_ = std::make_unique<DirectDrawWarp>(nullptr, u"ToolkitBench", false);
    auto *section = new Section(1);
    for (int row = 0; row < 6; ++row)
      section->add(new TileRow(row));
    section->loadSurf();
    application_->addSection(section);
    application_->setCurrentSection(0);
    application_->setBackgroundImg(u"\\back.png", false, 192, true);
    pump();
    application_->createBackground();
  }
  ~Screen() {
    application_.reset();
    ElementRegistry::destroyAll();
  }
  DirectDrawWarp &application() { return *application_; }
  static void pump() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
  }

private:
  bench::ToolDevice device_;
  std::unique_ptr<DirectDrawWarp> application_;
};

Screen &screen() {
  static Screen shared;
  return shared;
}

void BM_UpdateFrameOneDirtyIcon(benchmark::State &state) {
  DirectDrawWarp &application = screen().application();
  const RECT icon{138, 126, 234, 222};
  for (auto _ : state) {
    application.queueDirty(icon, false);
    application.drainDirty(0);
  }
  Screen::pump();
}
BENCHMARK(BM_UpdateFrameOneDirtyIcon)->Unit(benchmark::kMicrosecond);

void BM_FullScreenRedraw(benchmark::State &state) {
  DirectDrawWarp &application = screen().application();
  const RECT client = GlobalInformations::getInstance()->display().client;
  for (auto _ : state) {
    application.queueDirty(client, true);
    application.drainDirty(0);
  }
  Screen::pump();
}
BENCHMARK(BM_FullScreenRedraw)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
