#include <toolkit/icon/icon_cache.h>
#include <toolkit/icon/icon_image.h>
#include <toolkit/icon/item_icon.h>

#include <ce/core/utf.h>
#include <ce/windows.h>

namespace {

constexpr std::u16string_view FolderIconFile = u"icon.lnk";

bool pathExists(const std::u16string &path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void writeIconValue(std::u16string_view displayPath, const std::u16string &picture) {
  const std::u16string keyPath = IconCache::entryKeyPath(displayPath);
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, &disposition) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, u"Icon", 0, REG_SZ, reinterpret_cast<const BYTE *>(picture.data()),
                 static_cast<DWORD>(picture.size() * sizeof(char16_t)));
  RegCloseKey(key);
}

} // namespace

IconCache::IconCache(std::u16string baseDirectory) : baseDirectory_(std::move(baseDirectory)) {
  if (baseDirectory_.empty() || baseDirectory_.back() != u'\\')
    baseDirectory_ += u'\\';
}

std::u16string IconCache::folderImagePath() const {
  return baseDirectory_ + u"resources\\dossier.png";
}

std::u16string IconCache::noIconImagePath() const {
  return baseDirectory_ + u"resources\\noIcones.png";
}

std::u16string IconCache::entryPath(std::u16string_view displayPath) {
  if (displayPath.size() >= FolderIconFile.size() &&
      ce::equalsIgnoreCase(displayPath.substr(displayPath.size() - FolderIconFile.size()),
                           FolderIconFile))
    displayPath.remove_suffix(FolderIconFile.size());
  return std::u16string(displayPath);
}

std::u16string IconCache::entryKeyPath(std::u16string_view displayPath) {
  return std::u16string(MetadataRoot) + entryPath(displayPath);
}

std::u16string IconCache::freeCacheFileName(std::u16string_view displayPath) const {
  std::u16string path = entryPath(displayPath);
  while (!path.empty() && path.back() == u'\\')
    path.pop_back();
  const std::size_t slash = path.rfind(u'\\');
  const std::u16string stem = baseDirectory_ + u"resources\\" +
                              (slash == std::u16string::npos ? path : path.substr(slash + 1));
  std::u16string candidate = stem + u".png";
  for (unsigned n = 1; pathExists(candidate); ++n)
    candidate = stem + ce::toUtf16(std::to_string(n)) + u".png";
  return candidate;
}

std::u16string IconCache::cacheItemIcon(const IconCacheEntry &entry) const {
  const std::u16string fallback = entry.folder ? folderImagePath() : noIconImagePath();
  HICON icon = extractItemIcon(entry.target, entry.itemPath);
  if (!icon)
    return fallback;
  const std::u16string picture = freeCacheFileName(entry.displayPath);
  const bool saved = saveIconAsPng(icon, picture);
  DestroyIcon(icon);
  if (!saved)
    return fallback;
  writeIconValue(entry.displayPath, picture);
  return picture;
}
