#include "files/directory_case_index.h"

#include <ce/core/utf.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>

namespace ce {

namespace {

bool isAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80)
      return false;
  return true;
}

// Nanoseconds since 1970 on the clock that stamps file times.
std::int64_t wallClockNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::int64_t nanoseconds(std::int64_t seconds, std::int64_t fraction) {
  return seconds * 1000000000 + fraction;
}

} // namespace

DirectoryCaseIndex &DirectoryCaseIndex::instance() {
  static auto *index = new DirectoryCaseIndex; // lives until exit; other threads may still call
  return *index;
}

std::string DirectoryCaseIndex::foldedName(std::string_view hostName) {
  if (isAscii(hostName)) {
    std::string folded(hostName);
    for (char &c : folded)
      if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 'a');
    return folded;
  }
  return toUtf8(foldCase(toUtf16(hostName)));
}

bool DirectoryCaseIndex::readStamp(const std::string &directory, Stamp *stamp, int *hostError) {
  struct stat info {};
  if (::stat(directory.c_str(), &info) != 0) {
    *hostError = errno;
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    *hostError = ENOTDIR;
    return false;
  }
  stamp->device = info.st_dev;
  stamp->inode = info.st_ino;
  stamp->changedSeconds = info.st_ctim.tv_sec;
  stamp->changedNanoseconds = info.st_ctim.tv_nsec;
  stamp->modifiedSeconds = info.st_mtim.tv_sec;
  stamp->modifiedNanoseconds = info.st_mtim.tv_nsec;
  return true;
}

bool DirectoryCaseIndex::readNames(const std::string &directory, Names *names, int *hostError) {
  DIR *dir = ::opendir(directory.c_str());
  if (!dir) {
    *hostError = errno;
    return false;
  }
  while (dirent *entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..")
      continue;
    // Names that are not valid UTF-8 cannot be named from the device; leaving them out keeps a
    // mangled host name from standing in for the name asked for.
    if (!isAscii(name) && toUtf8(toUtf16(name)) != name)
      continue;
    auto [it, added] = names->try_emplace(foldedName(name), name);
    if (!added && name < it->second)
      it->second = std::string(name);
  }
  ::closedir(dir);
  return true;
}

std::optional<std::string> DirectoryCaseIndex::lookUp(const Names &names, std::string_view name,
                                                      int *hostError) {
  const auto it = names.find(foldedName(name));
  if (it == names.end()) {
    *hostError = ENOENT;
    return std::nullopt;
  }
  return it->second;
}

std::optional<std::string> DirectoryCaseIndex::find(const std::string &directory,
                                                    std::string_view name, int *hostError,
                                                    bool fresh) {
  // Taken before the stamp is read: a stamp older than this by settleTime cannot be shared with
  // a change made after it.
  const std::int64_t readingBegan = wallClockNow();
  Stamp stamp;
  if (!readStamp(directory, &stamp, hostError))
    return std::nullopt;
  if (!fresh) {
    std::lock_guard lock(mutex_);
    const auto it = indexes_.find(directory);
    if (it != indexes_.end() && it->second.stamp == stamp)
      return lookUp(it->second.names, name, hostError);
  }

  Names names;
  if (!readNames(directory, &names, hostError))
    return std::nullopt;
  auto found = lookUp(names, name, hostError);

  const std::int64_t lastStamped =
      std::max(nanoseconds(stamp.changedSeconds, stamp.changedNanoseconds),
               nanoseconds(stamp.modifiedSeconds, stamp.modifiedNanoseconds));
  const bool settled = lastStamped + std::chrono::nanoseconds(settleTime).count() <= readingBegan;
  std::lock_guard lock(mutex_);
  if (const auto it = indexes_.find(directory); it != indexes_.end()) {
    names_ -= it->second.names.size();
    indexes_.erase(it);
  }
  if (settled && names.size() <= maxNames) {
    if (names_ + names.size() > maxNames || indexes_.size() >= maxDirectories) {
      indexes_.clear();
      names_ = 0;
    }
    names_ += names.size();
    indexes_.emplace(directory, Index{stamp, std::move(names)});
  }
  return found;
}

bool DirectoryCaseIndex::keeps(const std::string &directory) {
  std::lock_guard lock(mutex_);
  return indexes_.count(directory) != 0;
}

void DirectoryCaseIndex::clear() {
  std::lock_guard lock(mutex_);
  indexes_.clear();
  names_ = 0;
}

} // namespace ce
