#include "reg_command.h"

#include "argument_parser.h"
#include "command_line_text.h"
#include "registry_key_path.h"
#include "registry_value_text.h"

#include <ce/core/printable_text.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace ce::tool {
namespace {

// Closes an open key when it goes out of scope.
struct OpenKey {
  HKEY key = nullptr;
  ~OpenKey() {
    if (key)
      RegCloseKey(key);
  }
};

// Growing buffers for enumeration stop here, so that a misbehaving size report cannot make the
// tool allocate without end.
constexpr DWORD kMaxBufferSize = 1u << 24;

std::string valueLabel(std::u16string_view name) {
  return name.empty() ? std::string("(Default)") : toUtf8(name);
}

// Asks on the terminal whether to go on. Without a terminal there is nobody to ask, so the
// answer is no and the caller tells the user about /f.
bool confirmed(const std::string &question) {
  if (!isatty(STDIN_FILENO))
    return false;
  std::cerr << question << " (Yes/No)? " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer))
    return false;
  return !answer.empty() && (answer.front() == 'y' || answer.front() == 'Y');
}

// The value name chosen by /v NAME or /ve (empty: the default value); nothing when neither.
Outcome valueName(const ArgumentParser::Parsed &parsed, std::optional<std::u16string> *name) {
  const auto v = parsed.value("/v");
  if (v && parsed.has("/ve"))
    return Outcome::refused("give /v NAME or /ve, not both");
  if (parsed.has("/ve")) {
    *name = std::u16string();
  } else if (v) {
    *name = CommandLineText::toDevice(*v);
    if (!*name)
      return Outcome::refused("value name is not valid UTF-8");
  }
  return Outcome::success();
}

Outcome parseKeyAndOptions(ArgumentParser &parser, std::span<const std::string> args,
                           ArgumentParser::Parsed *parsed, RegistryKeyPath *key) {
  Outcome stop = Outcome::success();
  auto result = ToolContext::parse(parser, args, &stop);
  if (!result)
    return stop;
  std::string error;
  auto path = RegistryKeyPath::parse(result->positionals.front(), &error);
  if (!path)
    return Outcome::refused(error);
  *parsed = std::move(*result);
  *key = std::move(*path);
  return Outcome::success();
}

LONG readValue(HKEY key, const std::u16string &name, DWORD *type, std::vector<BYTE> *data) {
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size);
  for (int attempt = 0; status == ERROR_SUCCESS || status == ERROR_MORE_DATA; ++attempt) {
    if (size > kMaxBufferSize || attempt > 8)
      return ERROR_MORE_DATA;
    data->assign(size, 0);
    DWORD got = size;
    status = RegQueryValueExW(key, name.c_str(), nullptr, type, data->data(), &got);
    if (status == ERROR_SUCCESS) {
      data->resize(std::min<DWORD>(got, size));
      return status;
    }
    size = std::max(got, size * 2 + 16); // another process may have grown it meanwhile
  }
  return status;
}

bool valueExists(const RegistryKeyPath &path, const std::u16string &name) {
  OpenKey open;
  if (RegOpenKeyExW(path.root(), path.subKey().c_str(), 0, KEY_READ, &open.key) != ERROR_SUCCESS)
    return false;
  return RegQueryValueExW(open.key, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

Outcome printValues(HKEY key, const std::string &keyName, std::ostream &out) {
  std::u16string name(256, u'\0');
  std::vector<BYTE> data(1024);
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG status =
        RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS)
      return Outcome::success();
    if (status == ERROR_MORE_DATA) {
      if (name.size() >= kMaxBufferSize || data.size() >= kMaxBufferSize)
        return Outcome::failed(keyName + ": a value is too large to show");
      name.resize(name.size() * 2);
      data.resize(std::max<std::size_t>(data.size() * 2, dataSize));
      continue;
    }
    if (status != ERROR_SUCCESS)
      return Outcome::fromPlatformError(static_cast<DWORD>(status), keyName);
    const std::u16string_view valueName(name.data(),
                                        std::min<std::size_t>(nameLength, name.size()));
    const std::span<const BYTE> bytes(data.data(), std::min<std::size_t>(dataSize, data.size()));
    out << printable("    " + valueLabel(valueName) + "    " + RegistryValueText::typeName(type) +
                     "    " + RegistryValueText::format(type, bytes))
        << '\n';
    ++index;
  }
}

