// PNG pictures of bitmaps and DCs, for screenshots and tests (libpng).
#pragma once

#include <ce/export.h>

#include <ce/core/framebuffer_dc.h>

#include <filesystem>
#include <string>

CE_EXPORT_BEGIN

namespace ce {

// Writes the pixels as an 8-bit-per-channel PNG at a host path: RGB for 1-, 4-, 8-, 16- and
// 24-bit pixels; RGBA for 32-bit pixels, whose premultiplied colours are divided by their alpha.
// On failure returns false with a message in *error; a partly written file is removed.
bool writePng(const PixelMemory& pixels, const std::filesystem::path& file,
              std::string* error = nullptr);
// The bitmap itself (selected in a DC or not).
bool writePng(HBITMAP bitmap, const std::filesystem::path& file, std::string* error = nullptr);
// What the DC draws on: its selected bitmap, or for a framebuffer DC the whole framebuffer.
bool writePng(HDC dc, const std::filesystem::path& file, std::string* error = nullptr);

} // namespace ce
CE_EXPORT_END
