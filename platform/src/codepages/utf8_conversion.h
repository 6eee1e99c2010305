// Strict UTF-8 <-> UTF-16 conversion for the CP_UTF8 code page. Unlike the lenient host-boundary
// helpers in <ce/core/utf.h>, these report ill-formed input, so that MB_ERR_INVALID_CHARS and
// WC_ERR_INVALID_CHARS can fail, and replace it the way the device does: one U+FFFD per maximal
// ill-formed subsequence (a lead byte with the continuation bytes that were still valid).
#pragma once

#include <string>
#include <string_view>

namespace ce {

// Appends the UTF-16 form of `in` to `out`. Returns false at the first ill-formed sequence when
// `strict` is set (out is then incomplete); otherwise replaces it and returns true.
bool decodeUtf8(std::string_view in, bool strict, std::u16string &out);
// Appends the UTF-8 form of `in` to `out`. Lone surrogates fail when `strict` is set and become
// U+FFFD otherwise.
bool encodeUtf8(std::u16string_view in, bool strict, std::string &out);

} // namespace ce
