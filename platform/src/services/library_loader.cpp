#include "services/library_loader.h"

#include "services/elf_image_check.h"
#include "services/library_search.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/loader.h>

#include <algorithm>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <string>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ce {

namespace {

// Module values look like the device's load addresses: 64 KiB apart, the program's first.
constexpr std::uintptr_t programModuleValue = 0x10000;
constexpr std::uintptr_t moduleStride = 0x10000;

// The device's system libraries: the platform library answers for them (its functions have C
// linkage, so their plain names are its exported symbols). Their values lie below the program's.
struct SystemLibrary {
  std::u16string_view fileName;
  std::u16string_view devicePath;
  std::uintptr_t value;
};
constexpr SystemLibrary kSystemLibraries[] = {
    {u"coredll.dll", u"\\Windows\\coredll.dll", 0x8000},
    {u"aygshell.dll", u"\\Windows\\aygshell.dll", 0x9000},
};

std::uintptr_t idOf(HMODULE module) { return reinterpret_cast<std::uintptr_t>(module); }
HMODULE moduleOf(std::uintptr_t id) { return reinterpret_cast<HMODULE>(id); }

// A device path with '\\' separators and no leading one, for comparing names.
std::u16string comparablePath(std::u16string_view path) {
  std::u16string result(path);
  for (char16_t &c : result)
    if (c == u'/')
      c = u'\\';
  const auto start = result.find_first_not_of(u'\\');
  return start == std::u16string::npos ? std::u16string() : result.substr(start);
}

void setError(DWORD *error, DWORD code) {
  if (error)
    *error = code;
}

} // namespace

LibraryLoader &LibraryLoader::instance() {
  // Lives until exit: threads and libraries may still use it while statics are destroyed.
  static LibraryLoader *loader = new LibraryLoader;
  return *loader;
}

HMODULE LibraryLoader::programModule() { return moduleOf(programModuleValue); }

std::optional<HMODULE> LibraryLoader::systemModule(std::u16string_view name) {
  std::u16string wanted = comparablePath(name);
  if (LibrarySearch::fileName(wanted).find(u'.') == std::u16string_view::npos)
    wanted += u".dll";
  const std::u16string_view file = LibrarySearch::fileName(wanted);
  // A bare name, or the library's place in \Windows.
  if (file.size() != wanted.size() &&
      !equalsIgnoreCase(std::u16string_view(wanted).substr(0, wanted.size() - file.size()),
                        u"Windows\\"))
    return std::nullopt;
  for (const SystemLibrary &library : kSystemLibraries)
    if (equalsIgnoreCase(file, library.fileName))
      return moduleOf(library.value);
  return std::nullopt;
}

const char16_t *LibraryLoader::systemLibraryPath(HMODULE module) {
  for (const SystemLibrary &library : kSystemLibraries)
    if (idOf(module) == library.value)
      return library.devicePath.data();
  return nullptr;
}

void *LibraryLoader::platformSymbol(const char *name) {
  static const auto platform = []() -> std::pair<void *, void *> {
    Dl_info info{};
    void *linkMap = nullptr;
    if (dladdr1(reinterpret_cast<void *>(&LibraryLoader::programModule), &info, &linkMap,
                RTLD_DL_LINKMAP) == 0 ||
        !info.dli_fname)
      return {nullptr, nullptr};
    return {dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD), linkMap};
  }();
  if (!platform.first)
    return nullptr;
  void *address = dlsym(platform.first, name);
  Dl_info info{};
  void *owner = nullptr;
  if (!address || dladdr1(address, &info, &owner, RTLD_DL_LINKMAP) == 0 || owner != platform.second)
    return nullptr;
  return address;
}

void *LibraryLoader::openCopy(int descriptor) {
  // The copy's descriptor stays open for the life of the process: its image is never unmapped,
  // and its name (/proc/self/fd/N) must never come back for another image.
  const int copy = static_cast<int>(::memfd_create("device-library", MFD_CLOEXEC));
  if (copy < 0)
    return nullptr;
  off_t offset = 0;
  struct stat status {};
  bool copied = fstat(descriptor, &status) == 0;
  while (copied && offset < status.st_size) {
    const ssize_t sent =
        ::sendfile(copy, descriptor, &offset, static_cast<std::size_t>(status.st_size - offset));
    if (sent < 0 && errno == EINTR)
      continue;
    copied = sent > 0;
  }
  void *host =
      copied ? dlopen(("/proc/self/fd/" + std::to_string(copy)).c_str(), RTLD_NOW | RTLD_LOCAL)
             : nullptr;
  if (!host)
    ::close(copy);
  return host;
}

void *LibraryLoader::ownSymbol(const Library &library, const char *name) {
  void *address = dlsym(library.host, name);
  if (!address)
    return nullptr;
  Dl_info info{};
  void *owner = nullptr;
  if (dladdr1(address, &info, &owner, RTLD_DL_LINKMAP) == 0 || owner != library.linkMap)
    return nullptr;
  return address;
}

bool LibraryLoader::callEntryPoint(const Library &library, std::uintptr_t id, DWORD reason) {
  auto *entry = reinterpret_cast<DLLMAIN_FUNCTION>(ownSymbol(library, "DllMain"));
  if (!entry)
    return true;
  try {
    return entry(moduleOf(id), reason, nullptr) != FALSE;
  } catch (...) {
    return false; // nothing crosses the platform API, a library's exception included
  }
}

