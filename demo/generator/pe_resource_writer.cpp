#include "pe_resource_writer.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace ce::demo {
namespace {

constexpr std::uint32_t kIconType = 3, kGroupIconType = 14;
constexpr std::uint32_t kLanguage = 0x0409;
constexpr std::uint32_t kSectionRva = 0x1000, kSectionAlignment = 0x1000;
constexpr std::uint32_t kFileAlignment = 0x200, kHeadersSize = 0x200;
constexpr std::uint32_t kPeOffset = 0x80;

std::uint32_t alignUp(std::uint32_t v, std::uint32_t a) { return (v + a - 1) / a * a; }

void set16(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}

void set32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v) {
  set16(b, at, v & 0xFFFF);
  set16(b, at + 2, v >> 16);
}

// A resource directory table header with `count` id entries.
void setDirectory(std::vector<std::uint8_t> &b, std::size_t at, std::size_t count) {
  set16(b, at + 14, std::uint32_t(count));
}

} // namespace

void PeResourceWriter::addIcon(std::uint16_t groupId, const std::vector<IconPicture> &pictures) {
  const std::uint16_t firstIcon = nextIconId_;
  for (const IconPicture &picture : pictures)
    resources_.push_back({kIconType, nextIconId_++, picture.png});
  resources_.push_back({kGroupIconType, groupId, IconFileBuilder::iconGroup(pictures, firstIcon)});
}

std::vector<std::uint8_t> PeResourceWriter::build() const {
  // type -> (id -> resource), both ascending as the directory wants them.
  std::map<std::uint32_t, std::map<std::uint32_t, const Resource *>> tree;
  for (const Resource &r : resources_)
    tree[r.type][r.id] = &r;

  // Section layout: every directory table, then the data entries, then the data.
  std::uint32_t size = 16 + 8 * std::uint32_t(tree.size());
  std::map<std::uint32_t, std::uint32_t> typeDirectory;
  for (const auto &[type, names] : tree) {
    typeDirectory[type] = size;
    size += 16 + 8 * std::uint32_t(names.size());
  }
  std::map<const Resource *, std::uint32_t> languageDirectory, dataEntry, dataAt;
  for (const auto &[type, names] : tree)
    for (const auto &[id, r] : names) {
      languageDirectory[r] = size;
      size += 16 + 8;
    }
  for (const auto &[type, names] : tree)
    for (const auto &[id, r] : names) {
      dataEntry[r] = size;
      size += 16;
    }
  for (const auto &[type, names] : tree)
    for (const auto &[id, r] : names) {
      size = alignUp(size, 8);
      dataAt[r] = size;
      size += std::uint32_t(r->bytes.size());
    }
  const std::uint32_t virtualSize = size;
  const std::uint32_t rawSize = alignUp(size, kFileAlignment);

  // Headers first, the section's raw data from kHeadersSize on.
  std::vector<std::uint8_t> file(kHeadersSize + rawSize, 0);
  const std::size_t base = kHeadersSize;
  setDirectory(file, base + 0, tree.size());
  std::size_t entry = 16;
  for (const auto &[type, names] : tree) {
    set32(file, base + entry, type);
    set32(file, base + entry + 4, 0x80000000u | typeDirectory[type]);
    entry += 8;
    const std::uint32_t at = typeDirectory[type];
    setDirectory(file, base + at, names.size());
    std::size_t nameEntry = at + 16;
    for (const auto &[id, r] : names) {
      set32(file, base + nameEntry, id);
      set32(file, base + nameEntry + 4, 0x80000000u | languageDirectory[r]);
      nameEntry += 8;
      const std::uint32_t language = languageDirectory[r];
      setDirectory(file, base + language, 1);
      set32(file, base + language + 16, kLanguage);
      set32(file, base + language + 20, dataEntry[r]);
      set32(file, base + dataEntry[r], kSectionRva + dataAt[r]);
      set32(file, base + dataEntry[r] + 4, std::uint32_t(r->bytes.size()));
      std::copy(r->bytes.begin(), r->bytes.end(), file.begin() + std::ptrdiff_t(base + dataAt[r]));
    }
  }

  file[0] = 'M';
  file[1] = 'Z';
  set32(file, 0x3C, kPeOffset);
  std::memcpy(file.data() + kPeOffset, "PE\0\0", 4);
  const std::size_t coff = kPeOffset + 4;
  set16(file, coff, 0x01C0);      // ARM, the device's processor
  set16(file, coff + 2, 1);       // one section
  set16(file, coff + 16, 224);    // size of the PE32 optional header
  set16(file, coff + 18, 0x2102); // executable image, 32-bit machine, DLL
  const std::size_t optional = coff + 20;
  set16(file, optional, 0x10B); // PE32
  set32(file, optional + 8, rawSize);
  set32(file, optional + 20, kSectionRva);
  set32(file, optional + 24, kSectionRva);
  set32(file, optional + 28, 0x10000000); // image base
  set32(file, optional + 32, kSectionAlignment);
  set32(file, optional + 36, kFileAlignment);
  set16(file, optional + 40, 4); // operating system version 4.0
  set16(file, optional + 48, 4); // subsystem version 4.0
  set32(file, optional + 56, kSectionRva + alignUp(virtualSize, kSectionAlignment));
  set32(file, optional + 60, kHeadersSize);
  set16(file, optional + 68, 9); // the handheld GUI subsystem
  set32(file, optional + 92, 16);
  set32(file, optional + 96 + 2 * 8, kSectionRva); // resource directory
  set32(file, optional + 96 + 2 * 8 + 4, virtualSize);
  const std::size_t header = optional + 224;
  std::memcpy(file.data() + header, ".rsrc", 5);
  set32(file, header + 8, virtualSize);
  set32(file, header + 12, kSectionRva);
  set32(file, header + 16, rawSize);
  set32(file, header + 20, kHeadersSize);
  set32(file, header + 36, 0x40000040); // initialised data, readable
  return file;
}

} // namespace ce::demo
