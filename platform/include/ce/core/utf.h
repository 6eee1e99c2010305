// Conversions between the platform's UTF-16 text and UTF-8 at the host boundary.
#pragma once

#include <ce/export.h>

#include <string>
#include <string_view>

CE_EXPORT_BEGIN

namespace ce {

// Ill-formed input (lone surrogates, bad UTF-8 sequences) becomes U+FFFD; nothing is dropped
// silently and nothing throws.
std::string toUtf8(std::u16string_view text);
std::u16string toUtf16(std::string_view text);

// Length of a zero-terminated UTF-16 string; 0 for a null pointer.
std::size_t wideLength(const char16_t* text);

// ASCII-only lower case (A-Z), for formats that lower ASCII letters only.
char16_t asciiLower(char16_t c);
std::u16string asciiLower(std::u16string_view text);

// Case folding used to compare registry and file names: ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic capitals fold to their small letters; other units compare as they are.
char16_t foldCase(char16_t c);
std::u16string foldCase(std::u16string_view text);
bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b);

} // namespace ce
CE_EXPORT_END
