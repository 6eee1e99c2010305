// The description of an installable package: the manifest.txt at the top of a package folder,
// which `device install` reads.
//
// The text is UTF-8 (a leading byte-order mark is skipped), one `key=value` per line; blank
// lines and lines starting with '#' are ignored, spaces and tabs around keys and values are not
// part of them, and a line may end in CR LF. Keys:
//   name=APPLICATION        once; the installation's name (a registry key name, so no '\')
//   directory=DEVICEPATH    once; the default installation directory
//   setup=RELATIVEPATH      at most once; the setup library inside the package folder
//   file=SOURCE -> DEST     any number; SOURCE inside the package folder, DEST a device path in
//                           which %INSTALLDIR% stands for the chosen installation directory
// The separator of a file line is its first " -> ", so device paths may hold spaces.
//
// Everything a package could use to reach outside its places is refused while reading, before
// anything is installed: a package path that is absolute or has a ".." component, a device path
// whose ".." would climb above the device's root, names with characters the device's file system
// refuses, an unknown or repeated key, two files with the same destination (compared without
// regard to case), invalid UTF-8 or a NUL byte. Errors are one line that names the line number.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

class PackageManifest {
public:
  struct File {
    std::string source;         // relative to the package folder, '/' separated, UTF-8
    std::u16string destination; // as written, %INSTALLDIR% not yet replaced
    int line = 0;               // where the manifest names it
  };

  // The manifest's file name inside a package folder.
  static constexpr const char *kFileName = "manifest.txt";
  // Longest manifest read; longer files are refused rather than read into memory.
  static constexpr std::size_t kMaximumBytes = 1 << 20;
  static constexpr std::u16string_view kInstallDirectory = u"%INSTALLDIR%";

  // Parses manifest text. Nothing and a one-line *error on refusal.
  static std::optional<PackageManifest> parse(std::string_view text, std::string *error);
  // Reads and parses the manifest of the package folder `package`.
  static std::optional<PackageManifest> read(const std::filesystem::path &package,
                                             std::string *error);

  // A device path reduced to its canonical form "\A\B" ('/' taken as '\', empty and "."
  // components dropped, ".." applied); nothing and *error when ".." climbs above the root, a
  // component has a refused character or length, or the result is too long for the device.
  static std::optional<std::u16string> normalizeDevicePath(std::u16string_view path,
                                                           std::string *error);
  // Whether `name` can be an installation's name (a registry key name and a file name).
  static bool validName(std::u16string_view name, std::string *error);

  // The device path a file goes to when the package is installed in `installDirectory` (a
  // normalized device path); nothing and *error when the result is refused as above.
  static std::optional<std::u16string> destinationFor(const File &file,
                                                      std::u16string_view installDirectory,
                                                      std::string *error);

  const std::u16string &name() const { return name_; }
  const std::u16string &directory() const { return directory_; } // normalized
  const std::optional<std::string> &setup() const { return setup_; }
  const std::vector<File> &files() const { return files_; }

private:
  std::u16string name_;
  std::u16string directory_;
  std::optional<std::string> setup_;
  std::vector<File> files_;
};

} // namespace ce
