#include "services/elf_image_check.h"

#include <ce/errors.h>

#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace ce {

namespace {

using Header = ElfW(Ehdr);
using ProgramHeader = ElfW(Phdr);
using Dynamic = ElfW(Dyn);

#if defined(__x86_64__)
constexpr int hostMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr int hostMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr int hostMachine = EM_386;
#elif defined(__arm__)
constexpr int hostMachine = EM_ARM;
#elif defined(__riscv)
constexpr int hostMachine = EM_RISCV;
#else
constexpr int hostMachine = EM_NONE; // unknown host: the machine is left to the host loader
#endif

constexpr unsigned char hostClass = sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr unsigned char hostData = ELFDATA2LSB;
#else
constexpr unsigned char hostData = ELFDATA2MSB;
#endif

// More program headers or dynamic entries than any real library has: refused rather than read.
constexpr std::size_t maxProgramHeaders = 256;
constexpr std::size_t maxDynamicEntries = 4096;

// [begin, begin + size) lies within [0, limit), without overflow.
bool within(std::uint64_t begin, std::uint64_t size, std::uint64_t limit) {
  return begin <= limit && size <= limit - begin;
}

// Tags whose value is an address the loader reads through once the segments are mapped.
bool isAddressTag(std::int64_t tag) {
  switch (tag) {
  case DT_PLTGOT:
  case DT_HASH:
  case DT_STRTAB:
  case DT_SYMTAB:
  case DT_RELA:
  case DT_REL:
  case DT_JMPREL:
  case DT_INIT:
  case DT_FINI:
  case DT_INIT_ARRAY:
  case DT_FINI_ARRAY:
  case DT_PREINIT_ARRAY:
  case DT_GNU_HASH:
  case DT_VERSYM:
  case DT_VERDEF:
  case DT_VERNEED:
    return true;
  default:
    return false;
  }
}

// Tags whose value is an offset into the string table.
bool isNameTag(std::int64_t tag) {
  return tag == DT_NEEDED || tag == DT_SONAME || tag == DT_RPATH || tag == DT_RUNPATH;
}

class Inspection {
public:
  Inspection(const ElfImageCheck::Reader &read, std::uint64_t fileSize)
      : read_(read), fileSize_(fileSize) {}

  DWORD run() {
    unsigned char ident[EI_NIDENT];
    if (fileSize_ < EI_NIDENT || !read_(0, ident, sizeof ident) ||
        std::memcmp(ident, ELFMAG, SELFMAG) != 0)
      return ERROR_MOD_NOT_FOUND;
    if (ident[EI_CLASS] != hostClass || ident[EI_DATA] != hostData ||
        ident[EI_VERSION] != EV_CURRENT)
      return ERROR_BAD_FORMAT;
    Header header;
    if (fileSize_ < sizeof header || !read_(0, &header, sizeof header))
      return ERROR_BAD_FORMAT;
    if (header.e_type != ET_DYN || header.e_version != EV_CURRENT ||
        (hostMachine != EM_NONE && header.e_machine != hostMachine))
      return ERROR_BAD_FORMAT;
    if (!readProgramHeaders(header) || !checkSegments() || !checkDynamicSection())
      return ERROR_BAD_FORMAT;
    return ERROR_SUCCESS;
  }

private:
  bool readProgramHeaders(const Header &header) {
    if (header.e_phentsize != sizeof(ProgramHeader) || header.e_phnum == 0 ||
        header.e_phnum > maxProgramHeaders)
      return false;
    const std::uint64_t tableSize = std::uint64_t{header.e_phnum} * sizeof(ProgramHeader);
    if (!within(header.e_phoff, tableSize, fileSize_))
      return false;
    programHeaders_.resize(header.e_phnum);
    return read_(header.e_phoff, programHeaders_.data(), tableSize);
  }

