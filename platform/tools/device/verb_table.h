// The verbs of the device tool: name, one-line summary, usage text and the class that runs it.
#pragma once

#include "command.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace ce::tool {

struct VerbEntry {
  const char *name;
  const char *summary;                         // one line in "device --help"
  std::string (*usage)(std::string_view verb); // the text of "device VERB --help"
  std::unique_ptr<Command> (*make)();
};

std::span<const VerbEntry> verbTable();
const VerbEntry *findVerb(std::string_view name);

} // namespace ce::tool
