// The command of a shortcut file (.lnk). The device's shortcut is one line of text,
// "<count>#<command>", where the command is a program path with its arguments and may be
// followed by "?" and an icon reference that is not part of it. The count is not checked: devices
// accept shortcuts whose count is off.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class ShortcutFile {
public:
  // The command of the shortcut at the device path `path` (read with the toolkit's text
  // readers, any encoding they detect); nothing when the file cannot be read or holds no
  // shortcut.
  static std::optional<std::u16string> readCommand(std::u16string_view path);
  // The command of a shortcut's text: spaces around it dropped, without the icon reference;
  // nothing without a count and "#" or with an empty command.
  static std::optional<std::u16string> commandOf(std::u16string_view text);
};
