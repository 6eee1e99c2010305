// Throughput of the code-page conversions: a language-file line through a single-byte page and
// through UTF-8, both directions.
#include <ce/codepages.h>

#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string cyrillicLine =
    "<translation src=\"LANG_SAVE\" local=\"\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC\"></translation>";
const std::string utf8Line = "<translation src=\"LANG_SAVE\" local=\"\xD0\xA1\xD0\xBE\xD1\x85"
                             "\xD1\x80\xD0\xB0\xD0\xBD\xD0\xB8\xD1\x82\xD1\x8C\"></translation>";

void toWide(benchmark::State& state, UINT page, const std::string& line) {
  WCHAR out[256];
  for (auto _ : state) {
    const int n =
        MultiByteToWideChar(page, 0, line.data(), static_cast<int>(line.size()), out, 256);
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}

void toBytes(benchmark::State& state, UINT page, const std::string& line) {
  WCHAR wide[256];
  const int units =
      MultiByteToWideChar(page, 0, line.data(), static_cast<int>(line.size()), wide, 256);
  char out[512];
  for (auto _ : state) {
    const int n = WideCharToMultiByte(page, 0, wide, units, out, 512, nullptr, nullptr);
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * units);
}

void BM_Cp1251ToWide(benchmark::State& state) { toWide(state, 1251, cyrillicLine); }
void BM_Utf8ToWide(benchmark::State& state) { toWide(state, CP_UTF8, utf8Line); }
void BM_WideToCp1251(benchmark::State& state) { toBytes(state, 1251, cyrillicLine); }
void BM_WideToUtf8(benchmark::State& state) { toBytes(state, CP_UTF8, utf8Line); }

BENCHMARK(BM_Cp1251ToWide);
BENCHMARK(BM_Utf8ToWide);
BENCHMARK(BM_WideToCp1251);
BENCHMARK(BM_WideToUtf8);

} // namespace

BENCHMARK_MAIN();
