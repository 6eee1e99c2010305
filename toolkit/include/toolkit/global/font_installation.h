// Puts the two fonts that the toolkit draws with into \Windows, once per installation.
#pragma once

#include <ce/types.h>

#include <string_view>

class FontInstallation {
public:
  // `tolmarVersion` holds this once the fonts are in place: the low 32 bits of the double 1.53.
  static constexpr DWORD InstalledVersion = 1202590843u;

  // Unless the program key's `tolmarVersion` reads InstalledVersion: copies
  // "HelveticaNeue LT 35 Thin.ttf" from the resource directory to \Windows without replacing a
  // file already there, copies "Tahoma.ttf" over \Windows\Tahoma.ttf, and writes the version.
  // A failed copy is ignored. Returns whether the copies were made (false: already installed).
  static bool installIfNeeded(std::u16string_view applicationName,
                              std::u16string_view resourceDirectory);
};
