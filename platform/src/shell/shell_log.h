// Where the shell's pieces report what they did (the host's log, run/host.log, in the host).
#pragma once

#include <functional>
#include <string>

namespace ce::shell {

using ShellLog = std::function<void(const std::string &line)>;

} // namespace ce::shell
