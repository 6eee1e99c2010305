// The device's shell: boot to a painted taskbar (through the device tool, which returns once the
// shell is up), and opening and closing the platform Start menu on the demo device.
#include "tool_device.h"

#include <ce/windows.h>

#include <benchmark/benchmark.h>

#include <thread>

namespace {

// The demo device, not booted.
struct DemoDevice : bench::ToolDevice {
  DemoDevice() : ToolDevice("--demo") {}
};

void BM_BootToTaskbar(benchmark::State &state) {
  DemoDevice device;
  for (auto _ : state) {
    device.run("boot");
    state.PauseTiming();
    if (!FindWindowW(u"HHTaskBar", nullptr))
      state.SkipWithError("no taskbar after boot");
    ce::HostConnection::instance().leave();
    device.run("shutdown");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_BootToTaskbar)->Unit(benchmark::kMillisecond)->Iterations(10);

// Waits until the Start menu's window exists (or not); false after five seconds.
bool waitForMenu(bool open) {
  for (int i = 0; i < 50000; ++i) {
    if ((FindWindowW(u"MSSTARTMENU", nullptr) != nullptr) == open)
      return true;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return false;
}

void BM_StartMenuOpenAndClose(benchmark::State &state) {
  DemoDevice device;
  device.run("boot");
  const HWND taskbar = FindWindowW(u"HHTaskBar", nullptr);
  if (!taskbar) {
    state.SkipWithError("no taskbar");
    return;
  }
  for (auto _ : state) {
    PostMessageW(taskbar, WM_COMMAND, 0x47A, 0);
    if (!waitForMenu(true)) {
      state.SkipWithError("the menu did not open");
      break;
    }
    PostMessageW(taskbar, WM_COMMAND, 0x47A, 0);
    if (!waitForMenu(false)) {
      state.SkipWithError("the menu did not close");
      break;
    }
  }
}
BENCHMARK(BM_StartMenuOpenAndClose)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
