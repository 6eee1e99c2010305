// Screen speed: composing a full 480x800 screen (framebuffer, an overlay, the wait mark) and
// writing it as a PNG, as `device screenshot` does.
#include "../platform/src/screen/screen.h"
#include "../platform/src/screen/screen_composer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

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

// Runs the device tool and waits for it; its exit code, -1 when it could not run.
int device(const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(CE_BINARY_DIR "/bin/device")};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // The tool's messages would drown the figures.
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// `device screenshot` of a booted device's full default screen: tool start, connection,
// composition and PNG writing in the host.
void BM_ScreenshotVerb(benchmark::State& state) {
  char pattern[] = "/tmp/ce-screen-bench-XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(pattern);
  const std::string root = (dir / "device").string();
  const std::string file = (dir / "shot.png").string();
  if (device({"--device", root, "create"}) != 0 || device({"--device", root, "boot"}) != 0) {
    state.SkipWithError("cannot boot a device");
    return;
  }
  for (auto _ : state)
    if (device({"--device", root, "screenshot", file}) != 0) {
      state.SkipWithError("screenshot failed");
      break;
    }
  device({"--device", root, "shutdown"});
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ScreenshotVerb)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
