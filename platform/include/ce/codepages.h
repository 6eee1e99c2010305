// Conversions between the device's code pages and UTF-16.
//
// Supported code pages: CP_UTF8, CP_ACP and CP_OEMCP (both follow the device's language), and the
// Windows code pages of the device languages: 1250 Central European, 1251 Cyrillic, 1252 Western,
// 1253 Greek, 1256 Arabic. Any other code page fails with ERROR_INVALID_PARAMETER.
//
// Behaviour, as on the device:
// - A source length of -1 means zero-terminated; the result then counts the terminator.
// - An output size of 0 returns the size needed; an output buffer that is too small gives 0 and
//   ERROR_INSUFFICIENT_BUFFER (nothing is written to it in that case).
// - Every byte of the single-byte pages converts: bytes the page leaves undefined map to the
//   code points the device uses for them (U+0080-U+009F for the control range, U+F8F9-U+F8FB
//   for 0xAA, 0xD2 and 0xFF of 1253), and back again.
// - Wide characters a single-byte page cannot hold become defaultChar[0] (default '?') and set
//   *usedDefaultChar. No look-alike substitution is made (as if WC_NO_BEST_FIT_CHARS were always
//   given), so text never changes meaning silently; a surrogate pair is one character and
//   gives one default character.
// - Invalid UTF-8 becomes U+FFFD, one per maximal invalid subsequence; with MB_ERR_INVALID_CHARS
//   the call fails with ERROR_NO_UNICODE_TRANSLATION instead. Lone surrogates become U+FFFD in
//   UTF-8 output, or fail with WC_ERR_INVALID_CHARS. With CP_UTF8, defaultChar and
//   usedDefaultChar must be null (ERROR_INVALID_PARAMETER otherwise).
// - Flags outside those defined here fail with ERROR_INVALID_FLAGS.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_UTF8 65001u
#define MB_PRECOMPOSED 0x00000001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_ERR_INVALID_CHARS 0x00000080u
#define WC_NO_BEST_FIT_CHARS 0x00000400u

// CP_ACP follows the device's language (1252 for Western languages, 1250 Central European,
// 1251 Cyrillic, 1253 Greek, 1256 Arabic).
UINT GetACP(void);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR multiByte,
                        int multiByteLength, LPCSTR defaultChar, LPBOOL usedDefaultChar);

CE_EXTERN_C_END
