#include "files/root_real_path.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace ce {

namespace {

bool folderAt(const char *path, struct stat *info, int *hostError) {
  if (::stat(path, info) != 0) {
    *hostError = errno;
    return false;
  }
  if (!S_ISDIR(info->st_mode)) {
    *hostError = ENOTDIR;
    return false;
  }
  return true;
}

} // namespace

RootRealPath &RootRealPath::instance() {
  static auto *paths = new RootRealPath; // lives until exit; other threads may still call
  return *paths;
}

std::shared_ptr<const RootRealPath::Paths> RootRealPath::of(const std::filesystem::path &configured,
                                                            int *hostError) {
  struct stat info {};
  if (!folderAt(configured.c_str(), &info, hostError))
    return nullptr;
  {
    std::lock_guard lock(mutex_);
    for (const auto &known : known_)
      if (known.configured == configured.native() && known.device == info.st_dev &&
          known.inode == info.st_ino)
        return known.paths;
  }
  std::error_code ec;
  auto real = std::filesystem::canonical(configured, ec);
  if (ec) {
    *hostError = ec.value();
    return nullptr;
  }
  auto paths = std::make_shared<Paths>();
  paths->realText = real.string();
  paths->real = std::move(real);
  if (configured.is_absolute())
    paths->configuredText = configured.lexically_normal().string();
  // The folder the real path names must be the one checked above; when the tree changed in
  // between, the answer is not kept.
  struct stat realInfo {};
  if (!folderAt(paths->realText.c_str(), &realInfo, hostError))
    return nullptr;
  if (realInfo.st_dev != info.st_dev || realInfo.st_ino != info.st_ino)
    return paths;
  std::lock_guard lock(mutex_);
  std::erase_if(known_,
                [&](const Known &known) { return known.configured == configured.native(); });
  if (known_.size() >= maxKnown)
    known_.erase(known_.begin());
  known_.push_back({configured.native(), info.st_dev, info.st_ino, paths});
  return paths;
}

} // namespace ce
