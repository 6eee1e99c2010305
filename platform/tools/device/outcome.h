// The result of a verb: an exit code and, for a failure, the one line that names the problem.
#pragma once

#include <ce/types.h>

#include <string>

namespace ce::tool {

class Outcome {
public:
  // Exit codes of the tool.
  static constexpr int kSuccess = 0;
  static constexpr int kNotFound = 1; // the thing asked for does not exist
  static constexpr int kRefused = 2;  // usage error or refused input; nothing was changed
  static constexpr int kFailed = 3;   // the host or the platform failed while doing it

  static Outcome success() { return Outcome(kSuccess, {}); }
  static Outcome notFound(std::string message) { return Outcome(kNotFound, std::move(message)); }
  // Exit 1 as well: the verb ran but did not get its way (a setup library cancelled, some files
  // could not be copied or removed).
  static Outcome unsuccessful(std::string message) {
    return Outcome(kNotFound, std::move(message));
  }
  static Outcome refused(std::string message) { return Outcome(kRefused, std::move(message)); }
  static Outcome failed(std::string message) { return Outcome(kFailed, std::move(message)); }
  // The verb asked for its own usage text (VERB --help).
  static Outcome usageRequested() { return Outcome(kSuccess, {}, true); }

  // Maps a platform error code about `subject` (a device path or registry key) to an outcome:
  // missing file, path or key -> not found; access denied and bad names -> refused; the rest
  // -> failed, with the code in the message.
  static Outcome fromPlatformError(DWORD error, const std::string &subject);

  bool ok() const { return exitCode_ == kSuccess; }
  int exitCode() const { return exitCode_; }
  const std::string &message() const { return message_; }
  bool wantsUsage() const { return wantsUsage_; }

private:
  Outcome(int exitCode, std::string message, bool wantsUsage = false)
      : exitCode_(exitCode), message_(std::move(message)), wantsUsage_(wantsUsage) {}

  int exitCode_;
  std::string message_;
  bool wantsUsage_;
};

} // namespace ce::tool
