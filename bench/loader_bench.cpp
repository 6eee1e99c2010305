// Library loading speed: a first load with its unload (the host loader maps and binds the file
// each time), a load of a library already loaded (path resolution and the table), an export
// lookup, and a service started and stopped through the services host.
//
// The libraries are the test libraries of platform/tests/libraries, built beside this program.
#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/loader.h>
#include <ce/services.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::filesystem::path libraries = std::filesystem::path(CE_BINARY_DIR) / "test-libraries";

// A device root holding the libraries in \Windows; removed at exit.
class BenchDevice {
public:
  BenchDevice() {
    std::string pattern = "/tmp/ce-loader-bench-XXXXXX";
    if (!mkdtemp(pattern.data()))
      return;
    root_ = pattern;
    std::filesystem::create_directories(root_ / "fs" / "Windows");
    std::error_code ec;
    for (const char* name : {"plain.dll", "journal_d.dll"})
      std::filesystem::copy_file(libraries / name, root_ / "fs" / "Windows" / name, ec);
    ready_ = !ec;
    ce::DeviceRoot::use(root_);
  }
  ~BenchDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  bool ready() const { return ready_; }

private:
  std::filesystem::path root_;
  bool ready_ = false;
};

BenchDevice& device() {
  static BenchDevice instance;
  return instance;
}

void BM_LoadAndUnload(benchmark::State& state) {
  if (!device().ready())
    return state.SkipWithError("test libraries are not built");
  for (auto _ : state) {
    HMODULE module = LoadLibraryW(u"plain.dll");
    if (!module)
      return state.SkipWithError("LoadLibraryW failed");
    FreeLibrary(module);
  }
}
BENCHMARK(BM_LoadAndUnload);

void BM_LoadAgain(benchmark::State& state) {
  if (!device().ready())
    return state.SkipWithError("test libraries are not built");
  HMODULE held = LoadLibraryW(u"plain.dll");
  for (auto _ : state) {
    HMODULE module = LoadLibraryW(u"\\Windows\\plain.dll");
    benchmark::DoNotOptimize(module);
    FreeLibrary(module);
  }
  FreeLibrary(held);
}
BENCHMARK(BM_LoadAgain);

void BM_GetProcAddress(benchmark::State& state) {
  if (!device().ready())
    return state.SkipWithError("test libraries are not built");
  HMODULE module = LoadLibraryW(u"plain.dll");
  for (auto _ : state)
    benchmark::DoNotOptimize(GetProcAddressW(module, u"Answer"));
  FreeLibrary(module);
}
BENCHMARK(BM_GetProcAddress);

void BM_ServiceStartStop(benchmark::State& state) {
  if (!device().ready())
    return state.SkipWithError("test libraries are not built");
  for (auto _ : state) {
    HANDLE service = RegisterService(u"JND", 0, u"journal_d.dll", 0);
    if (!service)
      return state.SkipWithError("RegisterService failed");
    DeregisterService(service);
    CloseHandle(service);
  }
}
BENCHMARK(BM_ServiceStartStop);

} // namespace

BENCHMARK_MAIN();
