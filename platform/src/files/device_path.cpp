#include "files/directory_case_index.h"
#include "files/root_real_path.h"

#include <ce/core/device_path.h>
#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/errors.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <deque>
#include <system_error>
#include <vector>

namespace ce {
namespace {

constexpr std::size_t maxDevicePathUnits = MAX_PATH - 1;
constexpr std::size_t maxHostNameBytes = 255;
constexpr int maxLinksFollowed = 40;

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

void report(DWORD* error, DWORD code) {
  if (error) *error = code;
}

// One component waiting to be looked up. Components of the device path were checked as device
// names; those that come from a link's target are host names and taken as they are.
struct PendingName {
  std::string hostName;
};

std::string joinHost(const std::string& root, const std::vector<std::string>& parts,
                     std::size_t count) {
  std::string path = root;
  for (std::size_t i = 0; i < count; ++i) {
    path += '/';
    path += parts[i];
  }
  return path;
}

// Looks `name` up in `directory`: the exact name first, then the first entry (bytewise order)
// equal to it without regard to case, as the directory's case index tells. Returns the host
// name found and its lstat, or nothing with errno-style code in *hostError (ENOENT when no entry
// matches).
std::optional<std::string> findEntry(const std::string& directory, const std::string& name,
                                     struct stat* info, int* hostError) {
  const std::string exact = directory + "/" + name;
  if (::lstat(exact.c_str(), info) == 0) return name;
  if (errno != ENOENT) {
    *hostError = errno;
    return std::nullopt;
  }
  auto& index = DirectoryCaseIndex::instance();
  // A name the kept index gives that is gone since sends the lookup back to the directory.
  for (const bool fresh : {false, true}) {
    auto found = index.find(directory, name, hostError, fresh);
    if (!found) return std::nullopt;
    if (::lstat((directory + "/" + *found).c_str(), info) == 0) return found;
    if (errno != ENOENT) {
      *hostError = errno;
      return std::nullopt;
    }
  }
  *hostError = ENOENT;
  return std::nullopt;
}

// The device's fs/ folder with every host link resolved, and as configured.
std::shared_ptr<const RootRealPath::Paths> rootPaths(DWORD* error) {
  const std::filesystem::path root = DeviceRoot::path();
  if (root.empty()) {
    report(error, ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  int hostError = 0;
  auto paths = RootRealPath::instance().of(root / "fs", &hostError);
  if (!paths) report(error, ERROR_PATH_NOT_FOUND);
  return paths;
}

// Splits a host path (a link's target) into components; absolute targets must lie inside the
// root (compared lexically against both the canonical and the configured fs/ path).
bool linkTargetComponents(const std::string& target, const std::string& canonicalRoot,
                          const std::string& configuredRoot, std::deque<PendingName>* out,
                          bool* absolute) {
  std::string_view rest(target);
  *absolute = !rest.empty() && rest.front() == '/';
  if (*absolute) {
    auto stripRoot = [&](const std::string& root) {
      if (root.empty() || rest.substr(0, root.size()) != root) return false;
      if (rest.size() > root.size() && rest[root.size()] != '/') return false;
      rest.remove_prefix(root.size());
      return true;
    };
    if (!stripRoot(canonicalRoot) && !stripRoot(configuredRoot)) return false;
  }
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find('/', start);
    if (end == std::string_view::npos) end = rest.size();
    if (end > start) out->push_back({std::string(rest.substr(start, end - start))});
    start = end + 1;
  }
  return true;
}

} // namespace

DWORD DevicePath::checkName(std::u16string_view name, bool wildcards) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c < 0x20) return ERROR_INVALID_NAME;
    switch (c) {
    case u'<':
    case u'>':
    case u':':
    case u'"':
    case u'|':
    case u'\\':
    case u'/':
      return ERROR_INVALID_NAME;
    case u'*':
    case u'?':
      if (!wildcards) return ERROR_INVALID_NAME;
      break;
    default:
      break;
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF)
        return ERROR_INVALID_NAME;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return ERROR_INVALID_NAME;
    }
  }
  if (toUtf8(name).size() > maxHostNameBytes) return ERROR_FILENAME_EXCED_RANGE;
  return ERROR_SUCCESS;
}

std::optional<std::filesystem::path> DevicePath::fileSystemRoot(DWORD* error) {
  const auto paths = rootPaths(error);
  if (!paths) return std::nullopt;
  return paths->real;
}

