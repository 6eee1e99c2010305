// Small writers of image files for tests and benchmarks, independent of the decoders under test:
// PNG with stored (uncompressed) deflate blocks, BMP, GIF with literal-only LZW codes, and
// baseline JPEG with simple Huffman tables.
#pragma once

#include <ce/imaging.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace ce::testing::images {

using Bytes = std::vector<std::uint8_t>;

inline void put16be(Bytes &b, std::uint32_t v) {
  b.push_back(std::uint8_t(v >> 8));
  b.push_back(std::uint8_t(v));
}
inline void put32be(Bytes &b, std::uint32_t v) {
  put16be(b, v >> 16);
  put16be(b, v & 0xFFFF);
}
inline void put16le(Bytes &b, std::uint32_t v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
inline void put32le(Bytes &b, std::uint32_t v) {
  put16le(b, v & 0xFFFF);
  put16le(b, v >> 16);
}

inline std::uint32_t crc32(const std::uint8_t *data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// ---- PNG ------------------------------------------------------------------------------------

inline void pngChunk(Bytes &out, const std::string &type, const Bytes &data, bool badCrc = false) {
  put32be(out, std::uint32_t(data.size()));
  Bytes body(type.begin(), type.end());
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  put32be(out, crc32(body.data(), body.size()) ^ (badCrc ? 1u : 0u));
}

// A zlib stream of stored blocks.
inline Bytes zlibStored(const Bytes &raw) {
  Bytes z = {0x78, 0x01};
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - pos, 65535);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    put16le(z, std::uint32_t(n));
    put16le(z, std::uint32_t(~n & 0xFFFF));
    z.insert(z.end(), raw.begin() + std::ptrdiff_t(pos), raw.begin() + std::ptrdiff_t(pos + n));
    pos += n;
  } while (pos < raw.size());
  std::uint32_t a = 1, b = 0;
  for (auto v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  put32be(z, (b << 16) | a);
  return z;
}

struct PngOptions {
  int colourType = 6; // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  int bitDepth = 8;
  Bytes palette;      // RGB triples
  Bytes transparency; // tRNS data
  bool badIdatCrc = false;
  bool truncate = false; // cut the file in the middle of IDAT
};

// `rows` holds each row's packed bytes without the filter byte.
inline Bytes png(std::uint32_t width, std::uint32_t height, const std::vector<Bytes> &rows,
                 const PngOptions &o = {}) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  put32be(ihdr, width);
  put32be(ihdr, height);
  ihdr.push_back(std::uint8_t(o.bitDepth));
  ihdr.push_back(std::uint8_t(o.colourType));
  ihdr.push_back(0);
  ihdr.push_back(0);
  ihdr.push_back(0);
  pngChunk(out, "IHDR", ihdr);
  if (!o.palette.empty())
    pngChunk(out, "PLTE", o.palette);
  if (!o.transparency.empty())
    pngChunk(out, "tRNS", o.transparency);
  Bytes raw;
  for (const Bytes &r : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), r.begin(), r.end());
  }
  pngChunk(out, "IDAT", zlibStored(raw), o.badIdatCrc);
  if (o.truncate) {
    out.resize(out.size() - 20);
    return out;
  }
  pngChunk(out, "IEND", {});
  return out;
}

// RGBA rows from ARGB pixels.
inline Bytes pngRgba(std::uint32_t width, std::uint32_t height, const std::vector<ARGB> &px,
                     PngOptions o = {}) {
  std::vector<Bytes> rows(height);
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      const ARGB c = px[y * width + x];
      rows[y].insert(rows[y].end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c),
                                     std::uint8_t(c >> 24)});
    }
  o.colourType = 6;
  return png(width, height, rows, o);
}

// ---- BMP ------------------------------------------------------------------------------------

