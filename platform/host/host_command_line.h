// The device-host program's command line:
//
//   device-host [--window] [--zoom N] [--ready-fd FD] DEVICE_ROOT
//
// `device boot` starts the program with --ready-fd naming the write end of a pipe on which the
// host gives its BootAnswer. Without it the host runs in the foreground of whoever started it
// (Ctrl-C ends it as a shutdown does).
#pragma once

#include "host_options.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace ce::host {

struct HostCommandLine {
  std::filesystem::path root;
  HostOptions options;
  int readyFd = -1; // -1: no pipe to answer on

  // The command line, or nothing with `*error` saying what is wrong with it.
  static std::optional<HostCommandLine> parse(std::span<const std::string> args,
                                              std::string *error);
  static std::string usage();
};

} // namespace ce::host