Outcome printSubkeys(HKEY key, const RegistryKeyPath &path, std::ostream &out) {
  std::u16string name(256, u'\0');
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    const LONG status =
        RegEnumKeyExW(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS)
      return Outcome::success();
    if (status == ERROR_MORE_DATA) {
      if (name.size() >= kMaxBufferSize)
        return Outcome::failed(path.display() + ": name too long");
      name.resize(name.size() * 2);
      continue;
    }
    if (status != ERROR_SUCCESS)
      return Outcome::fromPlatformError(static_cast<DWORD>(status), path.display());
    out << printable(path.child(std::u16string_view(name.data(),
                                                    std::min<std::size_t>(nameLength, name.size())))
                         .display())
        << '\n';
    ++index;
  }
}

} // namespace

std::string RegCommand::usage(std::string_view) {
  return "usage: device reg query KEY [/v NAME | /ve]\n"
         "       device reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
         "       device reg delete KEY [/v NAME | /ve] [/f]\n"
         "\n"
         "KEY begins with HKLM\\, HKCU\\, HKCR\\, HKU\\ or a long root name "
         "(HKEY_LOCAL_MACHINE\\...).\n"
         "\n"
         "query   prints the key's full path, then one line per value (name, type, data), then\n"
         "        the full path of each subkey; with /v NAME or /ve only that value.\n"
         "add     creates the key; with /v NAME or /ve also writes the value.\n"
         "          /t TYPE  REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, "
         "REG_BINARY,\n"
         "                   REG_NONE\n"
         "          /d DATA  REG_DWORD: decimal or 0x hex within 32 bits; REG_BINARY, REG_NONE:\n"
         "                   hex digits, even count; REG_MULTI_SZ: entries separated by \\0;\n"
         "                   text types: the text (stored with its terminating zero)\n"
         "delete  deletes the key with all its subkeys, or with /v NAME or /ve only that value.\n"
         "\n"
         "/f overwrites or deletes without asking. Without /f the tool asks on a terminal and\n"
         "refuses when there is no terminal to ask.\n";
}

Outcome RegCommand::run(std::string_view, std::span<const std::string> args,
                        const ToolContext &context) {
  if (args.empty())
    return Outcome::refused("missing query, add or delete (see device reg --help)");
  const std::string &action = args.front();
  if (action == "--help" || action == "-h" || action == "/?")
    return Outcome::usageRequested();
  if (action == "query")
    return query(args.subspan(1), context);
  if (action == "add")
    return add(args.subspan(1), context);
  if (action == "delete")
    return remove(args.subspan(1), context);
  return Outcome::refused("unknown action '" + action +
                          "', expected query, add or delete (see device reg --help)");
}

Outcome RegCommand::query(std::span<const std::string> args, const ToolContext &context) {
  ArgumentParser parser("device reg query");
  parser.positional("KEY").option("/v").flag("/ve");
  ArgumentParser::Parsed parsed;
  RegistryKeyPath path;
  if (auto outcome = parseKeyAndOptions(parser, args, &parsed, &path);
      !outcome.ok() || outcome.wantsUsage())
    return outcome;
  std::optional<std::u16string> name;
  if (auto outcome = valueName(parsed, &name); !outcome.ok())
    return outcome;
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;

  OpenKey open;
  const LONG status = RegOpenKeyExW(path.root(), path.subKey().c_str(), 0, KEY_READ, &open.key);
  if (status != ERROR_SUCCESS)
    return Outcome::fromPlatformError(static_cast<DWORD>(status), "key " + path.display());

  // Everything goes to a buffer first, so that a failure halfway prints no partial listing.
  std::ostringstream listing;
  listing << printable(path.display()) << '\n';
  if (name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    const LONG read = readValue(open.key, *name, &type, &data);
    if (read != ERROR_SUCCESS)
      return Outcome::fromPlatformError(static_cast<DWORD>(read),
                                        "value " + valueLabel(*name) + " of " + path.display());
    listing << printable("    " + valueLabel(*name) + "    " + RegistryValueText::typeName(type) +
                         "    " + RegistryValueText::format(type, data))
            << '\n';
  } else {
    if (auto outcome = printValues(open.key, path.display(), listing); !outcome.ok())
      return outcome;
    if (auto outcome = printSubkeys(open.key, path, listing); !outcome.ok())
      return outcome;
  }
  context.out() << listing.str();
  return Outcome::success();
}

