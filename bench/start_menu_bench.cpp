// From a Start tap to the first full frame of the menu that opens: the system's menu program
// started by the service (cold: no menu process yet; warm: the resident menu shown again) beside
// the platform's own Start menu on a device without the package, in one run.
//
// The tap is the taskbar's Start command (what a tap on the narrow bar's Start button sends the
// bar), posted to the bar; the first full frame is there once the menu window is visible and the
// framebuffer holds the menu's own colour at two opposite corners of it.
#include "tool_device.h"

#include <ce/windows.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

constexpr WPARAM StartCommand = 0x47A;
// The placeholder menu's fill and the platform menu's border.
constexpr COLORREF MenuColour = RGB(0x1F, 0x5C, 0x3A);
constexpr COLORREF PlatformMenuBorder = RGB(0x5A, 0x6A, 0x7C);

bool near(COLORREF a, COLORREF b) {
  const auto channel = [](COLORREF c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  for (int shift : {0, 8, 16})
    if (std::abs(channel(a, shift) - channel(b, shift)) > 8)
      return false;
  return true;
}

// Polls until `done` holds; false after ten seconds.
template <class Condition> bool waitFor(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

// The window of `className` is visible and both of its corners show `colour`.
bool fullFrame(const char16_t *className, COLORREF colour) {
  const HWND window = FindWindowW(className, nullptr);
  RECT rect{};
  if (!window || !IsWindowVisible(window) || !GetWindowRect(window, &rect))
    return false;
  const HDC screen = GetDC(nullptr);
  if (!screen)
    return false;
  const bool painted = near(GetPixel(screen, rect.left, rect.top), colour) &&
                       near(GetPixel(screen, rect.right - 1, rect.bottom - 1), colour);
  ReleaseDC(nullptr, screen);
  return painted;
}

// The menu is gone from the screen: its window hidden (or gone) and the corner repainted.
bool offScreen(const char16_t *className, COLORREF colour) {
  const HWND window = FindWindowW(className, nullptr);
  if (window && IsWindowVisible(window))
    return false;
  const HDC screen = GetDC(nullptr);
  const bool repainted =
      screen && !near(GetPixel(screen, 0, GetSystemMetrics(SM_CYSCREEN) - 1), colour);
  if (screen)
    ReleaseDC(nullptr, screen);
  return repainted;
}

void tapStart() { PostMessageW(FindWindowW(u"HHTaskBar", nullptr), WM_COMMAND, StartCommand, 0); }

// One demo device for the whole run (a process keeps the display of the first device it joins):
// the platform's menu is measured before the package is installed, the menu program after.
struct DemoDevice : bench::ToolDevice {
  DemoDevice() : ToolDevice("--demo --taskbar wm65 --screen 480x640") { run("boot"); }
  void installPackage() {
    if (!installed) {
      installed = true;
      run(std::string("install ") + VIRETA_PACKAGE_DIR);
      // The service notes the taskbar's design once it has hooked the bar.
      waitFor([] {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tolmar_Vireta", 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
          return false;
        DWORD value = 0, size = sizeof value;
        const bool noted =
            RegQueryValueExW(key, u"DeviceWinVersion", nullptr, nullptr,
                             reinterpret_cast<BYTE *>(&value), &size) == ERROR_SUCCESS;
        RegCloseKey(key);
        return noted;
      });
    }
  }
  bool installed = false;
};

std::unique_ptr<DemoDevice> sharedDevice;

DemoDevice &device() {
  if (!sharedDevice)
    sharedDevice = std::make_unique<DemoDevice>();
  return *sharedDevice;
}

void BM_PlatformStartMenu(benchmark::State &state) {
  if (device().installed) {
    state.SkipWithError("the package is installed already");
    return;
  }
  for (auto _ : state) {
    tapStart();
    if (!waitFor([] { return fullFrame(u"MSSTARTMENU", PlatformMenuBorder); })) {
      state.SkipWithError("the platform's menu did not open");
      break;
    }
    state.PauseTiming();
    PostMessageW(FindWindowW(u"MSSTARTMENU", nullptr), WM_CLOSE, 0, 0);
    waitFor([] { return !FindWindowW(u"MSSTARTMENU", nullptr); });
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PlatformStartMenu)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MenuProgramCold(benchmark::State &state) {
  device().installPackage();
  for (auto _ : state) {
    tapStart();
    if (!waitFor([] { return fullFrame(u"Vireta", MenuColour); })) {
      state.SkipWithError("the menu did not open");
      break;
    }
    state.PauseTiming();
    PostMessageW(FindWindowW(u"Vireta", nullptr), 0x420, 1, 0);
    waitFor([] { return !FindWindowW(u"Vireta", nullptr) && offScreen(u"Vireta", MenuColour); });
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MenuProgramCold)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MenuProgramWarm(benchmark::State &state) {
  device().installPackage();
  tapStart();
  if (!waitFor([] { return fullFrame(u"Vireta", MenuColour); })) {
    state.SkipWithError("the menu did not open");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    tapStart(); // in front: the tap sends it away
    if (!waitFor([] { return offScreen(u"Vireta", MenuColour); })) {
      state.SkipWithError("the menu did not leave the screen");
      break;
    }
    // The raise of the previous request has run its course.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    state.ResumeTiming();
    tapStart();
    if (!waitFor([] { return fullFrame(u"Vireta", MenuColour); })) {
      state.SkipWithError("the menu did not come back");
      break;
    }
  }
}
BENCHMARK(BM_MenuProgramWarm)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  sharedDevice.reset();
  return 0;
}
