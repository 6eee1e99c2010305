#include "device_tool.h"

#include "verb_table.h"

#include "../../src/client/host_connection.h"

#include <ce/core/printable_text.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <ostream>

namespace ce::tool {
namespace {

// One line on standard error, "WHO: message"; a message that already names who (as messages made
// for the verb do) is not prefixed twice.
int report(const Outcome &outcome, std::ostream &err, const std::string &who = "device") {
  const std::string &message = outcome.message();
  if (message.empty())
    return outcome.exitCode();
  const std::string prefix = who + ": ";
  if (message.rfind(prefix, 0) == 0)
    err << printable(message) << '\n';
  else
    err << prefix << printable(message) << '\n';
  return outcome.exitCode();
}

int dispatch(std::span<const std::string> args, std::ostream &out, std::ostream &err) {
  std::optional<std::filesystem::path> root;
  if (const char *env = std::getenv("CE_DEVICE"); env && *env)
    root = env;

  std::size_t i = 0;
  for (; i < args.size() && args[i].size() > 1 && args[i].front() == '-'; ++i) {
    const std::string &word = args[i];
    if (word == "--help" || word == "-h") {
      out << DeviceTool::usage();
      return Outcome::kSuccess;
    }
    if (word == "--device") {
      if (i + 1 >= args.size() || args[i + 1].empty())
        return report(Outcome::refused("--device needs a folder"), err);
      root = args[++i];
    } else if (word.rfind("--device=", 0) == 0 && word.size() > 9) {
      root = word.substr(9);
    } else {
      return report(Outcome::refused("unknown option " + word + " (see device --help)"), err);
    }
  }
  if (i >= args.size())
    return report(Outcome::refused("missing verb (see device --help)"), err);
  const std::string &verb = args[i];
  if (verb == "help") {
    const VerbEntry *entry = i + 1 < args.size() ? findVerb(args[i + 1]) : nullptr;
    out << (entry ? entry->usage(entry->name) : DeviceTool::usage());
    return Outcome::kSuccess;
  }
  const VerbEntry *entry = findVerb(verb);
  if (!entry)
    return report(Outcome::refused("unknown verb '" + verb + "' (see device --help)"), err);

  ToolContext context(root, out);
  // Whatever the host does, no verb waits for it without end.
  HostConnection::instance().setAnswerLimit(ToolContext::answerLimitMs());
  const auto command = entry->make();
  const Outcome outcome = command->run(entry->name, args.subspan(i + 1), context);
  if (outcome.wantsUsage()) {
    out << entry->usage(entry->name);
    return Outcome::kSuccess;
  }
  out.flush();
  return report(outcome, err, "device " + verb);
}

} // namespace

int DeviceTool::run(std::span<const std::string> args, std::ostream &out, std::ostream &err) {
  try {
    return dispatch(args, out, err);
  } catch (const std::exception &e) {
    err << "device: internal error: " << e.what() << '\n';
  } catch (...) {
    err << "device: internal error\n";
  }
  return Outcome::kFailed;
}

std::string DeviceTool::usage() {
  std::string text =
      "usage: device [--device DIR] VERB [ARGUMENTS...]\n"
      "\n"
      "Drives a simulated device kept in the host folder DIR (default: $CE_DEVICE).\n"
      "\n"
      "verbs:\n";
  std::size_t column = 0; // the longest verb and two spaces
  for (const auto &entry : verbTable())
    column = std::max(column, std::string(entry.name).size() + 2);
  for (const auto &entry : verbTable()) {
    std::string name = entry.name;
    name.resize(column, ' ');
    text += "  " + name + entry.summary + "\n";
  }
  text += "\n"
          "'device VERB --help' describes a verb.\n"
          "exit codes: 0 success, 1 the thing asked for does not exist, 2 usage error or refused\n"
          "input (nothing changed), 3 the host or the device failed while doing it: the device\n"
          "is not running, or its host did not answer within 10 s (CE_HOST_TIMEOUT_MS).\n";
  return text;
}

} // namespace ce::tool
