// The real path (every host link resolved) of a device's fs/ folder, worked out once per folder
// rather than at every call. Each call checks with one stat that the path the device root gives
// still leads to the same folder, and works the real path out again when it does not: the
// folder was replaced, or a link on its way now leads elsewhere.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ce {

class RootRealPath {
public:
  // A root's folder by its paths, each as text ready for comparisons with host paths.
  struct Paths {
    std::filesystem::path real; // every host link resolved
    std::string realText;
    // The configured path, normalized, when it is absolute (links given as absolute paths may
    // name the folder that way); empty otherwise.
    std::string configuredText;
  };

  static RootRealPath &instance();

  // The paths of the folder at configured; null, with *hostError, when it is not a folder that
  // can be reached.
  std::shared_ptr<const Paths> of(const std::filesystem::path &configured, int *hostError);

private:
  struct Known {
    std::string configured;
    dev_t device = 0;
    ino_t inode = 0;
    std::shared_ptr<const Paths> paths;
  };
  // Roots a process works on: one, or a few in tools and tests that switch between devices.
  static constexpr std::size_t maxKnown = 8;

  std::mutex mutex_;
  std::vector<Known> known_;
};

} // namespace ce
