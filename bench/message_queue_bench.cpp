// Thread messages: posting and taking on one thread, and a round trip between two threads (the
// path the loader threads use to reach the UI thread).
#include <ce/kernel.h>
#include <ce/messages.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

void BM_PostAndPeekOnOneThread(benchmark::State& state) {
  MSG msg{};
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  const DWORD self = GetCurrentThreadId();
  for (auto _ : state) {
    PostThreadMessageW(self, WM_USER, 1, 2);
    benchmark::DoNotOptimize(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  }
}
BENCHMARK(BM_PostAndPeekOnOneThread);

void BM_PingPongBetweenThreads(benchmark::State& state) {
  MSG msg{};
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  const DWORD mainId = GetCurrentThreadId();
  std::atomic<DWORD> echoId{0};
  std::thread echo([&] {
    MSG in{};
    PeekMessageW(&in, nullptr, 0, 0, PM_NOREMOVE);
    echoId = GetCurrentThreadId();
    while (GetMessageW(&in, nullptr, 0, 0) > 0) PostThreadMessageW(mainId, WM_USER, in.wParam, 0);
  });
  while (echoId == 0) std::this_thread::yield();
  for (auto _ : state) {
    PostThreadMessageW(echoId, WM_USER, 1, 0);
    GetMessageW(&msg, nullptr, 0, 0);
  }
  PostThreadMessageW(echoId, WM_QUIT, 0, 0);
  echo.join();
}
BENCHMARK(BM_PingPongBetweenThreads)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