  // Every segment the loader maps or reads lies within the file, and there is something to map.
  bool checkSegments() {
    bool loadable = false;
    for (const ProgramHeader &segment : programHeaders_) {
      if (segment.p_type == PT_LOAD) {
        if (segment.p_filesz > segment.p_memsz || segment.p_memsz == 0 ||
            !within(segment.p_vaddr, segment.p_memsz, UINTPTR_MAX))
          return false;
        loadable = true;
      }
      if (segment.p_type == PT_LOAD || segment.p_type == PT_DYNAMIC ||
          segment.p_type == PT_INTERP || segment.p_type == PT_NOTE ||
          segment.p_type == PT_GNU_PROPERTY) {
        if (!within(segment.p_offset, segment.p_filesz, fileSize_))
          return false;
      }
      if (segment.p_type == PT_DYNAMIC) {
        if (dynamic_)
          return false; // the loader uses one dynamic section; two are a forgery
        dynamic_ = &segment;
      }
    }
    return loadable && dynamic_ != nullptr;
  }

  // The address range [address, address + size) lies inside one loaded segment's memory.
  bool mapped(std::uint64_t address, std::uint64_t size) const {
    for (const ProgramHeader &segment : programHeaders_) {
      if (segment.p_type != PT_LOAD || address < segment.p_vaddr)
        continue;
      if (within(address - segment.p_vaddr, size, segment.p_memsz))
        return true;
    }
    return false;
  }

  bool checkDynamicSection() {
    // The dynamic section is read both from the file and through the mapped segments.
    if (dynamic_->p_filesz < sizeof(Dynamic) || !mapped(dynamic_->p_vaddr, dynamic_->p_filesz))
      return false;
    const std::size_t count =
        std::min<std::uint64_t>(dynamic_->p_filesz / sizeof(Dynamic), maxDynamicEntries);
    std::vector<Dynamic> entries(count);
    if (!read_(dynamic_->p_offset, entries.data(), count * sizeof(Dynamic)))
      return false;

    std::uint64_t stringTable = 0, stringTableSize = 0;
    bool hasStringTable = false, hasStringTableSize = false, terminated = false;
    std::vector<std::uint64_t> nameOffsets;
    for (const Dynamic &entry : entries) {
      const auto tag = static_cast<std::int64_t>(entry.d_tag);
      if (tag == DT_NULL) {
        terminated = true;
        break;
      }
      if (isAddressTag(tag) && !mapped(entry.d_un.d_ptr, 1))
        return false;
      if (tag == DT_STRTAB) {
        stringTable = entry.d_un.d_ptr;
        hasStringTable = true;
      } else if (tag == DT_STRSZ) {
        stringTableSize = entry.d_un.d_val;
        hasStringTableSize = true;
      } else if (isNameTag(tag)) {
        nameOffsets.push_back(entry.d_un.d_val);
      }
    }
    if (!terminated)
      return false;
    if (nameOffsets.empty() && !hasStringTable)
      return true;
    if (!hasStringTable || !hasStringTableSize || stringTableSize == 0 ||
        !mapped(stringTable, stringTableSize))
      return false;
    for (std::uint64_t offset : nameOffsets)
      if (offset >= stringTableSize)
        return false;
    return true;
  }

  const ElfImageCheck::Reader &read_;
  const std::uint64_t fileSize_;
  std::vector<ProgramHeader> programHeaders_;
  const ProgramHeader *dynamic_ = nullptr;
};

} // namespace

DWORD ElfImageCheck::check(const Reader &read, std::uint64_t fileSize) {
  return Inspection(read, fileSize).run();
}

DWORD ElfImageCheck::checkBytes(std::string_view bytes) {
  const Reader read = [bytes](std::uint64_t offset, void *buffer, std::size_t size) {
    if (!within(offset, size, bytes.size()))
      return false;
    std::memcpy(buffer, bytes.data() + offset, size);
    return true;
  };
  return check(read, bytes.size());
}

DWORD ElfImageCheck::checkFile(int descriptor) {
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
    return ERROR_MOD_NOT_FOUND;
  const Reader read = [descriptor](std::uint64_t offset, void *buffer, std::size_t size) {
    auto *bytes = static_cast<char *>(buffer);
    while (size > 0) {
      const ssize_t got = pread(descriptor, bytes, size, static_cast<off_t>(offset));
      if (got <= 0)
        return false;
      bytes += got;
      offset += static_cast<std::uint64_t>(got);
      size -= static_cast<std::size_t>(got);
    }
    return true;
  };
  return check(read, static_cast<std::uint64_t>(status.st_size));
}

} // namespace ce
