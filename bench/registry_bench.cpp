// Registry speed: a hot open of a seven-level key with a value query, single-process commits,
// and committed writes per second with four writer processes on one device.
//
// Writer processes are this program started again through /proc/self/exe with
// CE_REGISTRY_BENCH_WRITER set; a static initializer runs their loop and exits before main.
#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int reportFd = 3;
constexpr const char16_t *sevenLevels =
    u"Security\\Shell\\StartInfo\\Start\\Programs\\Games\\Solitaire";

std::filesystem::path makeRoot() {
  std::string pattern = "/tmp/ce-registry-bench-XXXXXX";
  if (!mkdtemp(pattern.data()))
    return {};
  return pattern;
}

// Writer process: commits values on its own key until its time is up, then reports the count.
[[noreturn]] void runWriter(const char *id) {
  const double seconds = std::atof(std::getenv("CE_REGISTRY_BENCH_SECONDS"));
  HKEY key = nullptr;
  const std::u16string path = u"Bench\\Writer" + ce::toUtf16(id);
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    _exit(1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::uint64_t writes = 0;
  while (std::chrono::steady_clock::now() < end) {
    const DWORD value = static_cast<DWORD>(writes);
    const std::u16string name = u"v" + ce::toUtf16(std::to_string(writes % 256));
    if (RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                       4) != ERROR_SUCCESS)
      _exit(1);
    ++writes;
  }
  _exit(::write(reportFd, &writes, sizeof writes) == sizeof writes ? 0 : 1);
}

const bool writerRan = [] {
  if (const char *id = std::getenv("CE_REGISTRY_BENCH_WRITER"))
    runWriter(id);
  return false;
}();

pid_t spawnWriter(int id, const std::filesystem::path &root, double seconds, int &output) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e)
    if (std::strncmp(*e, "CE_DEVICE=", 10) != 0)
      env.emplace_back(*e);
  env.push_back("CE_DEVICE=" + root.string());
  env.push_back("CE_REGISTRY_BENCH_WRITER=" + std::to_string(id));
  env.push_back("CE_REGISTRY_BENCH_SECONDS=" + std::to_string(seconds));
  std::vector<char *> envp;
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], reportFd);
  char exe[] = "/proc/self/exe";
  char *argv[] = {exe, nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, exe, &actions, nullptr, argv, envp.data()) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  output = fds[0];
  return pid;
}

void BM_OpenSevenLevelKeyAndQuery(benchmark::State &state) {
  const auto root = makeRoot();
  ce::DeviceRoot::use(root);
  HKEY key = nullptr;
  DWORD position = 7;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, sevenLevels, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  RegSetValueExW(key, u"ItemPosition", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&position), 4);
  RegCloseKey(key);
  for (auto _ : state) {
    HKEY open = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sevenLevels, 0, KEY_READ, &open) != ERROR_SUCCESS) {
      state.SkipWithError("open failed");
      break;
    }
    DWORD value = 0, size = 4;
    RegQueryValueExW(open, u"itemposition", nullptr, nullptr, reinterpret_cast<BYTE *>(&value),
                     &size);
    benchmark::DoNotOptimize(value);
    RegCloseKey(open);
  }
  state.SetItemsProcessed(state.iterations());
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_OpenSevenLevelKeyAndQuery);

void BM_QueryOnOpenKey(benchmark::State &state) {
  const auto root = makeRoot();
  ce::DeviceRoot::use(root);
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, sevenLevels, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  const std::u16string text = u"\\Program Files\\Games\\Solitaire.exe";
  RegSetValueExW(key, u"target", 0, REG_SZ, reinterpret_cast<const BYTE *>(text.data()),
                 static_cast<DWORD>(text.size() * 2));
  BYTE buffer[520];
  for (auto _ : state) {
    DWORD size = sizeof buffer;
    RegQueryValueExW(key, u"target", nullptr, nullptr, buffer, &size);
    benchmark::DoNotOptimize(buffer);
  }
  state.SetItemsProcessed(state.iterations());
  RegCloseKey(key);
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_QueryOnOpenKey);

void BM_CommittedWriteOneProcess(benchmark::State &state) {
  const auto root = makeRoot();
  ce::DeviceRoot::use(root);
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  DWORD value = 0;
  for (auto _ : state) {
    ++value;
    RegSetValueExW(key, u"counter", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
  }
  state.SetItemsProcessed(state.iterations());
  RegCloseKey(key);
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_CommittedWriteOneProcess);

void BM_CommittedWritesFourProcesses(benchmark::State &state) {
  constexpr int writers = 4;
  constexpr double seconds = 2.0;
  const auto root = makeRoot();
  ce::DeviceRoot::use(root);
  // Create the database before the writers start, as a booted device has it.
  RegFlushKey(HKEY_LOCAL_MACHINE);
  std::uint64_t total = 0;
  double elapsed = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    pid_t pids[writers];
    int outputs[writers];
    for (int i = 0; i < writers; ++i)
      pids[i] = spawnWriter(i, root, seconds, outputs[i]);
    for (int i = 0; i < writers; ++i) {
      std::uint64_t writes = 0;
      if (pids[i] < 0 || ::read(outputs[i], &writes, sizeof writes) != sizeof writes)
        state.SkipWithError("a writer failed");
      total += writes;
      int status = 0;
      if (pids[i] > 0)
        waitpid(pids[i], &status, 0);
      ::close(outputs[i]);
    }
    elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
  }
  state.counters["writes_per_second"] = static_cast<double>(total) / (seconds * state.iterations());
  state.counters["wall_seconds"] = elapsed;
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_CommittedWritesFourProcesses)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
