// Writing registry keys to a configuration file (".reg" text).
#pragma once

#include <ce/types.h>

#include <ostream>
#include <string_view>

// The file is 8-bit text with lines ending in a single line feed. It starts with the header
// line, then holds one section per key: an empty line, the key line
// "[HKEY_LOCAL_MACHINE\<path>]" (the path relative to HKEY_LOCAL_MACHINE, ending in a
// backslash) and one line per value:
//     "name"="text"          REG_SZ, text up to its first zero, nothing escaped
//     "name"=dword:ffffff    REG_DWORD, lower-case hexadecimal without leading zeros
//     "name"=hex:1,ab,00     REG_BINARY, each byte and a comma, then a closing "00" that is
//                            not a data byte
// Values of other types are not written. Names, paths and texts outside ASCII are written as
// UTF-8.
constexpr std::string_view ConfigFileHeader = "Windows Registry Editor Version 5.00";

// Writes the section of `path` (a key below `root`, with trailing backslash), then the sections
// of all its subkeys depth-first, in the registry's enumeration order. Binary values are
// written only for the key itself, and only when `withBinary` is set; subkeys never carry them.
// A key that cannot be opened gives its key line only. Each value gets room for a name of 260
// characters and data of 520 bytes (a string of 259 characters); a value that does not fit is
// left out and the values after it are still written. True when the stream took every byte.
bool exportKey(HKEY root, std::ostream &out, std::u16string_view path, bool withBinary);
