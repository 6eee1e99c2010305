// Screen speed: composing a full 480x800 screen (framebuffer, an overlay, the wait mark) and
// writing it as a PNG, as `device screenshot` does.
#include "../platform/src/screen/screen.h"
#include "../platform/src/screen/screen_composer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace {

std::shared_ptr<ce::Screen> fullScreen() {
  std::shared_ptr<ce::Screen> screen = ce::Screen::create(480, 800);
  // Something like a real screen: flat areas with a gradient band, so PNG has work to do.
  for (int y = 0; y < 800; ++y)
    for (int x = 0; x < 480; ++x)
      screen->framebuffer().row(y)[x] = y < 600 ? 0xFFFF : std::uint16_t(x * 37 + y * 11);
  ce::OverlayPixels bar;
  bar.width = 6;
  bar.height = 800;
  bar.stride = 12;
  bar.memory = ce::SharedMemory::create(12 * 800, "bench-bar");
  const auto id = screen->overlays().add(bar, 1);
  ce::OverlayPlacement placement;
  placement.source = {0, 0, 6, 300};
  placement.destination = {474, 50, 480, 350};
  placement.visible = true;
  screen->overlays().place(id, placement);
  screen->setWaitCursor(true);
  return screen;
}

void BM_Compose480x800(benchmark::State& state) {
  auto screen = fullScreen();
  ce::ScreenImage image;
  for (auto _ : state) {
    screen->compose(image);
    benchmark::DoNotOptimize(image.bgr.data());
  }
  state.SetItemsProcessed(state.iterations() * 480 * 800);
}
BENCHMARK(BM_Compose480x800);

void BM_Screenshot480x800(benchmark::State& state) {
  auto screen = fullScreen();
  const auto file = std::filesystem::temp_directory_path() /
                    ("ce-screen-bench-" + std::to_string(::getpid()) + ".png");
  for (auto _ : state) {
    std::string error;
    if (!screen->saveScreenshot(file, &error)) state.SkipWithError(error.c_str());
  }
  std::filesystem::remove(file);
}
BENCHMARK(BM_Screenshot480x800)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
