// Soft-key bars on a booted device: making a bar for a window of this process and destroying it
// (a WM_COPYDATA round trip into the host's bar server and the bar's windows made and gone), and
// relabelling a key with TB_SETBUTTONINFO sent into the host; and making and destroying a menu.
#include "tool_device.h"

#include <ce/windows.h>

#include <benchmark/benchmark.h>

namespace {

// The device, booted.
struct BootedDevice : bench::ToolDevice {
  BootedDevice() { run("boot"); }
};

constexpr UINT kLeftCommand = 1001;

HMENU barMenu() {
  const HMENU menu = CreateMenu();
  AppendMenuW(menu, MF_STRING, kLeftCommand, u"Lock");
  const HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 1014, u"Restore");
  AppendMenuW(popup, MF_STRING, 1002, u"Quit");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"Menu");
  return menu;
}

// One booted device and one shown owner window for the whole run: Google Benchmark calls each
// benchmark function several times, and a host booted anew would not know the classes this
// process registered with the one before.
struct Bench {
  Bench() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"MenusBenchOwner";
    RegisterClassW(&wc);
    owner = CreateWindowExW(0, u"MenusBenchOwner", u"Owner", 0, 0, 0, 480, 640, nullptr, nullptr,
                            nullptr, nullptr);
    ShowWindow(owner, SW_SHOW);
  }
  BootedDevice device;
  HWND owner = nullptr;
};

HWND ownerWindow() {
  static Bench bench;
  return bench.owner;
}

HWND makeBar(HWND owner, HMENU menu) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = owner;
  info.dwFlags = SHCMBF_HMENU;
  info.nToolBarId = static_cast<UINT>(reinterpret_cast<UINT_PTR>(menu));
  return SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
}

// Takes whatever the bar's windows sent this thread meanwhile.
void drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    DispatchMessageW(&msg);
}

void BM_SoftKeyBarMakeAndDestroy(benchmark::State &state) {
  const HWND owner = ownerWindow();
  const HMENU menu = barMenu();
  for (auto _ : state) {
    const HWND bar = makeBar(owner, menu);
    if (!bar || !DestroyWindow(bar)) {
      state.SkipWithError("no bar");
      break;
    }
    state.PauseTiming();
    drain();
    state.ResumeTiming();
  }
  DestroyMenu(menu);
}
BENCHMARK(BM_SoftKeyBarMakeAndDestroy)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_SoftKeyRelabel(benchmark::State &state) {
  const HWND owner = ownerWindow();
  const HMENU menu = barMenu();
  const HWND bar = makeBar(owner, menu);
  if (!bar) {
    state.SkipWithError("no bar");
    return;
  }
  WCHAR labels[2][8] = {u"Back", u"Lock"};
  int current = kLeftCommand;
  int round = 0;
  for (auto _ : state) {
    TBBUTTONINFOW button{};
    button.cbSize = sizeof button;
    button.dwMask = TBIF_COMMAND | TBIF_TEXT;
    button.idCommand = current == static_cast<int>(kLeftCommand) ? 1003 : kLeftCommand;
    button.pszText = labels[round++ & 1];
    if (!SendMessageW(bar, TB_SETBUTTONINFO, static_cast<WPARAM>(current),
                      reinterpret_cast<LPARAM>(&button))) {
      state.SkipWithError("TB_SETBUTTONINFO refused");
      break;
    }
    current = button.idCommand;
  }
  DestroyWindow(bar);
  DestroyMenu(menu);
}
BENCHMARK(BM_SoftKeyRelabel)->Unit(benchmark::kMicrosecond);

void BM_MenuMakeAndDestroy(benchmark::State &state) {
  for (auto _ : state)
    DestroyMenu(barMenu());
}
BENCHMARK(BM_MenuMakeAndDestroy);

} // namespace
BENCHMARK_MAIN();
