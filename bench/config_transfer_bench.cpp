// Speed of exporting and importing a configuration with a start-menu tree of 200 items, and of
// loading a language file into the label table.
#include <config/config_export.h>
#include <config/config_import.h>
#include <config/configuration_actions.h>
#include <config/label_table.h>

#include <ce/core/device_root.h>
#include <ce/registry.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {

struct BenchDevice {
  BenchDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() / ("bench-config-" + std::to_string(random()));
    std::filesystem::create_directories(root / "fs");
    ce::DeviceRoot::use(root);
    std::ostringstream file;
    file << ConfigFileHeader << "\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolmar_Vireta\\]\n"
         << "\"textColor\"=dword:ffffff\n\"textFont\"=\"Tahoma\"\n\"blob\"=hex:a,ff,00\n";
    for (int i = 0; i < 200; ++i) {
      file << "\n[HKEY_LOCAL_MACHINE\\Security\\Shell\\StartInfo\\Start\\item" << i
           << ".lnk\\]\n\"name\"=\"Item " << i << "\"\n\"ItemPosition\"=dword:" << std::hex << i
           << std::dec << "\n\"Icon\"=\"\\icons\\" << i << ".png\"\n";
    }
    configFile = file.str();
    std::ofstream lang(root / "fs" / "lang.bench.txt", std::ios::binary);
    lang << "<?xml version=\"1.0\"?>\n<ViretaCfg>\n";
    for (int round = 0; round < 4; ++round) {
      for (const auto &entry : LabelTable::defaults()) {
        const std::string key(entry.key.begin(), entry.key.end());
        lang << "  <translation src=\"" << key << "\" local=\"Text of " << key
             << "\"></translation>\n";
      }
    }
    lang << "</ViretaCfg>\n";
  }
  ~BenchDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::filesystem::path root;
  std::string configFile;
};

BenchDevice &device() {
  static BenchDevice d;
  return d;
}

void BM_ImportConfig(benchmark::State &state) {
  const auto &text = device().configFile;
  for (auto _ : state) {
    std::istringstream in(text);
    importConfig(in, u"", [](auto, auto) { return true; });
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ExportStartMenu(benchmark::State &state) {
  {
    std::istringstream in(device().configFile);
    importConfig(in, u"", [](auto, auto) { return true; });
  }
  for (auto _ : state) {
    std::ostringstream out;
    exportKey(HKEY_LOCAL_MACHINE, out, StartMenuKeyPath, false);
    benchmark::DoNotOptimize(out.str().size());
  }
}

void BM_LoadLanguageFile(benchmark::State &state) {
  device();
  LabelTable labels;
  for (auto _ : state)
    benchmark::DoNotOptimize(labels.load(u"\\lang.bench.txt"));
}

BENCHMARK(BM_ImportConfig)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportStartMenu)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLanguageFile)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
