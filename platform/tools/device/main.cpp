// The device command-line tool: drives a device root from the host.
#include "device_tool.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return ce::tool::DeviceTool::run(args, std::cout, std::cerr);
}
