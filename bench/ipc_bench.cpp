// What a message to another process costs, beside a plain Unix-socket round trip between two
// processes measured in the same run: PostMessageW and PostThreadMessageW (what the sender
// waits for: the host's answer once it has queued the message), SendMessageW (the whole round
// trip through the host and the receiver's window procedure), and the host's bare round trip.
// And what a window query costs: GetClientRect, IsWindow and GetWindowRect of a window, asked
// from a thread that does not own it.
//
// The machine's load changes from one second to the next: compare figures of one run, with
// repetitions interleaved (--benchmark_repetitions=10
// --benchmark_enable_random_interleaving=true).
//
// One booted device serves the whole run: the peers are the test programs ce_test_window (a
// window that doubles what is sent to it) and ce_test_peer (a thread that takes posted
// messages).
#include "tool_device.h"

#include "../platform/src/client/host_connection.h"
#include "../platform/src/protocol/process_messages.h"

#include <ce/core/utf.h>
#include <ce/kernel.h>
#include <ce/messages.h>
#include <ce/processes.h>
#include <ce/windows_api.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using bench::waitForMessage;

constexpr UINT kWindowReady = WM_USER + 100; // ce_test_window: wParam = its window
constexpr UINT kWindowDouble = WM_USER + 103;
constexpr UINT kPeerHello = WM_USER + 1; // ce_test_peer echo: wParam = its thread
constexpr UINT kPeerAdd = WM_USER + 2;   // ce_test_peer echo: answered with kPeerSum
constexpr UINT kPeerSum = WM_USER + 3;
constexpr UINT kIgnored = WM_USER + 50; // neither peer acts on it
// Posts in a row are followed by a send every this many, so that the receiver, which takes
// posts as fast as they come but not faster, never lets a backlog build up.
constexpr int kPostsBetweenCatchUps = 256;

HANDLE start(const char16_t *program, const std::u16string &parameters) {
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = program;
  info.lpParameters = parameters.c_str();
  if (!ShellExecuteEx(&info))
    std::abort();
  return info.hProcess;
}

