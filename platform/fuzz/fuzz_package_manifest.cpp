// Package manifests as `device install` reads them: arbitrary bytes give a manifest whose paths
// all stay in their places, or a refusal with a message, and never a crash.
#include "../src/packages/package_manifest.h"

#include <cstdint>
#include <string_view>

namespace {

bool staysOnDevice(const std::u16string &path) {
  if (path.empty() || path.front() != u'\\')
    return false;
  // Normalized: no "." or ".." components, no empty ones, no forward slashes.
  std::size_t start = 1;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos)
      end = path.size();
    const std::u16string_view part(path.data() + start, end - start);
    if ((part.empty() && path.size() > 1) || part == u"." || part == u"..")
      return false;
    start = end + 1;
  }
  return path.find(u'/') == std::u16string::npos;
}

// A package path: relative, '/' separated, no empty, "." or ".." components.
bool staysInPackage(const std::string &path) {
  if (path.empty() || path.front() == '/' || path.find('\\') != std::string::npos)
    return false;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos)
      end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (part.empty() || part == "." || part == "..")
      return false;
    start = end + 1;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string error;
  const auto manifest =
      ce::PackageManifest::parse(std::string_view(reinterpret_cast<const char *>(data), size), &error);
  if (!manifest) {
    if (error.empty())
      __builtin_trap();
    return 0;
  }
  if (manifest->name().empty() || !staysOnDevice(manifest->directory()))
    __builtin_trap();
  if (manifest->setup() && !staysInPackage(*manifest->setup()))
    __builtin_trap();
  for (const auto &file : manifest->files()) {
    if (!staysInPackage(file.source))
      __builtin_trap();
    for (std::u16string_view directory : {std::u16string_view(u"\\Program Files\\X"),
                                          std::u16string_view(u"\\")}) {
      std::string reason;
      const auto destination =
          ce::PackageManifest::destinationFor(file, std::u16string(directory), &reason);
      if (destination ? !staysOnDevice(*destination) : reason.empty())
        __builtin_trap();
    }
  }
  return 0;
}
