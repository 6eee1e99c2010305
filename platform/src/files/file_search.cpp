#include "files/file_search.h"
#include "files/file_attributes.h"
#include "files/host_error.h"
#include "files/wildcard_pattern.h"

#include <ce/core/device_path.h>
#include <ce/core/utf.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace ce {
namespace {

struct HostInfo {
  mode_t mode = 0;
  std::uint64_t size = 0;
  std::uint64_t inode = 0;
  timespec created{}, accessed{}, written{};
};

// The entry's information, read relative to its open directory so that the host walks one
// component rather than the whole path.
bool hostInfo(int directory, const char* name, bool followLink, HostInfo* out) {
  struct statx info {};
  const int flags = followLink ? 0 : AT_SYMLINK_NOFOLLOW;
  if (::statx(directory, name, flags, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) return false;
  auto toTimespec = [](const statx_timestamp& t) {
    return timespec{static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)};
  };
  out->mode = info.stx_mode;
  out->size = info.stx_size;
  out->inode = info.stx_ino;
  out->accessed = toTimespec(info.stx_atime);
  out->written = toTimespec(info.stx_mtime);
  // Host file systems without birth times report the last write as the creation.
  out->created = (info.stx_mask & STATX_BTIME) ? toTimespec(info.stx_btime) : out->written;
  return true;
}

// True when a link's target, with every host link resolved, lies inside the root.
bool linkStaysInside(const std::string& linkPath, const std::string& root) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(linkPath.c_str(), nullptr),
                                                   &std::free);
  if (!real) return false;
  const std::string_view target(real.get());
  return target == root || (target.size() > root.size() && target.substr(0, root.size()) == root &&
                            target[root.size()] == '/');
}

} // namespace

std::optional<std::vector<WIN32_FIND_DATAW>>
FileSearch::collect(const std::filesystem::path& directory, std::u16string_view pattern,
                    DWORD* error) {
  const auto root = DevicePath::fileSystemRoot(error);
  if (!root) return std::nullopt;
  const std::string rootText = root->string();

  DIR* dir = ::opendir(directory.c_str());
  if (!dir) {
    *error = win32ErrorFromErrno(errno, ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  const int directoryFd = ::dirfd(dir);
  const WildcardPattern matcher(pattern);
  // The records as read, and their sort keys (folded name, then the name) by index, so that the
  // sort moves small entries rather than whole records.
  std::vector<WIN32_FIND_DATAW> found;
  std::vector<std::pair<std::u16string, std::size_t>> order;
  while (dirent* entry = ::readdir(dir)) {
    const std::string_view hostName(entry->d_name);
    if (hostName == "." || hostName == "..") continue;
    std::u16string name = toUtf16(hostName);
    // Host names that are not valid UTF-8, or too long for the record, cannot be named from
    // the device; they are left out rather than shown under a mangled name.
    if (name.size() >= MAX_PATH || toUtf8(name) != hostName) continue;
    if (!matcher.matches(name)) continue;

    HostInfo info;
    if (!hostInfo(directoryFd, entry->d_name, false, &info)) continue; // vanished meanwhile
    // A link shows what it points to when that lies inside fs/; otherwise (outside, dangling)
    // only the link itself is shown, so nothing about the host leaks through it.
    if (S_ISLNK(info.mode) &&
        linkStaysInside(directory.string() + "/" + std::string(hostName), rootText)) {
      HostInfo targetInfo;
      if (hostInfo(directoryFd, entry->d_name, true, &targetInfo)) info = targetInfo;
    }
    WIN32_FIND_DATAW& data = found.emplace_back();
    data.dwFileAttributes = attributesFromHost(info.mode);
    data.ftCreationTime = fileTimeFromHost(info.created);
    data.ftLastAccessTime = fileTimeFromHost(info.accessed);
    data.ftLastWriteTime = fileTimeFromHost(info.written);
    const std::uint64_t size = S_ISREG(info.mode) ? info.size : 0;
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    data.dwOID = static_cast<DWORD>(info.inode);
    std::copy(name.begin(), name.end(), data.cFileName);
    data.cFileName[name.size()] = 0;
    order.emplace_back(foldCase(name), order.size());
  }
  ::closedir(dir);
  std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return std::u16string_view(found[a.second].cFileName) <
           std::u16string_view(found[b.second].cFileName);
  });
  std::vector<WIN32_FIND_DATAW> results;
  results.reserve(found.size());
  for (const auto& [key, index] : order) results.push_back(found[index]);
  *error = ERROR_SUCCESS;
  return results;
}

FileSearch::FileSearch(std::vector<WIN32_FIND_DATAW> results) : results_(std::move(results)) {}

bool FileSearch::next(WIN32_FIND_DATAW* data) {
  std::lock_guard lock(mutex_);
  if (next_ >= results_.size()) return false;
  *data = results_[next_++];
  return true;
}

} // namespace ce
