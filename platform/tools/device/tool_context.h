// What a verb gets besides its arguments: the device root chosen on the command line (or by
// CE_DEVICE) and the streams to print on.
#pragma once

#include "argument_parser.h"
#include "outcome.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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

  // useExistingDevice, then: the device's host must run ("device VERB: the device is not
  // running", a failure, or not found for verbs that report it so), and this process talks to
  // it as a tool.
  Outcome useRunningDevice(std::string_view verb, bool stoppedIsNotFound = false) const;

  // Parses a verb's arguments. Nothing when the verb ends here; *stop then says how: with its
  // usage (VERB --help) or refused with the parser's one-line message.
  static std::optional<ArgumentParser::Parsed>
  parse(const ArgumentParser &parser, std::span<const std::string> args, Outcome *stop);

  std::ostream &out() const { return out_; }

private:
  std::optional<std::filesystem::path> root_;
  std::ostream &out_;
};

} // namespace ce::tool
