// Which Windows code page serves as the ANSI code page for a language.
#pragma once

#include <ce/types.h>

namespace ce {

// By primary language: Central European languages 1250, Cyrillic 1251, Greek 1253, Arabic script
// 1256, everything else (English, French, German, Italian, Spanish, ...) 1252.
UINT ansiCodePageForLanguage(LANGID language);

} // namespace ce
