// The device tool's front: global options, help, and dispatch to the verb's class.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace ce::tool {

class DeviceTool {
public:
  // Runs the tool on the arguments after the program name and returns the exit code. Failures
  // print one line on `err`; nothing escapes as an exception.
  static int run(std::span<const std::string> args, std::ostream &out, std::ostream &err);

  static std::string usage();
};

} // namespace ce::tool
