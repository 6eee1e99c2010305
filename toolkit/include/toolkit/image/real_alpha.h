// Text rendered white on black, turned into a premultiplied picture of the text in a colour:
// the brightness of each pixel becomes its coverage.
#pragma once

#include <toolkit/surface/surface.h>

#include <array>
#include <cstdint>

// Entry i (0-254): alpha i and the colour's channels scaled by i / 255 (integer division), as
// premultiplied A,R,G,B from the top byte down.
std::array<std::uint32_t, 255> realAlphaTable(COLORREF color);

// One 5-5-5 pixel of white-on-black text: 0 stays 0; otherwise its level, the mean of its
// three 5-bit channels (0-31), picks entry level x 8 of the table (so full white is entry 248).
std::uint32_t realAlphaPixel(std::uint16_t pixel555, const std::array<std::uint32_t, 255> &table);

// Replaces the bitmap of a 16-bit surface holding white-on-black text by a 32-bit premultiplied
// picture of the text in `color`. Surfaces deeper than 16 bits are left as they are (0).
// E_INVALIDARG for a surface without bitmap; E_FAIL (reported) when the new bitmap cannot be
// made, and the surface is then unchanged.
HRESULT computeRealAlpha(Surface *surface, COLORREF color);
