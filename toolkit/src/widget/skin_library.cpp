#include <toolkit/element/toolkit_shutdown.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/widget/skin_library.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct LoadedStrip {
  Surface *picture = nullptr;
  std::vector<std::unique_ptr<SkinStrip>> cuts; // one per frame count asked for
};

std::mutex libraryMutex;
std::array<LoadedStrip, SkinImageCount> loaded;
bool shutdownStepAdded = false;

} // namespace

RECT SkinStrip::frame(int index) const {
  const int width = frameWidth();
  index = std::clamp(index, 0, frames_ - 1);
  return RECT{index * width, 0, (index + 1) * width, frameHeight()};
}

const SkinStrip *SkinLibrary::strip(SkinImage role, int frames) {
  GlobalInformations *global = GlobalInformations::getInstance();
  if (!global)
    return nullptr;
  std::lock_guard guard(libraryMutex);
  LoadedStrip &entry = loaded[static_cast<std::size_t>(role)];
  if (!entry.picture) {
    entry.picture = loadImage(global->skinImagePath(role), 0);
    if (!entry.picture)
      return nullptr;
    if (!shutdownStepAdded) {
      shutdownStepAdded = true;
      ToolkitShutdown::addStep(ToolkitShutdown::Phase::AfterElements, &SkinLibrary::release);
    }
  }
  for (const auto &cut : entry.cuts)
    if (cut->frames() == std::max(frames, 1))
      return cut.get();
  entry.cuts.push_back(std::make_unique<SkinStrip>(entry.picture, frames));
  return entry.cuts.back().get();
}

void SkinLibrary::release() {
  std::lock_guard guard(libraryMutex);
  for (LoadedStrip &entry : loaded) {
    entry.cuts.clear();
    deleteSurf(&entry.picture);
  }
  shutdownStepAdded = false;
}
