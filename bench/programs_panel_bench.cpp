// The programs panel's own share of showing a folder, apart from reading the registry: laying
// out a folder of 1,000 or 100,000 items and drawing the screen in view (its tiles made on the
// first drawing, reused on the next), and drawing a screen scrolled far down the folder.
#include <menu/folder_discovery.h>
#include <menu/folder_view.h>
#include <menu/screen/programs_panel.h>

#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/widget_fonts.h>

#include <ce/core/device_root.h>
#include <ce/core/utf.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

struct PanelDevice {
  PanelDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() / ("bench-panel-" + std::to_string(random()));
    std::filesystem::create_directories(root / "fs/Windows/Start Menu/Programs");
    ce::DeviceRoot::use(root);
    GlobalInformations::replaceInstance(
        std::make_unique<GlobalInformations>(u"Vireta", u"\\Program Files\\Vireta\\Vireta.exe"));
    DisplayState &display = GlobalInformations::getInstance()->display();
    display.client = display.view = display.dirty = RECT{0, 0, 480, 552};
    const DDSURFACEDESC description = describeSurface(480, 640, 16);
    createSurf(&description, &canvas);
    grid.layout(480, 1.0, 80, 4, 1.4);
    folders = FolderDiscovery::discover(2);
  }
  ~PanelDevice() {
    ElementRegistry::destroyAll();
    MyIcon::releaseSharedPicture();
    WidgetFonts::release();
    deleteSurf(&canvas);
    GlobalInformations::replaceInstance(nullptr);
    std::error_code error;
    std::filesystem::remove_all(root, error);
  }

  FolderView folder(std::size_t count) const {
    FolderView view = FolderView::load(u"Big", folders);
    for (std::size_t slot = 0; slot < count; ++slot) {
      LoadedItem item;
      item.folder = u"Big\\";
      item.entry = u"Item " + ce::toUtf16(std::to_string(slot)) + u".lnk";
      item.path = folders.root + item.folder + item.entry;
      item.metadata.name = u"Item " + ce::toUtf16(std::to_string(slot));
      item.metadata.target = u"\\Windows\\app.exe";
      item.metadata.position = static_cast<int>(slot);
      view.add(item);
    }
    return view;
  }

  std::filesystem::path root;
  Surface *canvas = nullptr;
  GridGeometry grid;
  MenuFolders folders;
};

PanelDevice &device() {
  static PanelDevice made;
  return made;
}

void BM_ShowAndDrawFirstScreen(benchmark::State &state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const FolderView view = device().folder(count);
  ProgramsPanel panel(u"Programs:");
  for (auto _ : state) {
    state.PauseTiming();
    panel.clear();
    FolderView shown = view; // what the registry gave, handed over as the menu does
    state.ResumeTiming();
    panel.show(std::move(shown), device().grid, device().folders, TileStyle{});
    panel.paint(device().canvas, 0, 0);
  }
}
BENCHMARK(BM_ShowAndDrawFirstScreen)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DrawScrolledFarDown(benchmark::State &state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  ProgramsPanel panel(u"Programs:");
  panel.show(device().folder(count), device().grid, device().folders, TileStyle{});
  const int end = panel.headerHeight() + panel.gridHeight() - 552;
  int step = 0;
  for (auto _ : state) {
    // A new screen's worth of rows each time: the tiles in view are made, the oldest go.
    panel.paint(device().canvas, 0, -(end - (step++ % 50) * 600));
  }
}
BENCHMARK(BM_DrawScrolledFarDown)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
