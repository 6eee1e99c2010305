#include "host_log.h"

#include <ce/core/printable_text.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace ce::host {

HostLog::HostLog(const std::filesystem::path &file)
    : fd_(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600)) {}

HostLog::~HostLog() {
  if (fd_ >= 0)
    ::close(fd_);
}

void HostLog::line(std::string_view text) {
  if (fd_ < 0)
    return;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start_)
                      .count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%8lld.%03lld] ", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
  std::string out = stamp;
  // Lines quote device data (paths, names): control characters in it never make fake lines or
  // reach a terminal that shows the log.
  out.append(printable(text));
  out.push_back('\n');
  std::lock_guard lock(mutex_);
  // O_APPEND keeps each line whole even when started programs write to the same file.
  [[maybe_unused]] const auto written = ::write(fd_, out.data(), out.size());
}

} // namespace ce::host
