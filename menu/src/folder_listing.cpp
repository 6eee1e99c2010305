#include <menu/folder_listing.h>

#include "path_text.h"

#include <ce/files.h>
#include <ce/kernel.h>

FolderListing FolderListing::read(std::u16string_view directory) {
  FolderListing listing;
  std::u16string pattern(directory);
  if (pattern.empty() || pattern.back() != u'\\')
    pattern += u'\\';
  pattern += u'*';
  WIN32_FIND_DATAW entry{};
  const HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    // An empty or missing directory holds nothing; any other failure leaves the answer open.
    const DWORD error = GetLastError();
    listing.known_ = error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ||
                     error == ERROR_PATH_NOT_FOUND;
    return listing;
  }
  do {
    listing.entries_.emplace(pathtext::lower(entry.cFileName), entry.dwFileAttributes);
  } while (FindNextFileW(find, &entry));
  listing.known_ = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  if (!listing.known_)
    listing.entries_.clear();
  return listing;
}

std::optional<DWORD> FolderListing::attributesOf(std::u16string_view name) const {
  const auto found = entries_.find(pathtext::lower(name));
  if (found == entries_.end())
    return std::nullopt;
  return found->second;
}
