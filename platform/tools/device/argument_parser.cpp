#include "argument_parser.h"

#include <algorithm>

namespace ce::tool {
namespace {

bool sameLetters(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

// "-12" is a negative number (a coordinate), not an option.
bool isNegativeNumber(std::string_view word) {
  return word.size() > 1 && word.front() == '-' &&
         std::all_of(word.begin() + 1, word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::optional<std::string> ArgumentParser::Parsed::value(const std::string &name) const {
  const auto it = options.find(name);
  if (it == options.end())
    return std::nullopt;
  return it->second;
}

ArgumentParser &ArgumentParser::flag(std::string name) {
  declared_.emplace_back(std::move(name), Kind::Flag);
  return *this;
}

ArgumentParser &ArgumentParser::option(std::string name) {
  declared_.emplace_back(std::move(name), Kind::Option);
  return *this;
}

ArgumentParser &ArgumentParser::positional(std::string name) {
  required_.push_back(std::move(name));
  return *this;
}

ArgumentParser &ArgumentParser::optionalPositional(std::string name) {
  optional_.push_back(std::move(name));
  return *this;
}

std::optional<std::pair<std::string, ArgumentParser::Kind>>
ArgumentParser::find(std::string_view word) const {
  for (const auto &entry : declared_) {
    const bool slash = !entry.first.empty() && entry.first.front() == '/';
    if (slash ? sameLetters(entry.first, word) : entry.first == word)
      return entry;
  }
  return std::nullopt;
}

std::optional<ArgumentParser::Parsed> ArgumentParser::parse(std::span<const std::string> args,
                                                            bool *help, std::string *error) const {
  Parsed parsed;
  *help = false;
  auto fail = [&](const std::string &message) -> std::optional<Parsed> {
    *error = message + " (see " + verb_ + " --help)";
    return std::nullopt;
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &word = args[i];
    if (!optionsEnded) {
      if (word == "--help" || word == "-h" || word == "/?") {
        *help = true;
        return parsed;
      }
      if (word == "--") {
        optionsEnded = true;
        continue;
      }
      if (const auto entry = find(word)) {
        const std::string &name = entry->first;
        if (parsed.has(name))
          return fail("option " + name + " given twice");
        if (entry->second == Kind::Flag) {
          parsed.flags.insert(name);
        } else {
          if (i + 1 >= args.size())
            return fail("option " + name + " needs a value");
          parsed.options[name] = args[++i];
        }
        continue;
      }
      if (word.size() > 1 && word.front() == '-' && !isNegativeNumber(word))
        return fail("unknown option " + word);
    }
    parsed.positionals.push_back(word);
  }
  const std::size_t count = parsed.positionals.size();
  if (count < required_.size())
    return fail("missing " + required_[count]);
  if (count > required_.size() + optional_.size())
    return fail("unexpected argument '" + parsed.positionals[required_.size() + optional_.size()] +
                "'");
  return parsed;
}

} // namespace ce::tool
