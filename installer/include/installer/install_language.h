// The language file chosen at installation, by the primary language of the device.
#pragma once

#include <ce/types.h>

#include <string_view>

// "lang.<name>.txt" for Arabic, German, Greek, Spanish, French, Italian, Polish, Romanian and
// Russian (by the low 8 bits of `language`); "lang.english.txt" for any other.
std::u16string_view languageFileFor(LANGID language);
