// The process's table of loaded device libraries: HMODULE values, reference counts, DllMain.
// <ce/loader.h> describes the behaviour its callers see.
#pragma once

#include <ce/types.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace ce {

class LibraryLoader {
public:
  static LibraryLoader &instance();

  // The program's own module: constant, never unloaded, owns no library of this table.
  static HMODULE programModule();
  // The module of a device system library ("coredll.dll", "aygshell.dll"): the platform library
  // itself, loaded in every process; nothing when `name` names no system library.
  static std::optional<HMODULE> systemModule(std::u16string_view name);

  // Each call that succeeds counts one reference; on failure *error holds the code.
  HMODULE load(std::u16string_view name, DWORD *error);
  bool free(HMODULE module, DWORD *error);
  // The address of a name the module itself defines.
  void *procAddress(HMODULE module, std::string_view name, DWORD *error);
  // A loaded library by full device path or file name (an extension-less name gets ".dll");
  // no reference is added.
  HMODULE find(std::u16string_view name) const;
  // The device path the module was loaded from.
  std::optional<std::u16string> devicePath(HMODULE module) const;
  // References counted for a loaded module; 0 when it is not loaded.
  std::size_t references(HMODULE module) const;

private:
  struct Library {
    void *host = nullptr;    // the host loader's handle
    void *linkMap = nullptr; // the host loader's record of this object, to tell its symbols
    dev_t device = 0;
    ino_t inode = 0;
    std::u16string devicePath;
    std::size_t references = 0;
  };

  // An image this process has mapped; images are never unmapped (see <ce/loader.h>).
  struct MappedImage {
    std::string hostPath;
    dev_t device = 0;
    ino_t inode = 0;
  };

  LibraryLoader() = default;
  // Loads a private copy of the open file: a new image whatever the host loader has mapped.
  static void *openCopy(int descriptor);
  // The system library a module value stands for; null for any other value.
  static const char16_t *systemLibraryPath(HMODULE module);
  // The address of a name the platform library defines with C linkage.
  static void *platformSymbol(const char *name);
  // The address of `name` when it is defined by the library itself, not by a dependency.
  static void *ownSymbol(const Library &library, const char *name);
  static bool callEntryPoint(const Library &library, std::uintptr_t id, DWORD reason);

  // Recursive: DllMain runs under it and may load or free other libraries.
  mutable std::recursive_mutex mutex_;
  std::map<std::uintptr_t, Library> libraries_;
  std::uintptr_t lastId_ = 0;
  std::vector<MappedImage> images_;
};

} // namespace ce