// `rows` holds each row's packed bytes, top row first; the writer pads and stores bottom-up
// (or top-down with a negative height).
inline Bytes bmp(std::int32_t width, std::int32_t height, int bitCount,
                 const std::vector<Bytes> &rows, const std::vector<ARGB> &palette = {},
                 bool topDown = false, std::uint32_t compression = 0,
                 const std::vector<std::uint32_t> &masks = {}) {
  const std::uint32_t stride = (std::uint32_t(width) * std::uint32_t(bitCount) + 31) / 32 * 4;
  Bytes pixels;
  for (std::int32_t i = 0; i < height; ++i) {
    Bytes r = rows[std::size_t(topDown ? i : height - 1 - i)];
    r.resize(stride, 0);
    pixels.insert(pixels.end(), r.begin(), r.end());
  }
  const std::uint32_t headerBytes = 14 + 40 + std::uint32_t(masks.size() * 4 + palette.size() * 4);
  Bytes out = {'B', 'M'};
  put32le(out, headerBytes + std::uint32_t(pixels.size()));
  put32le(out, 0);
  put32le(out, headerBytes);
  put32le(out, 40);
  put32le(out, std::uint32_t(width));
  put32le(out, std::uint32_t(topDown ? -height : height));
  put16le(out, 1);
  put16le(out, std::uint32_t(bitCount));
  put32le(out, compression);
  put32le(out, std::uint32_t(pixels.size()));
  put32le(out, 3780);
  put32le(out, 3780);
  put32le(out, std::uint32_t(palette.size()));
  put32le(out, 0);
  for (auto m : masks)
    put32le(out, m);
  for (auto c : palette)
    put32le(out, c & 0xFFFFFF);
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

// ---- GIF ------------------------------------------------------------------------------------

struct GifOptions {
  int transparent = -1;
  std::uint16_t screenWidth = 0, screenHeight = 0; // 0: the frame's size
  std::uint16_t left = 0, top = 0;
  bool truncate = false;
};

inline Bytes gif(std::uint16_t width, std::uint16_t height, const std::vector<ARGB> &palette,
                 const Bytes &indices, const GifOptions &o = {}) {
  int bits = 1;
  while ((1u << bits) < palette.size())
    ++bits;
  Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
  put16le(out, o.screenWidth ? o.screenWidth : width);
  put16le(out, o.screenHeight ? o.screenHeight : height);
  out.push_back(std::uint8_t(0x80 | (bits - 1))); // global colour table
  out.push_back(0);
  out.push_back(0);
  for (std::size_t i = 0; i < (1u << bits); ++i) {
    const ARGB c = i < palette.size() ? palette[i] : 0;
    out.insert(out.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
  }
  if (o.transparent >= 0)
    out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, std::uint8_t(o.transparent), 0});
  out.push_back(0x2C);
  put16le(out, o.left);
  put16le(out, o.top);
  put16le(out, width);
  put16le(out, height);
  out.push_back(0);
  // Literal codes only, with a clear code after every two, so the code width never grows.
  const int minCode = bits < 2 ? 2 : bits;
  const std::uint32_t clear = 1u << minCode, end = clear + 1;
  const int width9 = minCode + 1;
  Bytes data;
  std::uint32_t acc = 0;
  int accBits = 0;
  auto emit = [&](std::uint32_t code) {
    acc |= code << accBits;
    accBits += width9;
    while (accBits >= 8) {
      data.push_back(std::uint8_t(acc));
      acc >>= 8;
      accBits -= 8;
    }
  };
  emit(clear);
  for (std::size_t i = 0; i < indices.size(); ++i) {
    emit(indices[i]);
    if (i % 2 == 1)
      emit(clear);
  }
  emit(end);
  if (accBits > 0)
    data.push_back(std::uint8_t(acc));
  out.push_back(std::uint8_t(minCode));
  for (std::size_t pos = 0; pos < data.size(); pos += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - pos);
    out.push_back(std::uint8_t(n));
    out.insert(out.end(), data.begin() + std::ptrdiff_t(pos),
               data.begin() + std::ptrdiff_t(pos + n));
  }
  out.push_back(0);
  out.push_back(0x3B);
  if (o.truncate)
    out.resize(out.size() / 2);
  return out;
}

// ---- JPEG -----------------------------------------------------------------------------------