std::optional<DevicePath::Resolution> DevicePath::resolve(std::u16string_view devicePath,
                                                          DWORD* error, LastLink lastLink) {
  if (devicePath.empty()) {
    report(error, ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  if (devicePath.size() > maxDevicePathUnits) {
    report(error, ERROR_FILENAME_EXCED_RANGE);
    return std::nullopt;
  }

  Resolution result;
  result.trailingSeparator = isSeparator(devicePath.back());

  // Split and check the device components before touching the host.
  std::deque<PendingName> pending;
  std::size_t start = 0;
  while (start <= devicePath.size()) {
    std::size_t end = start;
    while (end < devicePath.size() && !isSeparator(devicePath[end])) ++end;
    if (end > start) {
      const auto name = devicePath.substr(start, end - start);
      if (DWORD bad = checkName(name); bad != ERROR_SUCCESS) {
        report(error, bad);
        return std::nullopt;
      }
      pending.push_back({toUtf8(name)});
    }
    start = end + 1;
  }

  DWORD rootError = ERROR_SUCCESS;
  const auto root = rootPaths(&rootError);
  if (!root) {
    report(error, rootError);
    return std::nullopt;
  }
  const std::string& canonicalRoot = root->realText;
  const std::string& configuredRoot = root->configuredText;

  std::vector<std::string> parts; // host names below the root, every one a real directory
  int linksFollowed = 0;
  bool lastIsLink = false;
  bool lastIsDirectory = true; // the root
  bool lastExists = true;
  unsigned lastMode = 0;

  while (!pending.empty()) {
    std::string name = std::move(pending.front().hostName);
    pending.pop_front();
    const bool isLast = pending.empty();
    lastIsLink = false;
    lastMode = 0;
    if (name == ".") {
      lastIsDirectory = true;
      continue;
    }
    if (name == "..") {
      if (parts.empty()) {
        report(error, ERROR_ACCESS_DENIED);
        return std::nullopt;
      }
      parts.pop_back();
      lastIsDirectory = true;
      continue;
    }
    if (name.size() > maxHostNameBytes) {
      report(error, ERROR_FILENAME_EXCED_RANGE);
      return std::nullopt;
    }
    const std::string directory = joinHost(canonicalRoot, parts, parts.size());
    struct stat info {};
    int hostError = 0;
    auto found = findEntry(directory, name, &info, &hostError);
    if (!found) {
      if (hostError == ENOENT && isLast) {
        parts.push_back(std::move(name));
        lastExists = false;
        lastIsDirectory = false;
        break;
      }
      report(error, hostError == ENOENT || hostError == ENOTDIR ? ERROR_PATH_NOT_FOUND
                    : hostError == ENAMETOOLONG                 ? ERROR_FILENAME_EXCED_RANGE
                                                                : ERROR_ACCESS_DENIED);
      return std::nullopt;
    }
    if (S_ISLNK(info.st_mode) && (!isLast || lastLink == LastLink::Follow)) {
      if (++linksFollowed > maxLinksFollowed) {
        report(error, ERROR_PATH_NOT_FOUND);
        return std::nullopt;
      }
      const std::string linkPath = directory + "/" + *found;
      std::vector<char> target(PATH_MAX + 1);
      const ssize_t length = ::readlink(linkPath.c_str(), target.data(), PATH_MAX);
      if (length <= 0) {
        report(error, ERROR_PATH_NOT_FOUND);
        return std::nullopt;
      }
      std::deque<PendingName> targetNames;
      bool absolute = false;
      if (!linkTargetComponents(std::string(target.data(), static_cast<std::size_t>(length)),
                                canonicalRoot, configuredRoot, &targetNames, &absolute)) {
        report(error, ERROR_ACCESS_DENIED);
        return std::nullopt;
      }
      if (absolute) parts.clear();
      // A link to the root itself (or to ".") leaves nothing to look up; keep the walk going.
      if (targetNames.empty()) targetNames.push_back({"."});
      pending.insert(pending.begin(), std::make_move_iterator(targetNames.begin()),
                     std::make_move_iterator(targetNames.end()));
      continue;
    }
    if (!isLast && !S_ISDIR(info.st_mode)) {
      report(error, ERROR_PATH_NOT_FOUND);
      return std::nullopt;
    }
    parts.push_back(std::move(*found));
    lastIsLink = S_ISLNK(info.st_mode);
    lastIsDirectory = S_ISDIR(info.st_mode);
    lastExists = true;
    lastMode = info.st_mode;
  }

  result.hostPath = joinHost(canonicalRoot, parts, parts.size());
  result.exists = lastExists;
  result.isDirectory = lastExists && lastIsDirectory;
  result.isLink = lastExists && lastIsLink;
  result.hostMode = lastExists ? lastMode : 0;
  result.isRoot = parts.empty();
  report(error, ERROR_SUCCESS);
  return result;
}

std::optional<std::filesystem::path> DevicePath::toHost(std::u16string_view devicePath,
                                                        DWORD* error) {
  auto resolved = resolve(devicePath, error, LastLink::Follow);
  if (!resolved) return std::nullopt;
  return std::move(resolved->hostPath);
}

std::optional<std::u16string> DevicePath::toDevice(const std::filesystem::path& hostPath,
                                                   DWORD* error) {
  DWORD rootError = ERROR_SUCCESS;
  const auto root = fileSystemRoot(&rootError);
  if (!root) {
    report(error, rootError);
    return std::nullopt;
  }
  std::error_code ec;
  auto full = std::filesystem::weakly_canonical(std::filesystem::absolute(hostPath, ec), ec);
  if (ec) {
    report(error, ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  auto rootIt = root->begin();
  auto fullIt = full.begin();
  for (; rootIt != root->end(); ++rootIt, ++fullIt) {
    if (fullIt == full.end() || *fullIt != *rootIt) {
      report(error, ERROR_ACCESS_DENIED);
      return std::nullopt;
    }
  }
  std::u16string device(1, u'\\');
  for (; fullIt != full.end(); ++fullIt) {
    const std::string part = fullIt->string();
    if (part.empty() || part == ".") continue; // a trailing '/' leaves an empty element
    if (device.size() > 1) device += u'\\';
    device += toUtf16(part);
  }
  report(error, ERROR_SUCCESS);
  return device;
}

} // namespace ce
