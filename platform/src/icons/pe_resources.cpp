#include "icons/pe_resources.h"

namespace ce {
namespace {

constexpr std::uint32_t kIconType = 3, kGroupIconType = 14;
constexpr std::size_t kMaxEntriesPerDirectory = 4096;

std::uint32_t u16(const std::uint8_t *p) { return p[0] | (std::uint32_t(p[1]) << 8); }
std::uint32_t u32(const std::uint8_t *p) { return u16(p) | (u16(p + 2) << 16); }

struct Section {
  std::uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

class Image {
public:
  Image(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

  bool in(std::size_t offset, std::size_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  const std::uint8_t *at(std::size_t offset) const { return data_ + offset; }

  // File offset of `length` bytes at a relative virtual address, when they lie in one section's
  // raw data.
  bool fileOffset(std::uint32_t rva, std::size_t length, std::size_t &offset) const {
    for (const Section &s : sections) {
      const std::uint64_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
      if (rva < s.virtualAddress || rva - s.virtualAddress >= extent)
        continue;
      const std::uint64_t within = rva - s.virtualAddress;
      if (within + length > s.rawSize)
        return false;
      const std::uint64_t o = std::uint64_t(s.rawOffset) + within;
      if (!in(std::size_t(o), length))
        return false;
      offset = std::size_t(o);
      return true;
    }
    return false;
  }

  // Raw bytes from `rva` to the end of its section's data (and of the file).
  std::size_t available(std::uint32_t rva) const {
    for (const Section &s : sections) {
      if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize)
        continue;
      const std::uint64_t within = rva - s.virtualAddress;
      const std::uint64_t start = std::uint64_t(s.rawOffset) + within;
      if (start > size_)
        return 0;
      const std::uint64_t inSection = s.rawSize - within, inFile = size_ - start;
      return std::size_t(inSection < inFile ? inSection : inFile);
    }
    return 0;
  }

  std::vector<Section> sections;

private:
  const std::uint8_t *data_;
  std::size_t size_;
};

struct DirectoryEntry {
  std::uint32_t name;   // id, or (high bit) offset of a name
  std::uint32_t target; // (high bit) subdirectory offset, else data entry offset
};

// The entries of the resource directory at `offset` (relative to the resource section's start).
bool readDirectory(const Image &image, std::size_t base, std::size_t limit, std::uint32_t offset,
                   std::vector<DirectoryEntry> &entries) {
  entries.clear();
  if (offset > limit || limit - offset < 16 || !image.in(base + offset, 16))
    return false;
  const std::uint8_t *d = image.at(base + offset);
  std::size_t count = std::size_t(u16(d + 12)) + u16(d + 14);
  if (count > kMaxEntriesPerDirectory)
    count = kMaxEntriesPerDirectory;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = offset + 16 + 8 * i;
    if (at + 8 > limit || !image.in(base + at, 8))
      break;
    entries.push_back({u32(image.at(base + at)), u32(image.at(base + at + 4))});
  }
  return true;
}

} // namespace

bool PeResources::hasSignature(const std::uint8_t *data, std::size_t size) {
  return size >= 64 && data[0] == 'M' && data[1] == 'Z';
}

bool PeResources::parse(const std::uint8_t *data, std::size_t size) {
  groups_.clear();
  icons_.clear();
  if (!hasSignature(data, size))
    return false;
  Image image(data, size);
  const std::size_t pe = u32(data + 0x3C);
  if (!image.in(pe, 24) || u32(data + pe) != 0x00004550)
    return false; // "PE\0\0"
  const std::size_t coff = pe + 4;
  const std::size_t sectionCount = u16(data + coff + 2);
  const std::size_t optionalSize = u16(data + coff + 16);
  const std::size_t optional = coff + 20;
  if (!image.in(optional, 2))
    return false;
  const std::uint32_t magic = u16(data + optional);
  std::size_t countAt, directoriesAt;
  if (magic == 0x10B) {
    countAt = optional + 92;
    directoriesAt = optional + 96;
  } else if (magic == 0x20B) {
    countAt = optional + 108;
    directoriesAt = optional + 112;
  } else {
    return false;
  }
  if (!image.in(optional, optionalSize) || !image.in(countAt, 4))
    return false;
  const std::uint32_t directoryCount = u32(data + countAt);
  const std::size_t sectionsAt = optional + optionalSize;
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::size_t s = sectionsAt + 40 * i;
    if (!image.in(s, 40))
      return false;
    image.sections.push_back(
        {u32(data + s + 12), u32(data + s + 8), u32(data + s + 16), u32(data + s + 20)});
  }
  if (directoryCount <= 2 || !image.in(directoriesAt + 16, 8))
    return true;
  const std::uint32_t resourceRva = u32(data + directoriesAt + 16);
  const std::uint32_t resourceSize = u32(data + directoriesAt + 20);
  std::size_t base = 0;
  if (resourceRva == 0 || resourceSize < 16 || !image.fileOffset(resourceRva, 16, base))
    return true;
  // The whole directory tree must lie in the section's raw data.
  const std::size_t available = image.available(resourceRva);
  const std::size_t limit = resourceSize < available ? resourceSize : available;

  std::vector<DirectoryEntry> types, names, languages;
  if (!readDirectory(image, base, limit, 0, types))
    return true;
  for (const DirectoryEntry &type : types) {
    if ((type.name & 0x80000000u) || !(type.target & 0x80000000u))
      continue;
    if (type.name != kIconType && type.name != kGroupIconType)
      continue;
    auto &list = type.name == kIconType ? icons_ : groups_;
    if (!readDirectory(image, base, limit, type.target & 0x7FFFFFFFu, names))
      continue;
    for (const DirectoryEntry &name : names) {
      // Third level: the languages; the first one is taken.
      std::uint32_t dataEntry = name.target;
      if (dataEntry & 0x80000000u) {
        if (!readDirectory(image, base, limit, dataEntry & 0x7FFFFFFFu, languages) ||
            languages.empty() || (languages[0].target & 0x80000000u))
          continue;
        dataEntry = languages[0].target;
      }
      if (dataEntry > limit || limit - dataEntry < 16 || !image.in(base + dataEntry, 16))
        continue;
      const std::uint32_t rva = u32(data + base + dataEntry);
      const std::uint32_t length = u32(data + base + dataEntry + 4);
      std::size_t offset = 0;
      if (length == 0 || !image.fileOffset(rva, length, offset))
        continue;
      Resource r;
      r.named = (name.name & 0x80000000u) != 0;
      r.id = r.named ? 0 : name.name;
      r.bytes = {data + offset, length};
      list.push_back(r);
    }
  }
  return true;
}

PeResources::Span PeResources::icon(std::uint32_t id) const {
  for (const Resource &r : icons_)
    if (!r.named && r.id == id)
      return r.bytes;
  return {};
}

} // namespace ce
