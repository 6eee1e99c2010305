// Registry value data as text on the terminal and the command line, per type.
#pragma once

#include <ce/types.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ce::tool {

class RegistryValueText {
public:
  // "REG_SZ", "REG_DWORD", ...; a type without a name prints as its number ("0x1234").
  static std::string typeName(DWORD type);
  // The types a value can be written with (REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY,
  // REG_DWORD, REG_MULTI_SZ), named in any case.
  static std::optional<DWORD> writableType(std::string_view name);

  // The data as the query prints it: REG_DWORD as 0x and lower-case hex, REG_SZ and
  // REG_EXPAND_SZ up to the first zero, REG_MULTI_SZ with its entries joined by \0, everything
  // else as upper-case hex digits. A REG_DWORD whose data is not 4 bytes long prints as hex
  // digits too, since it holds no number to show.
  static std::string format(DWORD type, std::span<const BYTE> data);

  // The bytes to store for `text` of `type`: REG_DWORD in decimal or 0x hex within 32 bits,
  // REG_BINARY and REG_NONE as an even count of hex digits, REG_SZ and REG_EXPAND_SZ with their
  // terminating zero, REG_MULTI_SZ with entries separated by \0 (no empty entry; one trailing
  // \0 is allowed) and the list's closing zeros. Nothing, with *error, when it does not parse.
  static std::optional<std::vector<BYTE>> parse(DWORD type, std::string_view text,
                                                std::string *error);
};

} // namespace ce::tool
