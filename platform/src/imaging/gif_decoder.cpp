#include "imaging/gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace ce {
namespace {

struct MemoryReader {
  const std::uint8_t *data;
  std::size_t size;
  std::size_t position;
};

int readFromMemory(GifFileType *gif, GifByteType *buffer, int length) {
  auto *reader = static_cast<MemoryReader *>(gif->UserData);
  if (length <= 0)
    return 0;
  const std::size_t n = std::min<std::size_t>(std::size_t(length), reader->size - reader->position);
  std::memcpy(buffer, reader->data + reader->position, n);
  reader->position += n;
  return int(n);
}

struct GifCloser {
  void operator()(GifFileType *gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

} // namespace

bool GifDecoder::hasSignature(const std::uint8_t *data, std::size_t size) {
  return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

HRESULT GifDecoder::decode(const std::uint8_t *data, std::size_t size, DecodedImage &out) {
  MemoryReader reader{data, size, 0};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, readFromMemory, &error));
  if (!gif)
    return E_FAIL;

  int transparent = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
      return E_FAIL;
    if (type == TERMINATE_RECORD_TYPE)
      return IMGERR_NOFRAME;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType *block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
        return E_FAIL;
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
        transparent = (block[1] & 1) ? block[4] : -1;
      while (block)
        if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
          return E_FAIL;
      continue;
    }
    if (type == IMAGE_DESC_RECORD_TYPE)
      break;
  }
  if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
    return E_FAIL;

  const GifImageDesc &frame = gif->Image;
  if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0)
    return E_FAIL;
  if (!Raster::sizeAllowed(UINT(frame.Width), UINT(frame.Height)))
    return E_OUTOFMEMORY;
  // A screen of zero size (some writers leave it out) takes the frame's extent.
  UINT screenW = gif->SWidth > 0 ? UINT(gif->SWidth) : UINT(frame.Left + frame.Width);
  UINT screenH = gif->SHeight > 0 ? UINT(gif->SHeight) : UINT(frame.Top + frame.Height);
  if (!Raster::sizeAllowed(screenW, screenH))
    return E_OUTOFMEMORY;

  std::vector<ARGB> palette;
  const ColorMapObject *map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (map && map->Colors && map->ColorCount > 0) {
    for (int i = 0; i < map->ColorCount && i < 256; ++i) {
      const GifColorType &c = map->Colors[i];
      palette.push_back(0xFF000000u | (ARGB(c.Red) << 16) | (ARGB(c.Green) << 8) | c.Blue);
    }
  } else {
    for (ARGB v = 0; v < 256; ++v)
      palette.push_back(0xFF000000u | (v << 16) | (v << 8) | v);
  }

  // The frame's indices, in display order.
  std::vector<GifPixelType> indices(std::size_t(frame.Width) * std::size_t(frame.Height));
  auto lineAt = [&](int y) { return indices.data() + std::size_t(y) * std::size_t(frame.Width); };
  if (frame.Interlace) {
    static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = start[pass]; y < frame.Height; y += step[pass])
        if (DGifGetLine(gif.get(), lineAt(y), frame.Width) == GIF_ERROR)
          return E_FAIL;
  } else {
    for (int y = 0; y < frame.Height; ++y)
      if (DGifGetLine(gif.get(), lineAt(y), frame.Width) == GIF_ERROR)
        return E_FAIL;
  }

  const bool coversScreen = frame.Left == 0 && frame.Top == 0 && UINT(frame.Width) >= screenW &&
                            UINT(frame.Height) >= screenH;
  Raster &raster = out.raster;
  if (coversScreen && transparent < 0) {
    raster.palette = palette;
    if (!raster.allocate(PixelFormat8bppIndexed, screenW, screenH))
      return E_OUTOFMEMORY;
    for (UINT y = 0; y < screenH; ++y)
      std::memcpy(raster.row(y), lineAt(int(y)), screenW);
    raster.narrowIndexed();
  } else {
    raster.palette.clear();
    if (!raster.allocate(PixelFormat32bppARGB, screenW, screenH))
      return E_OUTOFMEMORY;
    const UINT right = std::min<UINT>(screenW, UINT(frame.Left + frame.Width));
    const UINT bottom = std::min<UINT>(screenH, UINT(frame.Top + frame.Height));
    for (UINT y = UINT(frame.Top); y < bottom; ++y) {
      const GifPixelType *line = lineAt(int(y) - frame.Top);
      auto *row = reinterpret_cast<std::uint8_t *>(raster.row(y));
      for (UINT x = UINT(frame.Left); x < right; ++x) {
        const int index = line[x - UINT(frame.Left)];
        ARGB c = 0;
        if (index != transparent)
          c = std::size_t(index) < palette.size() ? palette[std::size_t(index)] : 0xFF000000u;
        std::memcpy(row + x * 4, &c, 4);
      }
    }
  }
  out.rawFormat = ImageFormatGIF;
  return S_OK;
}

} // namespace ce