// The device and its two peers, for the whole run.
class Peers {
public:
  Peers() {
    device_.run("boot");
    fs::create_directories(device_.root / "fs" / "Windows");
    fs::copy_file(CE_BINARY_DIR "/bin/ce_test_window", device_.root / "fs/Windows/window.exe");
    fs::copy_file(CE_BINARY_DIR "/bin/ce_test_peer", device_.root / "fs/Windows/peer.exe");
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const std::u16string self = ce::toUtf16(std::to_string(GetCurrentThreadId()));
    windowProcess_ = start(u"\\Windows\\window.exe", self);
    if (!waitForMessage(kWindowReady, msg))
      std::abort();
    window = reinterpret_cast<HWND>(msg.wParam);
    peerProcess_ = start(u"\\Windows\\peer.exe", u"echo " + self);
    if (!waitForMessage(kPeerHello, msg))
      std::abort();
    peerThread = static_cast<DWORD>(msg.wParam);
  }
  ~Peers() {
    PostMessageW(window, WM_CLOSE, 0, 0);
    PostThreadMessageW(peerThread, WM_QUIT, 0, 0);
    for (HANDLE process : {windowProcess_, peerProcess_}) {
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }

  HWND window = nullptr;
  DWORD peerThread = 0;

private:
  bench::ToolDevice device_;
  HANDLE windowProcess_ = nullptr;
  HANDLE peerProcess_ = nullptr;
};

std::unique_ptr<Peers> g_peers;

Peers &peers() {
  if (!g_peers)
    g_peers = std::make_unique<Peers>();
  return *g_peers;
}

// The reference: a 56-byte packet (a post's size on the host socket) to a child process over a
// SOCK_SEQPACKET socket pair, and the same packet back.
void BM_UnixSocketRoundTrip(benchmark::State &state) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
    state.SkipWithError("no socket pair");
    return;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pair[0]);
    char packet[256];
    for (;;) {
      const ssize_t got = ::recv(pair[1], packet, sizeof packet, 0);
      if (got <= 0 || ::send(pair[1], packet, static_cast<std::size_t>(got), 0) != got)
        ::_exit(0);
    }
  }
  ::close(pair[1]);
  char packet[56] = {};
  for (auto _ : state) {
    if (::send(pair[0], packet, sizeof packet, 0) != sizeof packet ||
        ::recv(pair[0], packet, sizeof packet, 0) != sizeof packet) {
      state.SkipWithError("socket failed");
      break;
    }
  }
  ::close(pair[0]);
  ::waitpid(child, nullptr, 0);
}
BENCHMARK(BM_UnixSocketRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Stops a peer process (SIGSTOP: a hung program, none of whose threads runs) for as long as it
// lives, and lets it go again after.
class Stopped {
public:
  explicit Stopped(DWORD pid) : pid_(static_cast<pid_t>(pid)) {
    ::kill(pid_, SIGSTOP);
    // The signal takes a moment: wait until the process is seen stopped.
    const std::string stat = "/proc/" + std::to_string(pid_) + "/stat";
    for (int i = 0; i < 2000; ++i) {
      std::ifstream in(stat);
      std::string pid, name, state;
      in >> pid >> name >> state;
      if (state == "T" || state == "t")
        return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~Stopped() { ::kill(pid_, SIGCONT); }

private:
  pid_t pid_;
};

DWORD processOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

// Posts in a row to a process that is stopped, as the socket round trip runs in a row: what the
// poster pays, without the receiver competing for the processor. The run is short enough that
// every post fits the host's quota; once it is over the receiver takes them all.
constexpr int kPostsToAStoppedProcess = 1000;

void BM_PostMessageToAnotherProcess(benchmark::State &state) {
  const HWND window = peers().window;
  {
    Stopped receiver(processOf(window));
    for (auto _ : state)
      if (!PostMessageW(window, kIgnored, 1, 2)) {
        state.SkipWithError("post failed");
        break;
      }
  }
  if (SendMessageW(window, kWindowDouble, 1, 0) != 2)
    state.SkipWithError("the window took nothing after it went on");
}
BENCHMARK(BM_PostMessageToAnotherProcess)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(kPostsToAStoppedProcess);

void BM_PostThreadMessageToAnotherProcess(benchmark::State &state) {
  const DWORD thread = peers().peerThread;
  {
    Stopped receiver(thread); // the peer's main thread: its id is the process's
    for (auto _ : state)
      if (!PostThreadMessageW(thread, kIgnored, 1, 2)) {
        state.SkipWithError("post failed");
        break;
      }
  }
  // Its answer to a post after the others comes once it has taken them all.
  MSG sum{};
  if (!PostThreadMessageW(thread, kPeerAdd, 1, 1) || !waitForMessage(kPeerSum, sum) ||
      sum.wParam != 2)
    state.SkipWithError("the thread took nothing after it went on");
}
BENCHMARK(BM_PostThreadMessageToAnotherProcess)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(kPostsToAStoppedProcess);

// Posts in a row to a process that runs: it takes them meanwhile and competes with the poster
// and the host for the processor; a send every few hundred posts keeps its backlog short.
void BM_PostMessagesInARowToARunningProcess(benchmark::State &state) {
  const HWND window = peers().window;
  int posted = 0;
  for (auto _ : state) {
    if (!PostMessageW(window, kIgnored, 1, 2)) {
      state.SkipWithError("post failed");
      break;
    }
    if (++posted % kPostsBetweenCatchUps == 0) {
      state.PauseTiming();
      if (SendMessageW(window, kWindowDouble, 1, 0) != 2)
        state.SkipWithError("the window does not answer");
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_PostMessagesInARowToARunningProcess)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The host's own round trip: an empty request on the thread's post connection (which the
// connection's post takes for a device process), answered at once. A post costs this plus the
// queueing of the message in the host.
void BM_HostRoundTrip(benchmark::State &state) {
  peers();
  for (auto _ : state) {
    if (!ce::HostConnection::instance().post(ce::protocol::PingRequest{})) {
      state.SkipWithError("the host does not answer");
      break;
    }
  }
}
BENCHMARK(BM_HostRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_SendMessageToAnotherProcess(benchmark::State &state) {
  const HWND window = peers().window;
  for (auto _ : state)
    if (SendMessageW(window, kWindowDouble, 21, 0) != 42) {
      state.SkipWithError("send failed");
      break;
    }
}
BENCHMARK(BM_SendMessageToAnotherProcess)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A window of this process made and pumped by a thread of its own; the benchmark thread asks.
class OwnWindowThread {
public:
  OwnWindowThread() {
    thread_ = std::thread([this] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &DefWindowProcW;
      wc.lpszClassName = u"BenchOwnWindow";
      RegisterClassW(&wc);
      threadId_.store(GetCurrentThreadId());
      window_.store(CreateWindowExW(0, u"BenchOwnWindow", u"own", WS_VISIBLE, 0, 40, 240, 160,
                                    nullptr, nullptr, nullptr, nullptr));
      made_.store(true);
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
      DestroyWindow(window_.load());
    });
    while (!made_.load())
      std::this_thread::yield();
  }
  ~OwnWindowThread() {
    PostThreadMessageW(threadId_.load(), WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_.load(); }

private:
  std::thread thread_;
  std::atomic<DWORD> threadId_{0};
  std::atomic<HWND> window_{nullptr};
  std::atomic<bool> made_{false};
};

void BM_GetClientRectOfOwnWindowFromAnotherThread(benchmark::State &state) {
  peers();
  OwnWindowThread owner;
  if (!owner.window()) {
    state.SkipWithError("no window");
    return;
  }
  RECT rect{};
  for (auto _ : state) {
    if (!GetClientRect(owner.window(), &rect) || rect.right != 240) {
      state.SkipWithError("GetClientRect failed");
      break;
    }
  }
}
BENCHMARK(BM_GetClientRectOfOwnWindowFromAnotherThread)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_IsWindowOfAnotherProcess(benchmark::State &state) {
  const HWND window = peers().window;
  for (auto _ : state)
    if (!IsWindow(window)) {
      state.SkipWithError("IsWindow failed");
      break;
    }
}
BENCHMARK(BM_IsWindowOfAnotherProcess)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GetWindowRectOfAnotherProcess(benchmark::State &state) {
  const HWND window = peers().window;
  RECT rect{};
  for (auto _ : state)
    if (!GetWindowRect(window, &rect) || rect.left != 10) {
      state.SkipWithError("GetWindowRect failed");
      break;
    }
}
BENCHMARK(BM_GetWindowRectOfAnotherProcess)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_peers.reset(); // the peers end and the device shuts down before the process does
  return 0;
}
