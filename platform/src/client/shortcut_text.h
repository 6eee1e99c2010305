// The device's shortcut (.lnk) text: "N#target arguments", where N counts the characters after
// the '#'. The target may be in double quotes (then the arguments follow the closing quote);
// unquoted, it ends after ".exe" when that is followed by a space, otherwise at the end of the
// text. A '?' starts an icon override that is not part of the command ("23#\Windows\app.exe?
// \Windows\ceshell.dll,-5"). The count is not checked against the text: devices accept
// shortcuts whose count is off. Line ends and spaces around the command are dropped.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ce {

class ShortcutText {
public:
  struct Command {
    std::u16string target;
    std::u16string arguments;
  };

  // The command of a shortcut's text; nothing when it is not a shortcut (no count, no '#', an
  // empty target, an unclosed quote).
  static std::optional<Command> parse(std::u16string_view text);
  // Decodes a shortcut file's bytes: UTF-16 with its byte-order mark, UTF-8 (with or without
  // one), or, failing that, single-byte Latin-1.
  static std::u16string decode(std::string_view bytes);
};

} // namespace ce
