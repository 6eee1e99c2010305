// Line reading speed of the text file readers over a 1 MiB file, per encoding and buffer size.
#include <toolkit/text/text_file.h>

#include <ce/codepages.h>
#include <ce/core/device_root.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

struct BenchDevice {
  BenchDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() / ("bench-text-" + std::to_string(random()));
    std::filesystem::create_directories(root / "fs");
    ce::DeviceRoot::use(root);
    std::string ansi, utf8 = "\xEF\xBB\xBF";
    std::u16string wide = u"\uFEFF";
    while (utf8.size() < (1u << 20)) {
      utf8 += "<translation src=\"LANG_SAVE\" local=\"Enregistrer caf\xC3\xA9\">\r\n";
      ansi += "<translation src=\"LANG_SAVE\" local=\"Enregistrer caf\xE9\">\r\n";
      wide += u"<translation src=\"LANG_SAVE\" local=\"Enregistrer caf\u00e9\">\r\n";
    }
    write("ansi.txt", ansi);
    write("utf8.txt", utf8);
    write("utf16.txt", std::string(reinterpret_cast<const char *>(wide.data()), wide.size() * 2));
  }
  ~BenchDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  void write(const char *name, const std::string &bytes) {
    std::ofstream(root / "fs" / name, std::ios::binary) << bytes;
  }
  std::filesystem::path root;
};

BenchDevice &device() {
  static BenchDevice d;
  return d;
}

void readLines(benchmark::State &state, const char16_t *path, const char *hostName) {
  const auto size = std::filesystem::file_size(device().root / "fs" / hostName);
  for (auto _ : state) {
    TextFile file;
    file.bufferSize = static_cast<int>(state.range(0));
    if (openTextFile(file, path) != 0) {
      state.SkipWithError("cannot open");
      return;
    }
    TextLine line;
    while (file.reader->readLine(line, 1252) == 0)
      benchmark::DoNotOptimize(line.length);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_ReadLinesAnsi(benchmark::State &state) { readLines(state, u"\\ansi.txt", "ansi.txt"); }
void BM_ReadLinesUtf8(benchmark::State &state) { readLines(state, u"\\utf8.txt", "utf8.txt"); }
void BM_ReadLinesUtf16(benchmark::State &state) { readLines(state, u"\\utf16.txt", "utf16.txt"); }

BENCHMARK(BM_ReadLinesAnsi)->Arg(0)->Arg(512);
BENCHMARK(BM_ReadLinesUtf8)->Arg(0)->Arg(512);
BENCHMARK(BM_ReadLinesUtf16)->Arg(0)->Arg(512);

} // namespace

BENCHMARK_MAIN();
