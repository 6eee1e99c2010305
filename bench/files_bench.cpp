// Costs of the device file system: path resolution, finds, reads and streams.
#include <ce/core/device_path.h>
#include <ce/core/device_root.h>
#include <ce/core/device_stream.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A device with a Start menu folder of 500 shortcuts and a 1 MiB file.
struct BenchDevice {
  fs::path root;
  BenchDevice() {
    std::random_device random;
    root = fs::temp_directory_path() / ("ce-files-bench-" + std::to_string(random()));
    const fs::path programs = root / "fs/Windows/Start Menu/Programs";
    fs::create_directories(programs);
    for (int i = 0; i < 500; ++i)
      std::ofstream(programs / ("Program " + std::to_string(i) + ".lnk")) << "#\\x.exe";
    std::ofstream(root / "fs/big.bin", std::ios::binary) << std::string(1 << 20, 'b');
    ce::DeviceRoot::use(root);
  }
  ~BenchDevice() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

BenchDevice& device() {
  static BenchDevice instance;
  return instance;
}

void ResolveExactCase(benchmark::State& state) {
  device();
  for (auto _ : state) {
    DWORD error;
    benchmark::DoNotOptimize(
        ce::DevicePath::toHost(u"\\Windows\\Start Menu\\Programs\\Program 250.lnk", &error));
  }
}
BENCHMARK(ResolveExactCase);

// Every component needs a directory scan; the last one scans 500 entries.
void ResolveOtherCase(benchmark::State& state) {
  device();
  for (auto _ : state) {
    DWORD error;
    benchmark::DoNotOptimize(
        ce::DevicePath::toHost(u"\\WINDOWS\\START MENU\\PROGRAMS\\PROGRAM 250.LNK", &error));
  }
}
BENCHMARK(ResolveOtherCase);

void FindAllShortcuts(benchmark::State& state) {
  device();
  for (auto _ : state) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\Windows\\Start Menu\\Programs\\*.lnk", &data);
    int count = 1;
    while (FindNextFileW(find, &data)) ++count;
    FindClose(find);
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(FindAllShortcuts)->Unit(benchmark::kMicrosecond);

void OpenReadClose(benchmark::State& state) {
  device();
  std::vector<char> buffer(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    HANDLE file = CreateFileW(u"\\big.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    DWORD got = 0;
    std::int64_t total = 0;
    while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
           got > 0)
      total += got;
    CloseHandle(file);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(OpenReadClose)->Arg(512)->Arg(4096)->Arg(65536)->Unit(benchmark::kMicrosecond);

void StreamReadSmallBlocks(benchmark::State& state) {
  device();
  for (auto _ : state) {
    auto in = ce::openDeviceInput(u"\\big.bin");
    std::int64_t total = 0;
    char buffer[256];
    while (in->read(buffer, sizeof buffer) || in->gcount() > 0) total += in->gcount();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(StreamReadSmallBlocks)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
