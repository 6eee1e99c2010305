// Windows across processes: PostMessageW and SendMessageW round trips to a window of a child
// program, a WM_COPYDATA round trip carrying 4 KiB, and program start to its first window. Each
// runs against a real booted device.
#include "tool_device.h"

#include <ce/core/device_root.h>
#include <ce/kernel.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kWindowProgram = CE_BINARY_DIR "/bin/ce_test_window";

constexpr UINT kReady = WM_USER + 100;
constexpr UINT kPing = WM_USER + 101;
constexpr UINT kPong = WM_USER + 102;
constexpr UINT kDouble = WM_USER + 103;

// A booted device this thread has joined.
struct BenchDevice : bench::ToolDevice {
  BenchDevice() {
    run("boot");
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    // Joins the device, so that the program can post its window to this thread.
    GetSystemMetrics(SM_CXSCREEN);
  }
  // Starts the window program and returns its window once it reports it.
  HWND startWindow(pid_t &pid) const {
    const std::string env = "CE_DEVICE=" + root.string();
    const std::string tid = std::to_string(GetCurrentThreadId());
    char *argv[] = {const_cast<char *>(kWindowProgram.c_str()), const_cast<char *>(tid.c_str()),
                    nullptr};
    char *envp[] = {const_cast<char *>(env.c_str()), nullptr};
    if (::posix_spawn(&pid, kWindowProgram.c_str(), nullptr, nullptr, argv, envp) != 0)
      return nullptr;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
      if (msg.message == kReady)
        return reinterpret_cast<HWND>(msg.wParam);
    return nullptr;
  }
  void stop(HWND hwnd, pid_t pid) const {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
};

// The window program on a bench device, closed at the end.
struct PeerWindow {
  explicit PeerWindow(const BenchDevice &device) : device(device), hwnd(device.startWindow(pid)) {}
  ~PeerWindow() {
    if (hwnd)
      device.stop(hwnd, pid);
  }
  // False, and the benchmark marked failed, when the program did not start.
  bool started(benchmark::State &state) const {
    if (!hwnd)
      state.SkipWithError("the window program did not start");
    return hwnd != nullptr;
  }
  const BenchDevice &device;
  pid_t pid = 0;
  const HWND hwnd;
};

void BM_PostMessageRoundTrip(benchmark::State &state) {
  BenchDevice device;
  const PeerWindow window(device);
  if (!window.started(state))
    return;
  const HWND peer = window.hwnd;
  MSG msg;
  for (auto _ : state) {
    PostMessageW(peer, kPing, 1, 0);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != kPong) {
    }
  }
}
BENCHMARK(BM_PostMessageRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_SendMessageRoundTrip(benchmark::State &state) {
  BenchDevice device;
  const PeerWindow window(device);
  if (!window.started(state))
    return;
  const HWND peer = window.hwnd;
  for (auto _ : state)
    benchmark::DoNotOptimize(SendMessageW(peer, kDouble, 21, 0));
}
BENCHMARK(BM_SendMessageRoundTrip)->Unit(benchmark::kMicrosecond);

// The data's way to the child, which hashes it, and the result's way back.
void BM_CopyDataRoundTrip4KiB(benchmark::State &state) {
  BenchDevice device;
  const PeerWindow window(device);
  if (!window.started(state))
    return;
  const HWND peer = window.hwnd;
  std::vector<BYTE> bytes(4096);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<BYTE>(i);
  COPYDATASTRUCT cds{3, static_cast<DWORD>(bytes.size()), bytes.data()};
  for (auto _ : state)
    benchmark::DoNotOptimize(SendMessageW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_CopyDataRoundTrip4KiB)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ProgramStartToFirstWindow(benchmark::State &state) {
  BenchDevice device;
  for (auto _ : state) {
    pid_t pid = 0;
    const HWND peer = device.startWindow(pid);
    state.PauseTiming();
    if (peer)
      device.stop(peer, pid);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ProgramStartToFirstWindow)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
BENCHMARK_MAIN();
