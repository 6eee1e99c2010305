// A small fuzzing driver for targets written against the LLVMFuzzerTestOneInput interface.
// It replays every seed file, then feeds mutated seeds (bit flips, byte changes, inserted and
// deleted runs, truncation, splices) and random bytes until the time is up. A crash, a sanitizer
// report or a hang (caught by the test's time limit) fails the test.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void run(const Bytes& input) { LLVMFuzzerTestOneInput(input.data(), input.size()); }

Bytes mutate(const std::vector<Bytes>& seeds, std::mt19937_64& rng) {
  std::uniform_int_distribution<int> pick(0, 99);
  Bytes data;
  if (!seeds.empty() && pick(rng) < 90) {
    data = seeds[rng() % seeds.size()];
  } else {
    data.resize(rng() % 512);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
  }
  const int rounds = 1 + static_cast<int>(rng() % 8);
  for (int r = 0; r < rounds; ++r) {
    switch (rng() % 7) {
    case 0: // flip a bit
      if (!data.empty()) data[rng() % data.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
      break;
    case 1: { // interesting byte
      static const std::uint8_t values[] = {0, 1, 0x7f, 0x80, 0xff, '\n', '\r', '"', '=', '[', ']',
                                            '\\', ':', ',', '<', '>', 0xfe, 0xef, 0xbb, 0xbf};
      if (!data.empty()) data[rng() % data.size()] = values[rng() % sizeof values];
      break;
    }
    case 2: { // insert a run
      const std::size_t at = data.empty() ? 0 : rng() % (data.size() + 1);
      const std::size_t n = 1 + rng() % 16;
      Bytes run(n, static_cast<std::uint8_t>(rng()));
      data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), run.begin(), run.end());
      break;
    }
    case 3: // delete a run
      if (!data.empty()) {
        const std::size_t at = rng() % data.size();
        const std::size_t n = std::min<std::size_t>(data.size() - at, 1 + rng() % 16);
        data.erase(data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + n));
      }
      break;
    case 4: // truncate
      if (!data.empty()) data.resize(rng() % data.size());
      break;
    case 5: // splice with another seed
      if (!seeds.empty()) {
        const Bytes& other = seeds[rng() % seeds.size()];
        if (!other.empty()) {
          const std::size_t from = rng() % other.size();
          const std::size_t at = data.empty() ? 0 : rng() % (data.size() + 1);
          data.insert(data.begin() + static_cast<std::ptrdiff_t>(at),
                      other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
        }
      }
      break;
    case 6: // duplicate a block (grows lines and lengths)
      if (!data.empty() && data.size() < 65536) {
        const std::size_t at = rng() % data.size();
        const std::size_t n = std::min<std::size_t>(data.size() - at, 1 + rng() % 64);
        Bytes block(data.begin() + static_cast<std::ptrdiff_t>(at),
                    data.begin() + static_cast<std::ptrdiff_t>(at + n));
        for (int k = 0; k < 4; ++k) data.insert(data.end(), block.begin(), block.end());
      }
      break;
    }
  }
  return data;
}

} // namespace

int main(int argc, char** argv) {
  double seconds = 5;
  std::filesystem::path seedDir;
  std::vector<std::filesystem::path> singleInputs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--seconds=", 0) == 0) {
      seconds = std::atof(arg.c_str() + 10);
    } else if (arg.rfind("--seeds=", 0) == 0) {
      seedDir = arg.substr(8);
    } else {
      singleInputs.emplace_back(arg); // reproduce a finding: run just these files
    }
  }
  if (!singleInputs.empty()) {
    for (const auto& p : singleInputs) run(readFile(p));
    std::printf("ran %zu inputs\n", singleInputs.size());
    return 0;
  }
  std::vector<Bytes> seeds;
  std::error_code ec;
  if (!seedDir.empty() && std::filesystem::is_directory(seedDir, ec)) {
    for (const auto& entry : std::filesystem::directory_iterator(seedDir, ec))
      if (entry.is_regular_file()) seeds.push_back(readFile(entry.path()));
  }
  for (const auto& seed : seeds) run(seed);
  std::random_device device;
  const std::uint64_t seed = (static_cast<std::uint64_t>(device()) << 32) | device();
  std::mt19937_64 rng(seed);
  std::printf("fuzzing for %.1f s from %zu seeds (random seed %llu)\n", seconds, seeds.size(),
              static_cast<unsigned long long>(seed));
  std::fflush(stdout);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::size_t count = 0;
  while (std::chrono::steady_clock::now() < end) {
    run(mutate(seeds, rng));
    ++count;
  }
  std::printf("%zu inputs, no finding\n", count);
  return 0;
}
