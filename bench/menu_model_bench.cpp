// Speed of the menu's item model: ordering a folder's records (compaction and alphabetical
// sort, in memory), rearranging a folder in the registry (both ways), showing a folder of 1,000
// items from its metadata, and building the target and name indexes.
#include <menu/folder_discovery.h>
#include <menu/folder_rearranger.h>
#include <menu/folder_view.h>
#include <menu/item_indexes.h>
#include <menu/metadata_tree.h>
#include <toolkit/registry/registry_key.h>

#include <ce/core/device_root.h>
#include <ce/core/utf.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

namespace {

struct BenchDevice {
  BenchDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() / ("bench-menu-" + std::to_string(random()));
    std::filesystem::create_directories(root / "fs/Windows/Start Menu/Programs");
    std::ofstream(root / "fs/Windows/app.exe") << "elf";
    ce::DeviceRoot::use(root);
  }
  ~BenchDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }

  // A folder of `count` shortcuts with complete keys, stored with gaps (slot 2 * i), named in
  // the reverse of their slot order. Made once per size.
  std::u16string folder(std::size_t count) {
    const auto name = u"Folder" + ce::toUtf16(std::to_string(count));
    if (made.count(count))
      return name;
    made[count] = true;
    const auto directory = root / "fs/Windows/Start Menu/Programs" / ce::toUtf8(name);
    std::filesystem::create_directories(directory);
    for (std::size_t i = 0; i < count; ++i) {
      const auto entry = "Item" + std::to_string(i) + ".lnk";
      std::ofstream(directory / entry) << "18#\\Windows\\app.exe";
      const auto key = RegistryKey::create(HKEY_LOCAL_MACHINE,
                                           MetadataTree::keyOf(name + u"\\" + ce::toUtf16(entry)));
      key.writeText(MetadataTree::Name, u"Name " + ce::toUtf16(std::to_string(count - i)));
      key.writeText(MetadataTree::Target, u"\\Windows\\app.exe");
      key.writeText(MetadataTree::Icon, u"\\Windows\\app.png");
      key.writeNumber(MetadataTree::ItemPosition, static_cast<DWORD>(2 * i));
    }
    return name;
  }

  std::filesystem::path root;
  std::map<std::size_t, bool> made;
};

BenchDevice &device() {
  static BenchDevice d;
  return d;
}

std::vector<ItemRecord> records(std::size_t count) {
  std::vector<ItemRecord> result(count);
  std::mt19937 random(3);
  for (std::size_t i = 0; i < count; ++i) {
    result[i].position = static_cast<long long>(random() % (3 * count));
    result[i].name = u"Item " + ce::toUtf16(std::to_string(random()));
    result[i].folder = random() % 16 == 0;
  }
  return result;
}

void BM_CompactOrder(benchmark::State &state) {
  const auto input = records(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(FolderRearranger::compactOrder(input));
}

void BM_AlphabeticalOrder(benchmark::State &state) {
  const auto input = records(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(FolderRearranger::alphabeticalOrder(input));
}

// Times a rearrangement of a folder of state.range(0) items in the registry. Each round first
// stores the slots that `slotAt` gives the i-th item in key order (not timed), so that the
// rearrangement rewrites every item's slot.
template <class SlotAt>
void rearrangeInRegistry(benchmark::State &state, ArrangeMode mode, SlotAt slotAt) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const auto folder = device().folder(count);
  for (auto _ : state) {
    state.PauseTiming();
    const auto stored = FolderRearranger::readRecords(folder, false);
    for (std::size_t i = 0; i < stored.size(); ++i)
      RegistryKey::open(HKEY_LOCAL_MACHINE, stored[i].keyPath, KEY_ALL_ACCESS)
          .writeNumber(MetadataTree::ItemPosition, static_cast<DWORD>(slotAt(i, count)));
    state.ResumeTiming();
    FolderRearranger::rearrange(folder, false, mode);
  }
}

// Slots in reverse order with gaps: the compaction moves every item.
void BM_CompactFolderInRegistry(benchmark::State &state) {
  rearrangeInRegistry(state, ArrangeMode::Compact,
                      [](std::size_t i, std::size_t count) { return 3 * (count - i); });
}

// Slots in key order; the names run the other way, so the sort moves every item.
void BM_SortFolderInRegistry(benchmark::State &state) {
  rearrangeInRegistry(state, ArrangeMode::Alphabetical,
                      [](std::size_t i, std::size_t) { return i; });
}

void BM_EnumerateFolder(benchmark::State &state) {
  const auto folder = device().folder(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    const auto key = RegistryKey::open(HKEY_LOCAL_MACHINE, MetadataTree::keyOf(folder));
    benchmark::DoNotOptimize(key.subkeyNames().size());
  }
}

void BM_ReadRecords(benchmark::State &state) {
  const auto folder = device().folder(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(FolderRearranger::readRecords(folder, false));
}

void BM_ShowFolder(benchmark::State &state) {
  const auto folder = device().folder(static_cast<std::size_t>(state.range(0)));
  const auto folders = FolderDiscovery::discover(2);
  for (auto _ : state)
    benchmark::DoNotOptimize(FolderView::load(folder, folders));
}

void BM_ScanIndexes(benchmark::State &state) {
  device().folder(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    ItemIndexes indexes;
    indexes.scan(MetadataTree::StartKey);
    benchmark::DoNotOptimize(indexes.targets().size());
  }
}

} // namespace

BENCHMARK(BM_CompactOrder)->Arg(10000)->Arg(65535)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlphabeticalOrder)->Arg(10000)->Arg(65535)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowFolder)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanIndexes)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnumerateFolder)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRecords)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompactFolderInRegistry)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortFolderInRegistry)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
