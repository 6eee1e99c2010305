#include "host_command_line.h"

#include <charconv>
#include <climits>
#include <string_view>

namespace ce::host {
namespace {

// A whole number from `low` to `high`, the whole of `text`.
std::optional<int> wholeNumber(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
      value > high)
    return std::nullopt;
  return value;
}

} // namespace

std::optional<HostCommandLine> HostCommandLine::parse(std::span<const std::string> args,
                                                      std::string *error) {
  HostCommandLine line;
  bool rootGiven = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &word = args[i];
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && word == "--window") {
      line.options.window = true;
    } else if (!optionsEnded && (word == "--zoom" || word == "--ready-fd")) {
      if (i + 1 >= args.size()) {
        *error = word + " needs a value";
        return std::nullopt;
      }
      const std::string &value = args[++i];
      if (word == "--zoom") {
        const auto zoom = wholeNumber(value, 1, 8);
        if (!zoom) {
          *error = "--zoom takes a whole number from 1 to 8";
          return std::nullopt;
        }
        line.options.zoom = *zoom;
      } else {
        const auto fd = wholeNumber(value, 0, INT_MAX);
        if (!fd) {
          *error = "--ready-fd takes a file descriptor number";
          return std::nullopt;
        }
        line.readyFd = *fd;
      }
    } else if (!optionsEnded && word.size() > 1 && word[0] == '-') {
      *error = "unknown option " + word;
      return std::nullopt;
    } else if (rootGiven) {
      *error = "more than one device root given";
      return std::nullopt;
    } else if (word.empty()) {
      *error = "the device root is an empty path";
      return std::nullopt;
    } else {
      line.root = word;
      rootGiven = true;
    }
  }
  if (!rootGiven) {
    *error = "no device root given";
    return std::nullopt;
  }
  return line;
}

std::string HostCommandLine::usage() {
  return "usage: device-host [--window] [--zoom N] [--ready-fd FD] DEVICE_ROOT\n"
         "\n"
         "Runs the host of the device at DEVICE_ROOT until it is shut down ('device shutdown',\n"
         "SIGTERM or Ctrl-C). 'device boot' starts it in the background.\n"
         "\n"
         "  --window     show the screen in a desktop window as well\n"
         "  --zoom N     pixels of the window per device pixel, 1 to 8 (default 1)\n"
         "  --ready-fd FD  write the boot answer to descriptor FD and close it\n";
}

} // namespace ce::host
