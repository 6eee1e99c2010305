// Tells a process made by fork() from its parent without a system call on every use: the count
// of forks this process descends from. A SQLite connection opened before a fork belongs to the
// parent; the child must neither use nor close it, and compares generations to find out.
#pragma once

#include <cstdint>

namespace ce {

class RegistryForkGeneration {
public:
  // 0 in a process that was started, one more in each child made by fork().
  static std::uint64_t current();
};

} // namespace ce
