// The dark grey that a snapshot background turns each pixel into.
#pragma once

#include <cstdint>

// A 5-5-5 pixel becomes the grey g * 0x421 with g = (green + blue) / 5 (red ignored), at most
// level 12 of 31: a white pixel 0xFFFF becomes 0x318C.
constexpr std::uint16_t snapshotGrey(std::uint16_t pixel) {
  const unsigned level = (((pixel >> 5) & 31u) + (pixel & 31u)) / 5;
  return static_cast<std::uint16_t>(level * 0x421u);
}
