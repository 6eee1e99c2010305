// MultiByteToWideChar, WideCharToMultiByte and GetACP over the single-byte tables and the strict
// UTF-8 codec.
#include "codepages/language_code_page.h"
#include "codepages/single_byte_code_page.h"
#include "codepages/utf8_conversion.h"

#include <ce/codepages.h>
#include <ce/core/device_profile.h>
#include <ce/errors.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr DWORD singleByteToWideFlags =
    MB_PRECOMPOSED | 0x2 /* composite */ | 0x4 /* glyph chars */ | MB_ERR_INVALID_CHARS;
constexpr DWORD utf8ToWideFlags = MB_PRECOMPOSED | MB_ERR_INVALID_CHARS;
constexpr DWORD wideToSingleByteFlags = WC_NO_BEST_FIT_CHARS | 0x200 /* composite check */ |
                                        0x10 /* discard non-spacing */ | 0x20 /* separate */ |
                                        0x40 /* default char */;
constexpr DWORD wideToUtf8Flags = WC_ERR_INVALID_CHARS | WC_NO_BEST_FIT_CHARS;

int fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// CP_ACP and CP_OEMCP become the device's page; 0 for a page that is not supported.
UINT resolve(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_OEMCP)
    return GetACP();
  return codePage;
}

// Copies a finished conversion into the caller's buffer under the size rules shared by both
// directions: size 0 asks for the length, a short buffer fails untouched.
template <class Char> int deliver(const std::basic_string<Char> &result, Char *out, int outSize) {
  if (result.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return fail(ERROR_NOT_ENOUGH_MEMORY);
  const int length = static_cast<int>(result.size());
  if (outSize == 0)
    return length;
  if (length > outSize)
    return fail(ERROR_INSUFFICIENT_BUFFER);
  std::copy(result.begin(), result.end(), out);
  return length;
}

} // namespace

UINT GetACP() { return ce::ansiCodePageForLanguage(ce::DeviceProfile::current().language); }

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength) {
  if (!multiByte || multiByteLength == 0 || multiByteLength < -1 || wideLength < 0 ||
      (!wide && wideLength != 0))
    return fail(ERROR_INVALID_PARAMETER);
  codePage = resolve(codePage);
  const std::size_t length = multiByteLength == -1 ? std::strlen(multiByte) + 1
                                                   : static_cast<std::size_t>(multiByteLength);
  const std::string_view in(multiByte, length);
  std::u16string out;
  try {
    out.reserve(length);
    if (codePage == CP_UTF8) {
      if (flags & ~utf8ToWideFlags)
        return fail(ERROR_INVALID_FLAGS);
      if (!ce::decodeUtf8(in, (flags & MB_ERR_INVALID_CHARS) != 0, out))
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    } else {
      const auto *page = ce::SingleByteCodePage::find(codePage);
      if (!page)
        return fail(ERROR_INVALID_PARAMETER);
      if (flags & ~singleByteToWideFlags)
        return fail(ERROR_INVALID_FLAGS);
      for (const char c : in)
        out.push_back(page->toWide(static_cast<unsigned char>(c)));
    }
  } catch (const std::bad_alloc &) {
    return fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  return deliver(out, wide, wideLength);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR multiByte,
                        int multiByteLength, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (!wide || wideLength == 0 || wideLength < -1 || multiByteLength < 0 ||
      (!multiByte && multiByteLength != 0))
    return fail(ERROR_INVALID_PARAMETER);
  codePage = resolve(codePage);
  const std::size_t length = wideLength == -1 ? std::char_traits<char16_t>::length(wide) + 1
                                              : static_cast<std::size_t>(wideLength);
  const std::u16string_view in(wide, length);
  std::string out;
  try {
    out.reserve(length);
    if (codePage == CP_UTF8) {
      if (defaultChar || usedDefaultChar)
        return fail(ERROR_INVALID_PARAMETER);
      if (flags & ~wideToUtf8Flags)
        return fail(ERROR_INVALID_FLAGS);
      if (!ce::encodeUtf8(in, (flags & WC_ERR_INVALID_CHARS) != 0, out))
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    } else {
      const auto *page = ce::SingleByteCodePage::find(codePage);
      if (!page)
        return fail(ERROR_INVALID_PARAMETER);
      if (flags & ~wideToSingleByteFlags)
        return fail(ERROR_INVALID_FLAGS);
      const char substitute = defaultChar ? defaultChar[0] : '?';
      bool substituted = false;
      for (std::size_t i = 0; i < in.size(); ++i) {
        const int byte = page->toByte(in[i]);
        if (byte >= 0) {
          out.push_back(static_cast<char>(byte));
          continue;
        }
        // A surrogate pair is one character the page cannot hold: one substitute for both.
        if (in[i] >= 0xD800 && in[i] <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
            in[i + 1] <= 0xDFFF)
          ++i;
        out.push_back(substitute);
        substituted = true;
      }
      if (usedDefaultChar)
        *usedDefaultChar = substituted ? TRUE : FALSE;
    }
  } catch (const std::bad_alloc &) {
    return fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  return deliver(out, multiByte, multiByteLength);
}