// Baseline, 4:4:4 YCbCr, every quantiser `quant`. Huffman tables: DC categories as 4-bit codes,
// AC symbols as 8-bit codes (valid canonical tables, simpler than the usual ones).
inline Bytes jpeg(int width, int height, const std::vector<ARGB> &px, int quant = 2) {
  Bytes out = {0xFF, 0xD8};
  auto segment = [&out](std::uint8_t marker, const Bytes &body) {
    out.push_back(0xFF);
    out.push_back(marker);
    put16be(out, std::uint32_t(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
  };
  Bytes dqt = {0x00};
  dqt.insert(dqt.end(), 64, std::uint8_t(quant));
  segment(0xDB, dqt);
  Bytes sof = {8};
  put16be(sof, std::uint32_t(height));
  put16be(sof, std::uint32_t(width));
  sof.push_back(3);
  for (std::uint8_t id = 1; id <= 3; ++id)
    sof.insert(sof.end(), {id, 0x11, 0});
  segment(0xC0, sof);
  std::vector<std::uint8_t> acSymbols = {0x00, 0xF0};
  for (int run = 0; run < 16; ++run)
    for (int size = 1; size <= 10; ++size)
      acSymbols.push_back(std::uint8_t(run << 4 | size));
  Bytes dht = {0x00, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (std::uint8_t v = 0; v < 12; ++v)
    dht.push_back(v);
  dht.insert(dht.end(),
             {0x10, 0, 0, 0, 0, 0, 0, 0, std::uint8_t(acSymbols.size()), 0, 0, 0, 0, 0, 0, 0, 0});
  dht.insert(dht.end(), acSymbols.begin(), acSymbols.end());
  segment(0xC4, dht);
  segment(0xDA, {3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0});

  int zigzag[64];
  for (int s = 0, k = 0; s < 15; ++s) {
    const int lo = s > 7 ? s - 7 : 0, hi = s < 7 ? s : 7;
    for (int i = 0; i <= hi - lo; ++i) {
      const int row = (s % 2) ? lo + i : hi - i;
      zigzag[k++] = row * 8 + (s - row);
    }
  }
  std::uint32_t acc = 0;
  int accBits = 0;
  auto writeBits = [&](std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc = (acc << 1) | ((value >> i) & 1);
      if (++accBits == 8) {
        out.push_back(std::uint8_t(acc));
        if (acc == 0xFF)
          out.push_back(0);
        acc = 0;
        accBits = 0;
      }
    }
  };
  auto category = [](int v) {
    int a = v < 0 ? -v : v, s = 0;
    while (a) {
      ++s;
      a >>= 1;
    }
    return s;
  };
  auto valueBits = [](int v, int s) { return std::uint32_t(v < 0 ? v + (1 << s) - 1 : v); };
  auto acCode = [&acSymbols](std::uint8_t symbol) {
    for (std::size_t i = 0; i < acSymbols.size(); ++i)
      if (acSymbols[i] == symbol)
        return std::uint32_t(i);
    return 0u;
  };
  const double pi = 3.14159265358979323846;
  int predictor[3] = {0, 0, 0};
  for (int by = 0; by < (height + 7) / 8; ++by)
    for (int bx = 0; bx < (width + 7) / 8; ++bx)
      for (int comp = 0; comp < 3; ++comp) {
        double block[8][8];
        for (int y = 0; y < 8; ++y)
          for (int x = 0; x < 8; ++x) {
            const int sx = std::min(bx * 8 + x, width - 1), sy = std::min(by * 8 + y, height - 1);
            const ARGB c = px[std::size_t(sy) * std::size_t(width) + std::size_t(sx)];
            const double r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
            const double v = comp == 0   ? 0.299 * r + 0.587 * g + 0.114 * b
                             : comp == 1 ? -0.168736 * r - 0.331264 * g + 0.5 * b + 128
                                         : 0.5 * r - 0.418688 * g - 0.081312 * b + 128;
            block[y][x] = v - 128;
          }
        int coefficients[64];
        for (int v = 0; v < 8; ++v)
          for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int y = 0; y < 8; ++y)
              for (int x = 0; x < 8; ++x)
                sum += block[y][x] * std::cos((2 * x + 1) * u * pi / 16) *
                       std::cos((2 * y + 1) * v * pi / 16);
            const double cu = u ? 1 : 1 / std::sqrt(2.0), cv = v ? 1 : 1 / std::sqrt(2.0);
            coefficients[v * 8 + u] = int(std::lround(sum * cu * cv / 4 / quant));
          }
        const int dc = coefficients[0] - predictor[comp];
        predictor[comp] = coefficients[0];
        const int s = category(dc);
        writeBits(std::uint32_t(s), 4);
        writeBits(valueBits(dc, s), s);
        int run = 0;
        for (int k = 1; k < 64; ++k) {
          const int v = coefficients[zigzag[k]];
          if (v == 0) {
            ++run;
            continue;
          }
          while (run > 15) {
            writeBits(acCode(0xF0), 8);
            run -= 16;
          }
          const int size = category(v);
          writeBits(acCode(std::uint8_t(run << 4 | size)), 8);
          writeBits(valueBits(v, size), size);
          run = 0;
        }
        if (run > 0)
          writeBits(acCode(0x00), 8);
      }
  if (accBits > 0)
    writeBits(0x7F, 8 - accBits);
  out.push_back(0xFF);
  out.push_back(0xD9);
  return out;
}

} // namespace ce::testing::images
