// The toolkit's moving frames on a booted device: one frame of a section following the finger
// (the whole view composed again over the background and copied to the screen), and a whole
// sliding-screen switch between two views, whose frames are paced at 30 ms: its CPU time divided
// by the reported frames is the cost of one slide frame.
#include "tool_device.h"

#include <ce/core/png_writer.h>
#include <ce/windows.h>

#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/section/child_section.h>
#include <toolkit/section/section.h>
#include <toolkit/touch/touch_state.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int ScreenWidth = 480, ScreenHeight = 800;
constexpr double SlideDuration = 100;

// A row of four icon-sized tiles of one colour each, as one child of a section.
class TileRow : public Element {
public:
  TileRow(int row, int shade) : Element(2, 0, 0, 0, true), row_(row), shade_(shade) {
    resize(0, ScreenWidth, 116);
  }
  void paint(Surface *target, int x, int y) override {
    screenRect = RECT{x + bounds.left, y + bounds.top, x + bounds.right, y + bounds.bottom};
    for (int column = 0; column < 4; ++column) {
      RECT tile{screenRect.left + 24 + column * 114, screenRect.top + 10,
                screenRect.left + 120 + column * 114, screenRect.top + 106};
      DDBLTFX fx{};
      fx.dwSize = sizeof fx;
      fx.dwFillColor = RGB(20 * row_ % 256, 60 * column, shade_);
      Blt(target, &tile, nullptr, nullptr, BltColorFill, &fx);
    }
  }
  Element *getElementAt(int, int) override { return nullptr; }

private:
  int row_;
  int shade_;
};

Section *tileSection(int identifier, int rows, int shade) {
  auto *section = new Section(identifier);
  for (int row = 0; row < rows; ++row)
    section->add(new TileRow(row, shade));
  section->loadSurf();
  return section;
}

class Screen {
public:
  Screen() : device_("--screen 480x800") {
    device_.run("boot");
    std::vector<std::uint32_t> pixels(ScreenWidth * ScreenHeight, 0xFF406080);
    ce::PixelMemory memory;
    memory.bits = pixels.data();
    memory.width = ScreenWidth;
    memory.height = ScreenHeight;
    memory.stride = ScreenWidth * 4;
    memory.format = ce::FramebufferFormat::Bgra32;
    ce::writePng(memory, device_.root / "fs" / "back.png");
    GlobalInformations::getInstance(u"ToolkitMotionBench");
    application_ = std::make_unique<DirectDrawWarp>(nullptr, u"ToolkitMotionBench", false);
    // A long section of 20 rows (more than twice the screen), the current one.
    application_->addSection(tileSection(1, 20, 200));
    application_->setCurrentSection(0);
    application_->setBackgroundImg(u"\\back.png", false, 192, true);
    // The two views of a sliding screen.
    slide_ = new ChildSection(3, tileSection(4, 7, 90), tileSection(5, 7, 250), nullptr, u"",
                              SlideDuration, nullptr);
    slide_->loadSurf();
    const auto deadline = GetTickCount() + 5000;
    while (!GlobalInformations::getInstance()->display().active.load() && GetTickCount() < deadline)
      pump();
    application_->createBackground();
  }
  ~Screen() {
    delete slide_;
    application_.reset();
    ElementRegistry::destroyAll();
  }
  DirectDrawWarp &application() { return *application_; }
  ChildSection &slide() { return *slide_; }
  static void pump() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
  }

private:
  bench::ToolDevice device_;
  std::unique_ptr<DirectDrawWarp> application_;
  ChildSection *slide_ = nullptr;
};

Screen &screen() {
  static Screen shared;
  return shared;
}

// The finger moves by one pixel a frame, up and down in turn, with the stylus held: every frame
// the section moves and the view is composed and copied again.
void BM_ScrollFrame(benchmark::State &state) {
  DirectDrawWarp &application = screen().application();
  TouchState *touch = application.touchState();
  touch->setTouchTarget(application.currentSection());
  DWORD now = GetTickCount();
  int y = 400;
  touch->touchDown(240, y, now);
  int direction = 1;
  int moved = 0;
  for (auto _ : state) {
    y += direction;
    direction = -direction;
    now += 2;
    touch->touchMove(240, y, now);
    moved += std::abs(application.draw(false));
  }
  touch->touchUp(240, y, now + 1000);
  touch->stopFling();
  state.counters["moved_px"] = benchmark::Counter(moved, benchmark::Counter::kAvgIterations);
  Screen::pump();
}
BENCHMARK(BM_ScrollFrame)->Unit(benchmark::kMicrosecond);

// The frames a slide takes over the screen's width: t starts at 10 ms and grows by 30 a frame.
int slideFrames() {
  const double acceleration = (ScreenWidth - SlideDuration) / (SlideDuration * SlideDuration);
  int frames = 0, position = 0;
  for (double t = 10; position < ScreenWidth; t += 30, ++frames)
    position = std::max(position + 1, static_cast<int>(0.5 * acceleration * t * t + t));
  return frames;
}

void BM_SlideScreen(benchmark::State &state) {
  ChildSection &slide = screen().slide();
  Surface *primary = GlobalInformations::getInstance()->display().primary;
  for (auto _ : state)
    slide.slideScreen(primary);
  state.counters["frames"] = slideFrames();
  Screen::pump();
}
BENCHMARK(BM_SlideScreen)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