HMODULE LibraryLoader::load(std::u16string_view name, DWORD *error) {
  if (auto system = systemModule(name))
    return *system; // loaded in every process: nothing to count
  std::lock_guard lock(mutex_);
  DWORD code = ERROR_SUCCESS;
  auto location = LibrarySearch::find(name, &code);
  if (!location) {
    setError(error, code);
    return nullptr;
  }

  const int descriptor = open(location->hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    setError(error, errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    setError(error, ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  for (auto &[id, library] : libraries_) {
    if (library.device == status.st_dev && library.inode == status.st_ino) {
      close(descriptor);
      ++library.references;
      return moduleOf(id);
    }
  }
  code = ElfImageCheck::checkFile(descriptor);
  if (code != ERROR_SUCCESS) {
    close(descriptor);
    setError(error, code);
    return nullptr;
  }

  Library library;
  // The host loader would hand back an image it still has mapped for this path or file, with
  // the statics (and, for a replaced file, the code) of that earlier load: such a file gets a
  // fresh image, loaded from a private copy.
  const bool mappedBefore =
      std::any_of(images_.begin(), images_.end(), [&](const MappedImage &image) {
        return image.hostPath == location->hostPath.native() ||
               (image.device == status.st_dev && image.inode == status.st_ino);
      });
  library.host = mappedBefore ? openCopy(descriptor)
                              : dlopen(location->hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  close(descriptor);
  if (!library.host) {
    setError(error, ERROR_BAD_FORMAT);
    return nullptr;
  }
  if (dlinfo(library.host, RTLD_DI_LINKMAP, &library.linkMap) != 0) {
    dlclose(library.host);
    setError(error, ERROR_BAD_FORMAT);
    return nullptr;
  }
  images_.push_back(MappedImage{location->hostPath.native(), status.st_dev, status.st_ino});
  library.device = status.st_dev;
  library.inode = status.st_ino;
  library.devicePath = std::move(location->devicePath);
  library.references = 1;

  lastId_ = lastId_ == 0 ? programModuleValue + moduleStride : lastId_ + moduleStride;
  const std::uintptr_t id = lastId_;
  // In the table before DllMain runs, so that the library may load itself again from there.
  auto &entry = libraries_.emplace(id, std::move(library)).first->second;
  const Library attached = entry;
  if (!callEntryPoint(attached, id, DLL_PROCESS_ATTACH)) {
    // Its code has run and may have left a thread behind: refused, but kept mapped (see free).
    libraries_.erase(id);
    setError(error, ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  return moduleOf(id);
}

bool LibraryLoader::free(HMODULE module, DWORD *error) {
  std::lock_guard lock(mutex_);
  if (idOf(module) == programModuleValue || systemLibraryPath(module))
    return true;
  auto it = libraries_.find(idOf(module));
  if (it == libraries_.end()) {
    setError(error, ERROR_INVALID_HANDLE);
    return false;
  }
  if (--it->second.references > 0)
    return true;
  // Out of the table first: calls from the detaching DllMain no longer see it.
  const Library library = std::move(it->second);
  libraries_.erase(it);
  callEntryPoint(library, idOf(module), DLL_PROCESS_DETACH);
  // The image stays mapped (no dlclose): a thread the library started, a window procedure or a
  // callback it handed out may still run its code, and nothing here can prove otherwise.
  return true;
}

void *LibraryLoader::procAddress(HMODULE module, std::string_view name, DWORD *error) {
  if (systemLibraryPath(module)) {
    const std::string terminated(name);
    void *address = terminated.empty() || terminated.find('\0') != std::string::npos
                        ? nullptr
                        : platformSymbol(terminated.c_str());
    if (!address)
      setError(error, ERROR_PROC_NOT_FOUND);
    return address;
  }
  std::lock_guard lock(mutex_);
  auto it = libraries_.find(idOf(module));
  if (it == libraries_.end()) {
    setError(error, ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const std::string terminated(name);
  void *address = terminated.empty() || terminated.find('\0') != std::string::npos
                      ? nullptr
                      : ownSymbol(it->second, terminated.c_str());
  if (!address)
    setError(error, ERROR_PROC_NOT_FOUND);
  return address;
}

HMODULE LibraryLoader::find(std::u16string_view name) const {
  if (auto system = systemModule(name))
    return *system;
  std::u16string wanted = comparablePath(name);
  if (wanted.empty())
    return nullptr;
  if (LibrarySearch::fileName(wanted).find(u'.') == std::u16string_view::npos)
    wanted += u".dll";
  const bool bare = LibrarySearch::fileName(wanted).size() == wanted.size();
  std::lock_guard lock(mutex_);
  for (const auto &[id, library] : libraries_) {
    const std::u16string path = comparablePath(library.devicePath);
    const std::u16string_view candidate =
        bare ? LibrarySearch::fileName(path) : std::u16string_view(path);
    if (equalsIgnoreCase(candidate, wanted))
      return moduleOf(id);
  }
  return nullptr;
}

std::optional<std::u16string> LibraryLoader::devicePath(HMODULE module) const {
  if (const char16_t *system = systemLibraryPath(module))
    return std::u16string(system);
  std::lock_guard lock(mutex_);
  auto it = libraries_.find(idOf(module));
  if (it == libraries_.end())
    return std::nullopt;
  return it->second.devicePath;
}

std::size_t LibraryLoader::references(HMODULE module) const {
  if (systemLibraryPath(module))
    return 1;
  std::lock_guard lock(mutex_);
  auto it = libraries_.find(idOf(module));
  return it == libraries_.end() ? 0 : it->second.references;
}

} // namespace ce
