// The host's log, run/host.log: one line per event, with the time since boot. Control characters
// in a line are escaped (ce::printable), so every event stays one line.
#pragma once

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string_view>

namespace ce::host {

class HostLog {
public:
  // Appends to the file (creating it); a log that cannot be opened writes nothing.
  explicit HostLog(const std::filesystem::path &file);
  ~HostLog();
  HostLog(const HostLog &) = delete;
  HostLog &operator=(const HostLog &) = delete;

  void line(std::string_view text);
  // The descriptor of the log file (-1 when it could not be opened), for programs' stderr.
  int descriptor() const { return fd_; }

private:
  int fd_ = -1;
  std::mutex mutex_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace ce::host
