#include "packages/package_manifest.h"

#include <ce/core/device_path.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/types.h>

#include <fstream>
#include <set>

namespace ce {
namespace {

constexpr std::string_view kArrow = " -> ";
// A registry key name holds at most 255 units; the name is also a file name.
constexpr std::size_t kLongestName = 255;

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// Valid UTF-8 converts to UTF-16 and back unchanged; anything else would come back with
// replacement characters where the bad bytes were.
bool validUtf8(std::string_view text) { return ce::toUtf8(ce::toUtf16(text)) == text; }

std::string quote(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 2);
  result += '\'';
  result += text;
  result += '\'';
  return result;
}

std::string quote(std::u16string_view text) { return quote(ce::toUtf8(text)); }

std::string describe(DWORD code) {
  switch (code) {
  case ERROR_INVALID_NAME:
    return "holds a character that device names cannot have";
  case ERROR_FILENAME_EXCED_RANGE:
    return "has a name that is too long";
  default:
    return "is refused (error " + std::to_string(code) + ")";
  }
}

// A package path: relative, '/' or '\' separated, no "..", no empty or control-laden names.
std::optional<std::string> packagePath(std::string_view text, std::string *error) {
  if (text.empty()) {
    *error = "names no file";
    return std::nullopt;
  }
  if (text.front() == '/' || text.front() == '\\') {
    *error = quote(text) + " is not relative to the package folder";
    return std::nullopt;
  }
  std::string result;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("/\\", start);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view part = text.substr(start, end - start);
    if (part == "..") {
      *error = quote(text) + " leaves the package folder";
      return std::nullopt;
    }
    if (!part.empty() && part != ".") {
      for (char c : part) {
        if (static_cast<unsigned char>(c) < 0x20) {
          *error = quote(text) + " holds a control character";
          return std::nullopt;
        }
      }
      if (!result.empty())
        result += '/';
      result += part;
    }
    start = end + 1;
  }
  if (result.empty()) {
    *error = quote(text) + " names no file";
    return std::nullopt;
  }
  return result;
}

std::u16string replaceAll(std::u16string text, std::u16string_view what,
                          std::u16string_view with) {
  std::size_t at = 0;
  while ((at = text.find(what, at)) != std::u16string::npos) {
    text.replace(at, what.size(), with);
    at += with.size();
  }
  return text;
}

} // namespace

