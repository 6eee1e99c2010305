// What a verb gets besides its arguments: the device root chosen on the command line (or by
// CE_DEVICE) and the streams to print on.
#pragma once

#include "argument_parser.h"
#include "outcome.h"

#include <ce/errors.h>
#include <ce/types.h>

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

  // useExistingDevice, then: the device's host must run, and this process talks to it as a tool.
  // A device that is not running fails alike for every verb that needs its host (exit 3, "the
  // device is not running").
  Outcome useRunningDevice(std::string_view verb) const;

  // How long the tool waits for the host to take a connection or answer a request:
  // CE_HOST_TIMEOUT_MS when it holds a whole number from 1 to 3600000, else kDefaultAnswerLimitMs.
  static constexpr int kDefaultAnswerLimitMs = 10000;
  static int answerLimitMs();

  // The failure of a request to the host, after HostConnection::call returned false: the host
  // did not answer within the limit, or went away (both exit 3).
  static Outcome hostFailed(std::string_view verb);
  // Whether a call's error says the host could not be reached (rather than that it refused).
  static bool unreachable(DWORD error) {
    return error == static_cast<DWORD>(ERROR_BROKEN_PIPE) ||
           error == static_cast<DWORD>(ERROR_TIMEOUT);
  }

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
