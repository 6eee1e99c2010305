// Files that are not sound device libraries: LoadLibraryW answers with an error and the process
// goes on. The header check that guards the host loader is driven with damaged copies of a real
// library.
#include "../src/services/elf_image_check.h"
#include "services_fixture.h"

#include <ce/loader.h>

#include <elf.h>
#include <link.h>

#include <cstring>

namespace {

using ce::ElfImageCheck;
using services_test::DeviceWithLibraries;

class LoaderBadFiles : public DeviceWithLibraries {
protected:
  DWORD loadError(const char16_t *name) {
    SetLastError(0);
    HMODULE module = LoadLibraryW(name);
    if (module) {
      FreeLibrary(module);
      return ERROR_SUCCESS;
    }
    return GetLastError();
  }
};

// A copy of a real library with typed access to its headers, to damage one field at a time.
class Image {
public:
  explicit Image(std::string bytes) : bytes_(std::move(bytes)) {}
  ElfW(Ehdr) & header() { return *reinterpret_cast<ElfW(Ehdr) *>(bytes_.data()); }
  ElfW(Phdr) & segment(int type) {
    auto *table = reinterpret_cast<ElfW(Phdr) *>(bytes_.data() + header().e_phoff);
    for (int i = 0; i < header().e_phnum; ++i)
      if (table[i].p_type == static_cast<ElfW(Word)>(type))
        return table[i];
    throw std::runtime_error("no such segment");
  }
  ElfW(Dyn) & dynamic(std::int64_t tag) {
    auto *entry = reinterpret_cast<ElfW(Dyn) *>(bytes_.data() + segment(PT_DYNAMIC).p_offset);
    for (; entry->d_tag != DT_NULL; ++entry)
      if (entry->d_tag == tag)
        return *entry;
    throw std::runtime_error("no such entry");
  }
  std::string &bytes() { return bytes_; }
  DWORD check() const { return ElfImageCheck::checkBytes(bytes_); }

private:
  std::string bytes_;
};

TEST_F(LoaderBadFiles, MissingAndForeignFilesAreNotModules) {
  writeFile("Windows/text.dll", "MZ this is not a library\n");
  writeFile("Windows/empty.dll", "");
  writeFile("Windows/magic.dll", "\x7f"
                                 "EL");
  std::filesystem::create_directories(root / "fs" / "Windows" / "folder.dll");
  for (const char16_t *name : {u"missing.dll", u"\\Nowhere\\missing.dll", u"text.dll", u"empty.dll",
                               u"magic.dll", u"folder.dll"})
    EXPECT_EQ(loadError(name), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << ce::toUtf8(name);
  EXPECT_EQ(loadError(u"\\..\\..\\..\\..\\lib\\libc.so.6"),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(loadError(u"bad|name.dll"), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(loadError(u""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(LoaderBadFiles, DamagedLibrariesAreRefusedBeforeTheyRun) {
  const std::string good = readHostFile(built("journal_a"));
  ASSERT_GT(good.size(), 4096u);
  // Cut inside the last segment the loader maps (what follows it, like debug data, may go).
  Image parsed(good);
  std::size_t mappedEnd = 0;
  for (int i = 0; i < parsed.header().e_phnum; ++i) {
    const auto &segment =
        reinterpret_cast<const ElfW(Phdr) *>(good.data() + parsed.header().e_phoff)[i];
    if (segment.p_type == PT_LOAD)
      mappedEnd = std::max<std::size_t>(mappedEnd, segment.p_offset + segment.p_filesz);
  }
  const std::vector<std::size_t> cuts = {20, sizeof(ElfW(Ehdr)), 200, mappedEnd - 16};
  for (std::size_t size : cuts)
    writeFile("Windows/cut" + std::to_string(size) + ".dll", good.substr(0, size));
  Image wrongClass(good);
  wrongClass.bytes()[EI_CLASS] = sizeof(void *) == 8 ? ELFCLASS32 : ELFCLASS64;
  writeFile("Windows/class.dll", wrongClass.bytes());
  // Same length, so the file stays sound, but the dependency it names is nowhere.
  Image missingDependency(good);
  const auto at = missingDependency.bytes().find("libplatform.so");
  ASSERT_NE(at, std::string::npos);
  missingDependency.bytes().replace(at, 14, "libnotthere.so");
  writeFile("Windows/dependency.dll", missingDependency.bytes());

  for (std::size_t size : cuts)
    EXPECT_EQ(loadError(ce::toUtf16("cut" + std::to_string(size) + ".dll").c_str()),
              static_cast<DWORD>(ERROR_BAD_FORMAT))
        << size;
  EXPECT_EQ(loadError(u"class.dll"), static_cast<DWORD>(ERROR_BAD_FORMAT));
  EXPECT_EQ(missingDependency.check(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(loadError(u"dependency.dll"), static_cast<DWORD>(ERROR_BAD_FORMAT));
  EXPECT_TRUE(journal().empty()); // no DllMain of a refused file ran
}

TEST(ElfImageCheck, DamageToAnyTableTheLoaderReadsIsFound) {
  const std::string good =
      DeviceWithLibraries::readHostFile(DeviceWithLibraries::built("journal_a"));
  ASSERT_EQ(ElfImageCheck::checkBytes(good), static_cast<DWORD>(ERROR_SUCCESS));

  auto expectBad = [&](const char *what, auto damage) {
    Image image(good);
    damage(image);
    EXPECT_EQ(image.check(), static_cast<DWORD>(ERROR_BAD_FORMAT)) << what;
  };
  expectBad("executable type", [](Image &i) { i.header().e_type = ET_EXEC; });
  expectBad("foreign machine", [](Image &i) { i.header().e_machine = EM_S390; });
  expectBad("byte order", [](Image &i) { i.bytes()[EI_DATA] ^= 3; });
  expectBad("no program headers", [](Image &i) { i.header().e_phnum = 0; });
  expectBad("program headers past the end",
            [](Image &i) { i.header().e_phoff = i.bytes().size() - 8; });
  expectBad("program header table overflows",
            [](Image &i) { i.header().e_phoff = ~ElfW(Off){0} - 16; });
  expectBad("odd program header size", [](Image &i) { i.header().e_phentsize = 12; });
  expectBad("segment past the end",
            [](Image &i) { i.segment(PT_LOAD).p_filesz = i.bytes().size() * 2; });
  expectBad("segment larger in file than in memory", [](Image &i) {
    auto &load = i.segment(PT_LOAD);
    load.p_memsz = load.p_filesz - 1;
  });
  expectBad("dynamic section past the end",
            [](Image &i) { i.segment(PT_DYNAMIC).p_offset = i.bytes().size() - 4; });
  expectBad("no dynamic section", [](Image &i) { i.segment(PT_DYNAMIC).p_type = PT_NULL; });
  expectBad("string table unmapped",
            [](Image &i) { i.dynamic(DT_STRTAB).d_un.d_ptr = 0x7fff0000; });
  expectBad("string table overruns its segment",
            [](Image &i) { i.dynamic(DT_STRSZ).d_un.d_val = 0x10000000; });
  expectBad("symbol table unmapped", [](Image &i) { i.dynamic(DT_SYMTAB).d_un.d_ptr = ~0ull; });
  expectBad("dependency name outside the strings",
            [](Image &i) { i.dynamic(DT_NEEDED).d_un.d_val = 0x7fffffff; });
  expectBad("unterminated dynamic section", [](Image &i) {
    auto &dynamic = i.segment(PT_DYNAMIC);
    auto *entry = reinterpret_cast<ElfW(Dyn) *>(i.bytes().data() + dynamic.p_offset);
    for (std::size_t n = 0; n < dynamic.p_filesz / sizeof(ElfW(Dyn)); ++n)
      entry[n].d_tag = DT_DEBUG;
  });
}

TEST(ElfImageCheck, OnlyElfMagicMakesABadFormat) {
  EXPECT_EQ(ElfImageCheck::checkBytes(""), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(ElfImageCheck::checkBytes("MZ\x90"), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(ElfImageCheck::checkBytes(std::string(64, '\0')),
            static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  std::string header = "\x7f"
                       "ELF";
  header.resize(EI_NIDENT, '\0');
  EXPECT_EQ(ElfImageCheck::checkBytes(header), static_cast<DWORD>(ERROR_BAD_FORMAT));
}

} // namespace
