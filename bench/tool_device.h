// A device root in a temporary folder driven by the real `device` tool, for the benchmarks that
// need a booted host: made with `create` (plus the given options), removed with everything in it
// once the host has been shut down. The tool's output is dropped; a failing verb aborts the run.
#pragma once

#include "../platform/src/client/host_connection.h"

#include <ce/core/device_root.h>
#include <ce/messages.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

class ToolDevice {
public:
  explicit ToolDevice(const std::string &createOptions = "") {
    char pattern[] = "/tmp/ce-bench-XXXXXX";
    root = ::mkdtemp(pattern);
    run("create " + createOptions);
    ce::DeviceRoot::use(root);
  }
  ~ToolDevice() {
    ce::HostConnection::instance().leave();
    run("shutdown");
    std::filesystem::remove_all(root);
  }
  ToolDevice(const ToolDevice &) = delete;
  ToolDevice &operator=(const ToolDevice &) = delete;

  void run(const std::string &verb) const {
    const std::string command = CE_BINARY_DIR "/bin/device --device " + root.string() + " " +
                                verb + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
      std::abort();
  }

  std::filesystem::path root;
};

// Takes this thread's messages until `message` comes (into `out`), dropping the others; false
// when the queue ends or too many others came first.
inline bool waitForMessage(UINT message, MSG &out) {
  for (int i = 0; i < 100000; ++i) {
    if (GetMessageW(&out, nullptr, 0, 0) <= 0)
      return false;
    if (out.message == message)
      return true;
  }
  return false;
}

} // namespace bench
