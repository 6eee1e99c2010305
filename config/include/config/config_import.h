// Loading a configuration file (".reg" text, see config_export.h) into HKEY_LOCAL_MACHINE.
#pragma once

#include <functional>
#include <istream>
#include <string_view>

// Asked once for every start-menu section of the file (keys under
// "security\shell\startinfo\start"): true applies its icon details, false leaves them as they
// are. The options program shows `question` under `title` in a two-answer message box.
using StartMenuQuestion =
    std::function<bool(std::u16string_view question, std::u16string_view title)>;

constexpr std::u16string_view LoadStartMenuQuestion =
    u"The reg file you are loading contains details of icons from a previous StartMenu...\r\n"
    u"Do you want to load them?";
constexpr std::u16string_view LoadStartMenuTitle = u"Load Saved StartMenu?";

// Applies every section of the file to HKEY_LOCAL_MACHINE, line by line:
// - A line containing "[HKEY_LOCAL_MACHINE" opens the key named between position 20 and the
//   first "]" (lowered to ASCII lower case), creating it when missing; a key line without such a
//   name leaves no key open and its value lines are ignored. A key that cannot be created ends
//   the import (false); what was applied before stays applied.
// - Value names are lowered too. Outside the start-menu tree every value line is applied; in a
//   start-menu section only "itemposition" (dword) and "name" (string), and only when `ask`
//   accepted the section. Without `ask` start-menu sections are declined.
// - "=dword:" takes the hexadecimal number after the line's last ":". "=hex:" takes the bytes
//   before each comma after the last ":" (the token after the last comma is the closing "00"),
//   at most 259 of them. A string is everything from after `"="` to the line's last character
//   (its closing quote), at most 259 characters.
// - A carriage return before the line feed is dropped first, and a last line without a line
//   feed is applied like any other. A line that is valid UTF-8 is read as UTF-8, any other line
//   through the device's ANSI code page. Lines longer than 64 KiB are ignored.
// `startPath`, when not empty, is a key opened as if the file began with its key line.
// True when the whole file was read.
bool importConfig(std::istream &in, std::u16string_view startPath, const StartMenuQuestion &ask);