std::optional<std::u16string> PackageManifest::normalizeDevicePath(std::u16string_view path,
                                                                   std::string *error) {
  std::vector<std::u16string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of(u"\\/", start);
    if (end == std::u16string_view::npos)
      end = path.size();
    const std::u16string_view part = path.substr(start, end - start);
    if (part == u"..") {
      if (parts.empty()) {
        *error = quote(path) + " climbs above the device's root";
        return std::nullopt;
      }
      parts.pop_back();
    } else if (!part.empty() && part != u".") {
      if (const DWORD bad = DevicePath::checkName(part); bad != ERROR_SUCCESS) {
        *error = quote(path) + " " + describe(bad);
        return std::nullopt;
      }
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::u16string result;
  for (const auto part : parts) {
    result += u'\\';
    result += part;
  }
  if (result.empty())
    result.push_back(u'\\');
  if (result.size() >= MAX_PATH) {
    *error = quote(path) + " is longer than the device's paths may be";
    return std::nullopt;
  }
  return result;
}

bool PackageManifest::validName(std::u16string_view name, std::string *error) {
  if (name.empty()) {
    *error = "the name is empty";
    return false;
  }
  if (name.size() > kLongestName) {
    *error = "the name is longer than " + std::to_string(kLongestName) + " characters";
    return false;
  }
  if (name == u"." || name == u"..") {
    *error = "the name " + quote(name) + " is refused";
    return false;
  }
  if (const DWORD bad = DevicePath::checkName(name); bad != ERROR_SUCCESS) {
    *error = "the name " + quote(name) + " " + describe(bad);
    return false;
  }
  return true;
}

std::optional<std::u16string> PackageManifest::destinationFor(const File &file,
                                                              std::u16string_view installDirectory,
                                                              std::string *error) {
  std::string reason;
  auto path =
      normalizeDevicePath(replaceAll(file.destination, kInstallDirectory, installDirectory), &reason);
  if (!path) {
    *error = "line " + std::to_string(file.line) + ": the destination " + reason;
    return std::nullopt;
  }
  if (*path == u"\\") {
    *error = "line " + std::to_string(file.line) + ": the destination names no file";
    return std::nullopt;
  }
  return path;
}

std::optional<PackageManifest> PackageManifest::parse(std::string_view text, std::string *error) {
  const auto fail = [&](int line, const std::string &message) {
    *error = "line " + std::to_string(line) + ": " + message;
    return std::nullopt;
  };
  if (text.size() > kMaximumBytes) {
    *error = "the manifest is larger than " + std::to_string(kMaximumBytes) + " bytes";
    return std::nullopt;
  }
  if (text.find('\0') != std::string_view::npos) {
    *error = "the manifest holds a NUL byte";
    return std::nullopt;
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF")
    text.remove_prefix(3);

  PackageManifest manifest;
  bool haveName = false, haveDirectory = false;
  std::set<std::u16string> destinations; // folded, to find two files with one destination
  int number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view line = trim(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (line.empty() || line.front() == '#')
      continue;
    if (!validUtf8(line))
      return fail(number, "the text is not valid UTF-8");
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
      return fail(number, "expected key=value, not '" + std::string(line) + "'");
    const std::string key(trim(line.substr(0, equals)));
    const std::string_view value = trim(line.substr(equals + 1));

    if (key == "name") {
      if (haveName)
        return fail(number, "a second name line");
      std::string reason;
      manifest.name_ = ce::toUtf16(value);
      if (!validName(manifest.name_, &reason))
        return fail(number, reason);
      haveName = true;
    } else if (key == "directory") {
      if (haveDirectory)
        return fail(number, "a second directory line");
      const std::u16string given = ce::toUtf16(value);
      if (given.empty())
        return fail(number, "the installation directory is empty");
      if (given.find(kInstallDirectory) != std::u16string::npos)
        return fail(number, "the installation directory cannot hold " +
                                ce::toUtf8(kInstallDirectory));
      std::string reason;
      auto directory = normalizeDevicePath(given, &reason);
      if (!directory)
        return fail(number, "the installation directory " + reason);
      manifest.directory_ = *directory;
      haveDirectory = true;
    } else if (key == "setup") {
      if (manifest.setup_)
        return fail(number, "a second setup line");
      std::string reason;
      auto path = packagePath(value, &reason);
      if (!path)
        return fail(number, "the setup library " + reason);
      manifest.setup_ = *path;
    } else if (key == "file") {
      // The value's trailing spaces are gone: "a.txt ->" has an arrow and no destination.
      const std::string padded = std::string(value) + ' ';
      const auto arrow = padded.find(kArrow);
      if (arrow == std::string::npos)
        return fail(number, "a file line needs SOURCE -> DESTINATION");
      std::string reason;
      auto source = packagePath(trim(std::string_view(padded).substr(0, arrow)), &reason);
      if (!source)
        return fail(number, "the source " + reason);
      File file{*source, ce::toUtf16(trim(std::string_view(padded).substr(arrow + kArrow.size()))),
                number};
      if (file.destination.empty())
        return fail(number, "the destination is empty");
      manifest.files_.push_back(std::move(file));
    } else {
      return fail(number, "unknown key '" + key + "' (name, directory, setup or file)");
    }
  }
  if (!haveName) {
    *error = "the manifest has no name line";
    return std::nullopt;
  }
  if (!haveDirectory) {
    *error = "the manifest has no directory line";
    return std::nullopt;
  }
  // Destinations are checked once the default directory is known, so that a file line may come
  // before the directory line.
  for (const File &file : manifest.files_) {
    auto destination = destinationFor(file, manifest.directory_, error);
    if (!destination)
      return std::nullopt;
    if (!destinations.insert(ce::foldCase(*destination)).second)
      return fail(file.line, "a second file goes to " + quote(*destination));
  }
  return manifest;
}

std::optional<PackageManifest> PackageManifest::read(const std::filesystem::path &package,
                                                     std::string *error) {
  const auto path = package / kFileName;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    *error = path.string() + " does not exist";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path.string();
    return std::nullopt;
  }
  std::string text(kMaximumBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  std::string reason;
  auto manifest = parse(text, &reason);
  if (!manifest)
    *error = path.string() + ": " + reason;
  return manifest;
}

} // namespace ce
