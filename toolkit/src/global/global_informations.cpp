#include <toolkit/global/font_installation.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/global/resource_directory.h>
#include <toolkit/global/resource_scaling.h>

#include <ce/windows.h>

#include <algorithm>
#include <mutex>

std::atomic<DWORD> lastProcessPing{0};

namespace {

std::mutex instanceMutex;
std::unique_ptr<GlobalInformations> instance;
std::atomic<GlobalInformations *> published{nullptr};

std::u16string runningModulePath() {
  WCHAR path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::u16string(path, std::min<DWORD>(length, MAX_PATH - 1));
}

} // namespace

GlobalInformations *GlobalInformations::getInstance() { return published.load(); }

void GlobalInformations::getInstance(std::u16string applicationName) {
  std::lock_guard guard(instanceMutex);
  if (!instance) {
    instance = std::make_unique<GlobalInformations>(std::move(applicationName));
    published.store(instance.get());
    return;
  }
  if (instance->applicationName_ != applicationName) {
    instance->applicationName_ = std::move(applicationName);
    instance->locateResources(instance->modulePath_);
  }
}

void GlobalInformations::replaceInstance(std::unique_ptr<GlobalInformations> replacement) {
  std::lock_guard guard(instanceMutex);
  published.store(replacement.get());
  instance = std::move(replacement);
}

GlobalInformations::GlobalInformations(std::u16string applicationName)
    : GlobalInformations(std::move(applicationName), runningModulePath()) {}

GlobalInformations::GlobalInformations(std::u16string applicationName, std::u16string modulePath)
    : applicationName_(std::move(applicationName)), modulePath_(std::move(modulePath)) {
  event_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  InitializeCriticalSection(&displaySection_);
  InitializeCriticalSection(&invalidationSection_);
  InitializeCriticalSection(&elementSection_);

  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  landscape_.store(width > height);
  scale_ = std::min(width, height) * (1.0 / 480);

  // The skin paths depend on the resource directory only, so they are built with it.
  locateResources(modulePath_);
  FontInstallation::installIfNeeded(applicationName_, resourceDirectory_);
  if (ResourceScaling::prepareRun(resourceDirectory_, scale_)) {
    ResourceScaling::run(baseDirectory_, scale_);
    rescaled_ = true;
  }
}

GlobalInformations::~GlobalInformations() {
  DeleteCriticalSection(&displaySection_);
  DeleteCriticalSection(&invalidationSection_);
  DeleteCriticalSection(&elementSection_);
  if (event_)
    CloseHandle(event_);
}

void GlobalInformations::locateResources(const std::u16string &modulePath) {
  const ResourceLocation location = ResourceDirectory::locate(applicationName_, modulePath);
  resourceDirectory_ = location.resourceDirectory;
  baseDirectory_ = location.baseDirectory;
  for (std::size_t i = 0; i < SkinImageCount; ++i)
    skinPaths_[i] = resourceDirectory_ + SkinImageFileNames[i];
}
