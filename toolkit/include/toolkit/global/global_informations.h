// The one process-wide object of the toolkit: the application name, the resource and base
// directories, the screen scale and orientation, the paths of the common skin images, the
// display state, and the synchronisation objects the toolkit shares.
//
// Each program creates it first, with its application name, before any window exists; every
// other toolkit class reaches it through getInstance(). It lives until the process ends.
#pragma once

#include <toolkit/global/skin_image.h>
#include <toolkit/surface/display_state.h>

#include <ce/kernel.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>

class GlobalInformations {
public:
  // The instance, or null before the first call that names the application.
  static GlobalInformations *getInstance();
  // Creates the instance with this name when there is none. When the name differs from the
  // instance's (ordinal comparison), the name is replaced and the resource directory and skin
  // paths are worked out again.
  static void getInstance(std::u16string applicationName);
  // Makes `instance` the process-wide object, destroying the previous one (for tests that work
  // on several devices in one process).
  static void replaceInstance(std::unique_ptr<GlobalInformations> instance);

  // Creation, in order: synchronisation objects, screen scale and orientation, resource
  // directory, fonts, the scaling marker, the skin paths, and the scaling run when one is due.
  // The resource directory beside the program is looked for next to `modulePath`; the first
  // constructor takes the running program's own path.
  explicit GlobalInformations(std::u16string applicationName);
  GlobalInformations(std::u16string applicationName, std::u16string modulePath);
  ~GlobalInformations();
  GlobalInformations(const GlobalInformations &) = delete;
  GlobalInformations &operator=(const GlobalInformations &) = delete;

  const std::u16string &applicationName() const { return applicationName_; }
  const std::u16string &resourceDirectory() const { return resourceDirectory_; }
  const std::u16string &baseDirectory() const { return baseDirectory_; }
  const std::u16string &skinImagePath(SkinImage role) const {
    return skinPaths_[static_cast<std::size_t>(role)];
  }
  // min(screen width, height) / 480: 1.0 on a 480-wide screen, 0.5 on 240x320.
  double scale() const { return scale_; }
  bool isLandscape() const { return landscape_.load(); }
  void setLandscape(bool landscape) { landscape_.store(landscape); }
  // Whether this start rescaled the image files.
  bool rescaledResources() const { return rescaled_; }

  DisplayState &display() { return display_; }
  DirectDrawWarp *mainApplication() const { return display_.mainApplication.load(); }
  void setMainApplication(DirectDrawWarp *application) {
    display_.mainApplication.store(application);
  }

  CRITICAL_SECTION &displaySection() { return displaySection_; }
  CRITICAL_SECTION &invalidationSection() { return invalidationSection_; }
  CRITICAL_SECTION &elementSection() { return elementSection_; }
  // Manual reset, created signalled; modal loops of other threads wait on it.
  HANDLE event() const { return event_; }

private:
  void locateResources(const std::u16string &modulePath);

  std::u16string applicationName_;
  std::u16string modulePath_;
  std::array<std::u16string, SkinImageCount> skinPaths_;
  DisplayState display_;
  HANDLE event_ = nullptr;
  double scale_ = 1.0;
  std::atomic<bool> landscape_{false};
  bool rescaled_ = false;
  CRITICAL_SECTION displaySection_{};
  CRITICAL_SECTION invalidationSection_{};
  CRITICAL_SECTION elementSection_{};
  std::u16string resourceDirectory_;
  std::u16string baseDirectory_;
};

// The tick count of the last process ping (0 until the first).
extern std::atomic<DWORD> lastProcessPing;
