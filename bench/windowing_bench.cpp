// The window manager's costly paths: raising a window among many overlapping ones (the visible
// regions where it lies are recomputed and the exposed parts invalidated), making thousands of
// windows, hit testing, and marshalling a text message for a cross-process send.
#include "../platform/src/windowing/message_marshaller.h"
#include "../platform/src/windowing/window_manager.h"

#include <benchmark/benchmark.h>

namespace {

using ce::host::WindowManager;

WindowManager::Caller caller(int i) {
  return WindowManager::Caller{DWORD(100 + i % 8), DWORD(1000 + i % 8)};
}

// `count` overlapping top-level windows, each with two children.
void populate(WindowManager &wm, int count) {
  for (int p = 0; p < 8; ++p)
    wm.registerClass(caller(p), u"Frame", 0);
  for (int i = 0; i < count; ++i) {
    WindowManager::Creation c;
    c.className = u"Frame";
    c.style = WS_VISIBLE;
    c.x = (i * 37) % 300;
    c.y = (i * 53) % 400;
    c.width = 180;
    c.height = 240;
    HWND top = wm.createWindow(caller(i), c);
    c.style = WS_CHILD | WS_VISIBLE;
    c.parent = top;
    c.x = 10;
    c.y = 10;
    c.width = 60;
    c.height = 40;
    wm.createWindow(caller(i), c);
    c.y = 100;
    wm.createWindow(caller(i), c);
  }
  wm.takeEvents();
}

void BM_RaiseBottomWindow(benchmark::State &state) {
  WindowManager wm(480, 640);
  populate(wm, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const HWND bottom = wm.topLevelWindows().back();
    wm.setForeground(WindowManager::Caller{1, 1}, bottom);
    benchmark::DoNotOptimize(wm.takeEvents());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RaiseBottomWindow)->Arg(8)->Arg(32)->Arg(64);

void BM_WindowAtPoint(benchmark::State &state) {
  WindowManager wm(480, 640);
  populate(wm, static_cast<int>(state.range(0)));
  LONG x = 0;
  for (auto _ : state) {
    x = (x + 7) % 480;
    benchmark::DoNotOptimize(wm.windowAt(POINT{x, (x * 3) % 640}));
  }
}
BENCHMARK(BM_WindowAtPoint)->Arg(32);

// Making `count` windows in one manager, spread over processes (each holds at most its quota):
// hidden ones, then as many shown ones stacked over the same work area, as a program that makes
// windows in a loop does. The time per window should not grow with the number already there.
void BM_CreateManyWindows(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    WindowManager wm(480, 640);
    wm.setWorkArea(RECT{0, 36, 480, 640});
    for (int p = 0; p < 8; ++p)
      wm.registerClass(caller(p), u"Frame", 0);
    WindowManager::Creation c;
    c.className = u"Frame";
    for (int i = 0; i < count; ++i) {
      c.style = i < count / 2 ? 0 : WS_VISIBLE;
      benchmark::DoNotOptimize(wm.createWindow(caller(i), c));
      if (i % 64 == 0)
        wm.takeEvents();
    }
    benchmark::DoNotOptimize(wm.takeEvents());
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_CreateManyWindows)->Arg(500)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

void BM_MarshalSetText(benchmark::State &state) {
  const std::u16string text(80, u'a');
  for (auto _ : state) {
    auto packed =
        ce::MessageMarshaller::pack(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    benchmark::DoNotOptimize(ce::MessageMarshaller::unpack(*packed));
  }
}
BENCHMARK(BM_MarshalSetText);

} // namespace

BENCHMARK_MAIN();