Outcome RegCommand::add(std::span<const std::string> args, const ToolContext &context) {
  ArgumentParser parser("device reg add");
  parser.positional("KEY").option("/v").flag("/ve").option("/t").option("/d").flag("/f");
  ArgumentParser::Parsed parsed;
  RegistryKeyPath path;
  if (auto outcome = parseKeyAndOptions(parser, args, &parsed, &path);
      !outcome.ok() || outcome.wantsUsage())
    return outcome;
  std::optional<std::u16string> name;
  if (auto outcome = valueName(parsed, &name); !outcome.ok())
    return outcome;
  if (!name && (parsed.has("/t") || parsed.has("/d")))
    return Outcome::refused("/t and /d need /v NAME or /ve");

  DWORD type = REG_SZ;
  if (const auto typeText = parsed.value("/t")) {
    const auto known = RegistryValueText::writableType(*typeText);
    if (!known)
      return Outcome::refused("unknown type '" + *typeText +
                              "' (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY, "
                              "REG_NONE)");
    type = *known;
  }
  std::vector<BYTE> data;
  if (name) {
    const auto text = parsed.value("/d");
    if (!text && type == REG_DWORD)
      return Outcome::refused("a REG_DWORD value needs /d DATA");
    std::string error;
    auto bytes = RegistryValueText::parse(type, text.value_or(""), &error);
    if (!bytes)
      return Outcome::refused(error);
    data = std::move(*bytes);
  }
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;

  if (name && !parsed.has("/f") && valueExists(path, *name) &&
      !confirmed("Value " + valueLabel(*name) + " exists in " + path.display() + ", overwrite it"))
    return Outcome::refused("value " + valueLabel(*name) + " of " + path.display() +
                            " exists; use /f to overwrite it");

  OpenKey open;
  LONG status =
      RegCreateKeyExW(path.root(), path.subKey().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &open.key, nullptr);
  if (status != ERROR_SUCCESS)
    return Outcome::fromPlatformError(static_cast<DWORD>(status), "key " + path.display());
  if (name) {
    status = RegSetValueExW(open.key, name->c_str(), 0, type, data.data(),
                            static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS)
      return Outcome::fromPlatformError(static_cast<DWORD>(status),
                                        "value " + valueLabel(*name) + " of " + path.display());
  }
  return Outcome::success();
}

Outcome RegCommand::remove(std::span<const std::string> args, const ToolContext &context) {
  ArgumentParser parser("device reg delete");
  parser.positional("KEY").option("/v").flag("/ve").flag("/f");
  ArgumentParser::Parsed parsed;
  RegistryKeyPath path;
  if (auto outcome = parseKeyAndOptions(parser, args, &parsed, &path);
      !outcome.ok() || outcome.wantsUsage())
    return outcome;
  std::optional<std::u16string> name;
  if (auto outcome = valueName(parsed, &name); !outcome.ok())
    return outcome;
  if (!name && path.isRoot())
    return Outcome::refused("the root key " + path.display() + " cannot be deleted");
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;

  OpenKey open;
  LONG status = RegOpenKeyExW(path.root(), path.subKey().c_str(), 0, KEY_ALL_ACCESS, &open.key);
  if (status != ERROR_SUCCESS)
    return Outcome::fromPlatformError(static_cast<DWORD>(status), "key " + path.display());
  const bool force = parsed.has("/f");

  if (name) {
    const std::string subject = "value " + valueLabel(*name) + " of " + path.display();
    status = RegQueryValueExW(open.key, name->c_str(), nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
      return Outcome::fromPlatformError(static_cast<DWORD>(status), subject);
    if (!force && !confirmed("Delete the " + subject))
      return Outcome::refused("not deleting the " + subject + "; use /f to delete without asking");
    status = RegDeleteValueW(open.key, name->c_str());
    if (status != ERROR_SUCCESS)
      return Outcome::fromPlatformError(static_cast<DWORD>(status), subject);
    return Outcome::success();
  }

  RegCloseKey(open.key);
  open.key = nullptr;
  const std::string subject = "key " + path.display();
  if (!force && !confirmed("Delete the " + subject + " and all its subkeys"))
    return Outcome::refused("not deleting the " + subject + "; use /f to delete without asking");
  status = RegDeleteKeyW(path.root(), path.subKey().c_str());
  if (status != ERROR_SUCCESS)
    return Outcome::fromPlatformError(static_cast<DWORD>(status), subject);
  return Outcome::success();
}

} // namespace ce::tool
