// One of the device's single-byte Windows code pages as a pair of tables: byte -> UTF-16 unit and
// UTF-16 unit -> byte. The tables come from the host's iconv once per page and are immutable
// afterwards, so conversions need no lock and never touch an iconv descriptor.
#pragma once

#include <ce/types.h>

#include <array>
#include <utility>
#include <vector>

namespace ce {

class SingleByteCodePage {
public:
  // The page with this number (1250, 1251, 1252, 1253, 1256), built on first use; null for any
  // other number or when the host's iconv lacks the page. Safe from any thread.
  static const SingleByteCodePage *find(UINT codePage);

  UINT number() const { return number_; }
  char16_t toWide(unsigned char byte) const { return toWide_[byte]; }
  // The byte that stands for the unit, or -1 when the page has no such character.
  int toByte(char16_t unit) const;

private:
  explicit SingleByteCodePage(UINT number) : number_(number) {}
  bool load();

  UINT number_;
  std::array<char16_t, 256> toWide_{};
  // (unit, byte) for every byte, sorted by unit, for a binary search.
  std::vector<std::pair<char16_t, unsigned char>> byUnit_;
};

} // namespace ce
