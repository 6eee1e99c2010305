#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>

#include <cstdlib>
#include <mutex>

namespace ce {
namespace {
std::mutex rootMutex;
std::filesystem::path chosenRoot;
bool rootChosen = false;
} // namespace

std::filesystem::path DeviceRoot::path() {
  std::lock_guard lock(rootMutex);
  if (rootChosen) return chosenRoot;
  const char* env = std::getenv("CE_DEVICE");
  return env ? std::filesystem::path(env) : std::filesystem::path();
}

void DeviceRoot::use(const std::filesystem::path& root) {
  {
    std::lock_guard lock(rootMutex);
    chosenRoot = root;
    rootChosen = true;
  }
  DeviceProfile::reload();
}

} // namespace ce
