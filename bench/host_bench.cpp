// The device host: a cross-process thread message round trip, and program start to first host
// connection. Each benchmark runs against a real booted device in a temporary folder.
#include "tool_device.h"

#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/kernel.h>
#include <ce/messages.h>
#include <ce/processes.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using bench::waitForMessage;

const fs::path kPeer = CE_BINARY_DIR "/bin/ce_test_peer";

// A booted device holding the peer program as \Windows\peer.exe.
struct BenchDevice : bench::ToolDevice {
  BenchDevice() {
    run("boot");
    fs::create_directories(root / "fs" / "Windows");
    fs::copy_file(kPeer, root / "fs" / "Windows" / "peer.exe");
  }
};

// Starts the echo peer and returns its thread id.
DWORD startEcho(HANDLE *process) {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  const std::u16string parameters = u"echo " + ce::toUtf16(std::to_string(GetCurrentThreadId()));
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = u"\\Windows\\peer.exe";
  info.lpParameters = parameters.c_str();
  if (!ShellExecuteEx(&info) || !waitForMessage(WM_USER + 1, msg))
    std::abort();
  *process = info.hProcess;
  return static_cast<DWORD>(msg.wParam);
}

void stopEcho(DWORD thread, HANDLE process) {
  PostThreadMessageW(thread, WM_QUIT, 0, 0);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
}

void BM_PostThreadMessageRoundTrip(benchmark::State &state) {
  BenchDevice device;
  HANDLE process = nullptr;
  const DWORD peer = startEcho(&process);
  MSG msg;
  for (auto _ : state) {
    PostThreadMessageW(peer, WM_USER + 2, 1, 2);
    if (!waitForMessage(WM_USER + 3, msg))
      state.SkipWithError("no answer");
  }
  stopEcho(peer, process);
}
BENCHMARK(BM_PostThreadMessageRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// From ShellExecuteEx to the program's first message, sent once it has joined the device.
void BM_ProgramStartToFirstConnection(benchmark::State &state) {
  BenchDevice device;
  for (auto _ : state) {
    HANDLE process = nullptr;
    const DWORD peer = startEcho(&process);
    state.PauseTiming();
    stopEcho(peer, process);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ProgramStartToFirstConnection)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
