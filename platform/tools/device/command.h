// A verb group of the device tool. A new verb is one class deriving from Command plus one entry
// in the verb table (verb_table.cpp).
#pragma once

#include "outcome.h"
#include "tool_context.h"

#include <span>
#include <string>
#include <string_view>

namespace ce::tool {

class Command {
public:
  virtual ~Command() = default;

  // Runs `verb` (the name the class was registered under, for classes that serve several) with
  // the arguments that follow it. Validates all arguments before touching the device.
  virtual Outcome run(std::string_view verb, std::span<const std::string> args,
                      const ToolContext &context) = 0;
};

} // namespace ce::tool
