// Feeds arbitrary bytes through every code page to UTF-16 and back, and arbitrary UTF-16 units
// the other way, checking that sizes agree between the size query and the conversion and that
// the single-byte pages round-trip every byte.
#include <ce/codepages.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool condition) {
  if (!condition)
    std::abort();
}

void throughPage(UINT page, const char *bytes, int length, DWORD toWideFlags) {
  const int needed = MultiByteToWideChar(page, toWideFlags, bytes, length, nullptr, 0);
  if (needed == 0) {
    check(page == CP_UTF8 && (toWideFlags & MB_ERR_INVALID_CHARS));
    return;
  }
  std::u16string wide(static_cast<std::size_t>(needed), u'\0');
  check(MultiByteToWideChar(page, toWideFlags, bytes, length, wide.data(), needed) == needed);
  if (needed > 1) // one short must fail cleanly
    check(MultiByteToWideChar(page, toWideFlags, bytes, length, wide.data(), needed - 1) == 0);

  const bool utf8 = page == CP_UTF8;
  BOOL used = FALSE;
  BOOL *usedOut = utf8 ? nullptr : &used;
  const int back = WideCharToMultiByte(page, 0, wide.data(), needed, nullptr, 0, nullptr, usedOut);
  check(back > 0);
  std::string bytesBack(static_cast<std::size_t>(back), '\0');
  check(WideCharToMultiByte(page, 0, wide.data(), needed, bytesBack.data(), back, nullptr,
                            usedOut) == back);
  if (!utf8) {
    check(needed == length && back == length && !used);
    check(std::memcmp(bytesBack.data(), bytes, static_cast<std::size_t>(length)) == 0);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0 || size > 1 << 16)
    return 0;
  const auto *bytes = reinterpret_cast<const char *>(data);
  const int length = static_cast<int>(size);
  for (UINT page : {1250u, 1251u, 1252u, 1253u, 1256u, unsigned(CP_UTF8), unsigned(CP_ACP)}) {
    throughPage(page, bytes, length, 0);
    throughPage(page, bytes, length, MB_ERR_INVALID_CHARS);
  }
  // The same bytes read as UTF-16 units, lone surrogates and all.
  std::u16string units(size / 2, u'\0');
  std::memcpy(units.data(), data, units.size() * 2);
  if (units.empty())
    return 0;
  const int unitCount = static_cast<int>(units.size());
  for (UINT page : {1250u, 1251u, 1252u, 1253u, 1256u, unsigned(CP_UTF8)}) {
    for (DWORD flags : {0u, unsigned(WC_ERR_INVALID_CHARS)}) {
      if (page != CP_UTF8 && flags)
        continue;
      const int needed =
          WideCharToMultiByte(page, flags, units.data(), unitCount, nullptr, 0, nullptr, nullptr);
      if (needed == 0) {
        check(flags == WC_ERR_INVALID_CHARS);
        continue;
      }
      std::string out(static_cast<std::size_t>(needed), '\0');
      check(WideCharToMultiByte(page, flags, units.data(), unitCount, out.data(), needed, nullptr,
                                nullptr) == needed);
      // UTF-8 output decodes strictly; a single-byte page gives one byte per character.
      if (page == CP_UTF8)
        check(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, out.data(), needed, nullptr, 0) >
              0);
      else
        check(needed <= unitCount);
    }
  }
  return 0;
}
