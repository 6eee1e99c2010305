// Icon speed: loading a 96x96 PNG icon into a surface (its own size, and resampled to 64
// pixels), and the icon loader giving 50 Start menu tiles their pictures from shortcuts, with a
// cold cache (every icon extracted, saved as PNG and recorded in the registry) and a warm cache
// (the recorded PNG files loaded). The device content is generated here.
#include "../platform/tests/icons_test_files.h"

#include <toolkit/global/critical_section_lock.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/image/image_loader.h>

#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>
#include <ce/core/png_writer.h>
#include <ce/core/utf.h>
#include <ce/windows.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace icon_files = ce::testing::icons;

constexpr int TileCount = 50;
const std::u16string Base = u"\\Program Files\\Vireta\\";

// A device root with a 96x96 PNG icon, 50 programs with their icons (half of them named by the
// shortcut through an icon library), and a shortcut for each in the Programs folder.
class IconDevice {
public:
  IconDevice() {
    root_ = fs::temp_directory_path() / ("ce-icons-bench-" + std::to_string(getpid()));
    fs::create_directories(root_ / "fs/Program Files/Vireta/resources");
    fs::create_directories(root_ / "fs/Windows/Start Menu/Programs");
    ce::DeviceProfile profile; // a 480x640 screen at 192 dpi: large icons of 64 pixels
    profile.screenWidth = 480;
    profile.screenHeight = 640;
    profile.dpi = ce::DeviceProfile::dpiForScreen(480, 640);
    if (!profile.save(root_ / "device.conf"))
      std::abort();
    ce::DeviceRoot::use(root_);
    ce::DeviceProfile::reload();
    writeIcon();
    std::vector<icon_files::Group> groups;
    for (int i = 0; i < TileCount; ++i) {
      const ARGB colour = 0xFF000000u | ARGB(i * 5) << 16 | ARGB(255 - i * 3) << 8 | 0x40;
      const std::string name = "app" + std::to_string(i);
      std::string shortcut = "#\\Windows\\" + name + ".exe";
      if (i % 2 == 0) {
        write("Windows/" + name + ".exe",
              icon_files::ico({icon_files::solid(32, colour), icon_files::solid(64, colour)}));
      } else {
        groups.push_back(
            {std::uint16_t(100 + i), {{std::uint16_t(i + 1), icon_files::solid(64, colour)}}});
        shortcut += "?\\Windows\\apps.dll,-" + std::to_string(100 + i);
      }
      write("Windows/Start Menu/Programs/" + name + ".lnk",
            std::to_string(shortcut.size() - 1) + shortcut);
    }
    write("Windows/apps.dll", icon_files::pe(false, groups));
  }
  ~IconDevice() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // Forgets every cached icon: the PNG files and the registry values that name them.
  void clearCache() const {
    for (const auto &file : fs::directory_iterator(root_ / "fs/Program Files/Vireta/resources"))
      fs::remove(file.path());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Security");
  }

private:
  void write(const std::string &path, const icon_files::Bytes &bytes) const {
    std::ofstream(root_ / "fs" / path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  }
  void write(const std::string &path, const std::string &text) const {
    std::ofstream(root_ / "fs" / path, std::ios::binary) << text;
  }
  // A shaded disc with soft edges over transparency, as premultiplied B,G,R,A.
  void writeIcon() const {
    std::vector<std::uint32_t> pixels(96 * 96);
    for (int y = 0; y < 96; ++y)
      for (int x = 0; x < 96; ++x) {
        const double d = std::hypot(x - 47.5, y - 47.5);
        const std::uint32_t a = d < 40 ? 255 : d < 46 ? std::uint32_t(255 * (46 - d) / 6) : 0;
        const auto channel = [a](std::uint32_t v) { return v * a / 255; };
        pixels[std::size_t(y * 96 + x)] = a << 24 | channel(40 + std::uint32_t(x) * 2) << 16 |
                                          channel(200 - std::uint32_t(y)) << 8 |
                                          channel(std::uint32_t(x * y) & 255);
      }
    ce::PixelMemory memory;
    memory.bits = pixels.data();
    memory.width = 96;
    memory.height = 96;
    memory.stride = 96 * 4;
    memory.format = ce::FramebufferFormat::Bgra32;
    if (!ce::writePng(memory, root_ / "fs/icon.png"))
      std::abort();
  }

  fs::path root_;
};

IconDevice &device() {
  static IconDevice made;
  return made;
}

// The least a tile must be for the loader: its entry, its picture, and a count of the tiles
// served that wakes the benchmark when the last picture is in.
class BenchTile : public IconTile {
public:
  BenchTile(IconLoader &loader, int index, std::u16string icon, std::atomic<int> &served,
            HANDLE allServed)
      : loader_(loader), name_(u"app" + ce::toUtf16(std::to_string(index))), icon_(std::move(icon)),
        served_(served), allServed_(allServed) {
    loader_.addTile(*this);
  }
  ~BenchTile() override {
    loader_.removeTile(*this);
    deleteSurf(&picture_);
  }
  std::u16string itemPath() const override {
    return u"\\Windows\\Start Menu\\Programs\\" + name_ + u".lnk";
  }
  std::u16string displayPath() const override { return name_ + u".lnk"; }
  std::u16string target() const override { return u"\\Windows\\" + name_ + u".exe"; }
  std::u16string iconPath() const override { return icon_; }
  void setIconPath(const std::u16string &path) override { icon_ = path; }
  bool isFolder() const override { return false; }
  bool pictureMissing() const override { return picture_ == nullptr; }
  int pictureWidth() const override { return 64; }
  void setPicture(Surface *picture) override { picture_ = picture; }
  void redraw() override {
    if (++served_ == TileCount)
      SetEvent(allServed_);
  }

private:
  IconLoader &loader_;
  std::u16string name_, icon_;
  Surface *picture_ = nullptr;
  std::atomic<int> &served_;
  HANDLE allServed_;
};

void BM_LoadImageIcon96(benchmark::State &state) {
  device();
  const double size = static_cast<double>(state.range(0));
  for (auto _ : state) {
    Surface *surface = loadImage(u"\\icon.png", size);
    if (!surface)
      state.SkipWithError("icon not loaded");
    benchmark::DoNotOptimize(surface);
    deleteSurf(&surface);
  }
}
BENCHMARK(BM_LoadImageIcon96)->Arg(0)->Arg(64)->Unit(benchmark::kMicrosecond);

// Makes 50 tiles with the given picture files (none: empty), asks for every picture at once and
// waits until the last is in. The timing covers the asking and the waiting.
bool fillTiles(benchmark::State *state, IconLoader &loader,
               const std::vector<std::u16string> &icons) {
  if (state)
    state->PauseTiming();
  HANDLE allServed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> served{0};
  std::vector<std::unique_ptr<BenchTile>> tiles;
  for (int i = 0; i < TileCount; ++i)
    tiles.push_back(std::make_unique<BenchTile>(
        loader, i, icons.empty() ? std::u16string() : icons[std::size_t(i)], served, allServed));
  if (state)
    state->ResumeTiming();
  for (auto &tile : tiles)
    loader.requestPicture(*tile, IconLoader::LoadAlways);
  const bool all = WaitForSingleObject(allServed, 60000) == WAIT_OBJECT_0;
  if (state)
    state->PauseTiming();
  tiles.clear();
  CloseHandle(allServed);
  if (state)
    state->ResumeTiming();
  return all;
}

// Every icon extracted from its program or library, saved and recorded, then loaded.
void BM_IconLoaderColdCache(benchmark::State &state) {
  device();
  IconLoader loader({Base, true, 1000});
  for (auto _ : state) {
    state.PauseTiming();
    device().clearCache();
    state.ResumeTiming();
    if (!fillTiles(&state, loader, {}))
      state.SkipWithError("the loader did not serve every tile");
  }
  state.SetItemsProcessed(state.iterations() * TileCount);
}

// The tiles name the PNG files that an earlier start cached: they are only loaded.
void BM_IconLoaderWarmCache(benchmark::State &state) {
  device();
  IconLoader loader({Base, true, 1000});
  device().clearCache();
  if (!fillTiles(nullptr, loader, {}))
    state.SkipWithError("the cache could not be filled");
  std::vector<std::u16string> cached;
  for (int i = 0; i < TileCount; ++i)
    cached.push_back(Base + u"resources\\app" + ce::toUtf16(std::to_string(i)) + u".lnk.png");
  for (auto _ : state)
    if (!fillTiles(&state, loader, cached))
      state.SkipWithError("the loader did not serve every tile");
  state.SetItemsProcessed(state.iterations() * TileCount);
}

BENCHMARK(BM_IconLoaderColdCache)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IconLoaderWarmCache)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
