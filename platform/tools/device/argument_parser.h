// A small declarative parser for a verb's arguments: flags, options with one value, and
// positional arguments, in both the "--name" style and the "/name" style of the registry tool.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ce::tool {

class ArgumentParser {
public:
  struct Parsed {
    std::set<std::string> flags;
    std::map<std::string, std::string> options;
    std::vector<std::string> positionals;

    bool has(const std::string &name) const {
      return flags.count(name) != 0 || options.count(name) != 0;
    }
    std::optional<std::string> value(const std::string &name) const;
  };

  // `verb` names the command in messages ("device reg add").
  explicit ArgumentParser(std::string verb) : verb_(std::move(verb)) {}

  // Names starting with "/" match without regard to case ("/V" is "/v"); others exactly.
  ArgumentParser &flag(std::string name);
  ArgumentParser &option(std::string name);
  // Positional arguments in order; the optional ones must come last.
  ArgumentParser &positional(std::string name);
  ArgumentParser &optionalPositional(std::string name);

  // Parses `args`. "--help", "-h" and "/?" (where no option value is expected) set *help and
  // stop. "--" ends the options. A word starting with "-" that is not declared is an error; a
  // word starting with "/" that is not declared is a positional (device paths may start with
  // "/"). Repeated options, missing values and a wrong count of positionals are errors, with a
  // one-line message in *error.
  std::optional<Parsed> parse(std::span<const std::string> args, bool *help,
                              std::string *error) const;

private:
  enum class Kind { Flag, Option };
  std::optional<std::pair<std::string, Kind>> find(std::string_view word) const;

  std::string verb_;
  std::vector<std::pair<std::string, Kind>> declared_;
  std::vector<std::string> required_;
  std::vector<std::string> optional_;
};

} // namespace ce::tool
