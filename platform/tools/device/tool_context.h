// What a verb gets besides its arguments: the device root chosen on the command line (or by
// CE_DEVICE) and the streams to print on.
#pragma once

#include "outcome.h"

#include <filesystem>
#include <iosfwd>
#include <optional>

namespace ce::tool {

class ToolContext {
public:
  ToolContext(std::optional<std::filesystem::path> root, std::ostream &out)
      : root_(std::move(root)), out_(out) {}

  // The chosen root as an absolute path; refused when neither --device nor CE_DEVICE names one.
  // Verbs call this only after their arguments have been validated.
  Outcome rootPath(std::filesystem::path *path) const;

  // Checks that the chosen root holds a device (its device.conf) and makes the platform work on
  // it (ce::DeviceRoot::use), so that the verb sees what device programs see.
  Outcome useExistingDevice() const;

  std::ostream &out() const { return out_; }

private:
  std::optional<std::filesystem::path> root_;
  std::ostream &out_;
};

} // namespace ce::tool
