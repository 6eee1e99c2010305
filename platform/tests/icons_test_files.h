// Writers of icon files and of PE files with icon resources, for tests and fuzz seeds.
#pragma once

#include "imaging_test_images.h"

namespace ce::testing::icons {

using images::Bytes;

// A bitmap icon entry: 32-bit pixels keep their alpha, 24-bit ones rely on the mask
// (one byte per pixel, 1 = transparent).
inline Bytes dibEntry(int w, int h, const std::vector<ARGB> &px, const Bytes &mask, int bits) {
  Bytes out;
  images::put32le(out, 40);
  images::put32le(out, std::uint32_t(w));
  images::put32le(out, std::uint32_t(2 * h));
  images::put16le(out, 1);
  images::put16le(out, std::uint32_t(bits));
  for (int i = 0; i < 6; ++i)
    images::put32le(out, 0);
  const int colourStride = (w * bits + 31) / 32 * 4, maskStride = (w + 31) / 32 * 4;
  for (int y = h - 1; y >= 0; --y) {
    Bytes row;
    for (int x = 0; x < w; ++x) {
      const ARGB c = px[std::size_t(y * w + x)];
      row.insert(row.end(), {std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16)});
      if (bits == 32)
        row.push_back(std::uint8_t(c >> 24));
    }
    row.resize(std::size_t(colourStride), 0);
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = h - 1; y >= 0; --y) {
    Bytes row(std::size_t(maskStride), 0);
    for (int x = 0; x < w; ++x)
      if (mask.empty() ? (px[std::size_t(y * w + x)] >> 24) == 0 : mask[std::size_t(y * w + x)])
        row[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

struct Entry {
  int width, height, bits;
  Bytes data;
};

inline Bytes ico(const std::vector<Entry> &entries) {
  Bytes out;
  images::put16le(out, 0);
  images::put16le(out, 1);
  images::put16le(out, std::uint32_t(entries.size()));
  std::uint32_t offset = 6 + 16 * std::uint32_t(entries.size());
  for (const Entry &e : entries) {
    out.insert(out.end(), {std::uint8_t(e.width & 255), std::uint8_t(e.height & 255), 0, 0});
    images::put16le(out, 1);
    images::put16le(out, std::uint32_t(e.bits));
    images::put32le(out, std::uint32_t(e.data.size()));
    images::put32le(out, offset);
    offset += std::uint32_t(e.data.size());
  }
  for (const Entry &e : entries)
    out.insert(out.end(), e.data.begin(), e.data.end());
  return out;
}

// A solid square icon entry of one colour (32 bits, opaque).
inline Entry solid(int side, ARGB colour) {
  return {side, side, 32,
          dibEntry(side, side, std::vector<ARGB>(std::size_t(side * side), colour), {}, 32)};
}

struct Group {
  std::uint16_t id;
  std::vector<std::pair<std::uint16_t, Entry>> icons; // icon resource id, entry
};

// A PE image (PE32, or PE32+ when `plus`) with one .rsrc section holding the groups.
inline Bytes pe(bool plus, const std::vector<Group> &groups) {
  struct Blob {
    std::uint32_t type, id;
    Bytes data;
  };
  std::vector<Blob> icons, groupBlobs;
  for (const Group &g : groups) {
    Bytes dir;
    images::put16le(dir, 0);
    images::put16le(dir, 1);
    images::put16le(dir, std::uint32_t(g.icons.size()));
    for (const auto &[id, e] : g.icons) {
      dir.insert(dir.end(), {std::uint8_t(e.width & 255), std::uint8_t(e.height & 255), 0, 0});
      images::put16le(dir, 1);
      images::put16le(dir, std::uint32_t(e.bits));
      images::put32le(dir, std::uint32_t(e.data.size()));
      images::put16le(dir, id);
      icons.push_back({3, id, e.data});
    }
    groupBlobs.push_back({14, g.id, dir});
  }
  const std::uint32_t rva = 0x1000;
  // Layout: root, two type directories, one language directory per resource, data entries,
  // then the data.
  const std::uint32_t root = 0, typeIcon = 16 + 16,
                      typeGroup = typeIcon + 16 + 8 * std::uint32_t(icons.size());
  const std::uint32_t langs = typeGroup + 16 + 8 * std::uint32_t(groupBlobs.size());
  const std::size_t total = icons.size() + groupBlobs.size();
  const std::uint32_t dataEntries = langs + 24 * std::uint32_t(total);
  std::uint32_t blobAt = dataEntries + 16 * std::uint32_t(total);
  Bytes rs;
  auto directory = [&rs](std::uint32_t count) {
    for (int i = 0; i < 3; ++i)
      images::put32le(rs, 0);
    images::put16le(rs, 0);
    images::put16le(rs, count);
  };
  (void)root;
  directory(2);
  images::put32le(rs, 3);
  images::put32le(rs, 0x80000000u | typeIcon);
  images::put32le(rs, 14);
  images::put32le(rs, 0x80000000u | typeGroup);
  std::size_t n = 0;
  directory(std::uint32_t(icons.size()));
  for (const Blob &b : icons) {
    images::put32le(rs, b.id);
    images::put32le(rs, 0x80000000u | (langs + 24 * std::uint32_t(n++)));
  }
  directory(std::uint32_t(groupBlobs.size()));
  for (const Blob &b : groupBlobs) {
    images::put32le(rs, b.id);
    images::put32le(rs, 0x80000000u | (langs + 24 * std::uint32_t(n++)));
  }
  for (std::size_t i = 0; i < total; ++i) {
    directory(1);
    images::put32le(rs, 0x409);
    images::put32le(rs, dataEntries + 16 * std::uint32_t(i));
  }
  std::vector<const Blob *> all;
  for (const Blob &b : icons)
    all.push_back(&b);
  for (const Blob &b : groupBlobs)
    all.push_back(&b);
  for (const Blob *b : all) {
    images::put32le(rs, rva + blobAt);
    images::put32le(rs, std::uint32_t(b->data.size()));
    images::put32le(rs, 0);
    images::put32le(rs, 0);
    blobAt += (std::uint32_t(b->data.size()) + 3) & ~3u;
  }
  for (const Blob *b : all) {
    rs.insert(rs.end(), b->data.begin(), b->data.end());
    rs.resize((rs.size() + 3) & ~std::size_t(3), 0);
  }

  Bytes out(0x200, 0);
  out[0] = 'M';
  out[1] = 'Z';
  out[0x3C] = 0x40;
  Bytes h = {'P', 'E', 0, 0};
  images::put16le(h, plus ? 0x8664 : 0x14C);
  images::put16le(h, 1);
  for (int i = 0; i < 3; ++i)
    images::put32le(h, 0);
  const std::uint32_t optionalSize = plus ? 240 : 224;
  images::put16le(h, optionalSize);
  images::put16le(h, 0x2102);
  Bytes optional(optionalSize, 0);
  optional[0] = 0x0B;
  optional[1] = plus ? 0x02 : 0x01;
  const std::size_t countAt = plus ? 108 : 92, dirs = plus ? 112 : 96;
  optional[countAt] = 16;
  auto set32 = [&optional](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      optional[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
  };
  set32(dirs + 16, rva);
  set32(dirs + 20, std::uint32_t(rs.size()));
  h.insert(h.end(), optional.begin(), optional.end());
  Bytes section = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  images::put32le(section, std::uint32_t(rs.size()));
  images::put32le(section, rva);
  images::put32le(section, std::uint32_t(rs.size()));
  images::put32le(section, 0x200);
  for (int i = 0; i < 4; ++i)
    images::put32le(section, 0);
  h.insert(h.end(), section.begin(), section.end());
  std::copy(h.begin(), h.end(), out.begin() + 0x40);
  out.insert(out.end(), rs.begin(), rs.end());
  return out;
}

} // namespace ce::testing::icons
