// The real path (every host link resolved) of a device's fs/ folder, worked out once per folder
// rather than at every call. Each call checks with one stat that the path the device root gives
// still leads to the same folder, and works the real path out again when it does not: the
// folder was replaced, or a link on its way now leads elsewhere.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ce {

class RootRealPath {
public:
  static RootRealPath &instance();

  // The real path of the folder at configured; nothing, with *hostError, when it is not a
  // folder that can be reached.
  std::optional<std::filesystem::path> of(const std::filesystem::path &configured, int *hostError);

private:
  struct Known {
    std::string configured;
    dev_t device = 0;
    ino_t inode = 0;
    std::filesystem::path real;
  };
  // Roots a process works on: one, or a few in tools and tests that switch between devices.
  static constexpr std::size_t maxKnown = 8;

  std::mutex mutex_;
  std::vector<Known> known_;
};

} // namespace ce
