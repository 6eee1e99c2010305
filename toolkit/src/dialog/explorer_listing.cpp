#include <toolkit/dialog/explorer_listing.h>

#include <ce/windows.h>

#include <algorithm>

namespace {

char16_t asciiLower(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

bool endsWithIgnoringAsciiCase(std::u16string_view text, std::u16string_view tail) {
  if (tail.size() > text.size())
    return false;
  const std::u16string_view end = text.substr(text.size() - tail.size());
  return std::equal(end.begin(), end.end(), tail.begin(), tail.end(),
                    [](char16_t a, char16_t b) { return asciiLower(a) == asciiLower(b); });
}

} // namespace

std::vector<std::u16string> ExplorerListing::splitExtensions(std::u16string_view list) {
  std::vector<std::u16string> pieces;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t bar = std::min(list.find(u'|', start), list.size());
    if (bar > start)
      pieces.emplace_back(list.substr(start, bar - start));
    start = bar + 1;
  }
  return pieces;
}

bool ExplorerListing::accepts(std::u16string_view name,
                              const std::vector<std::u16string> &extensions) {
  if (extensions.empty())
    return true;
  return std::any_of(extensions.begin(), extensions.end(), [&](const std::u16string &extension) {
    return endsWithIgnoringAsciiCase(name, extension);
  });
}

std::u16string ExplorerListing::parentOf(std::u16string_view directory) {
  if (directory.size() <= 1)
    return {};
  const std::size_t last = directory.rfind(u'\\', directory.size() - 2);
  if (last == std::u16string_view::npos || last == 0)
    return u"\\";
  return std::u16string(directory.substr(0, last));
}

std::u16string ExplorerListing::asFolder(std::u16string_view directory) {
  std::u16string folder(directory);
  if (folder.empty() || folder.back() != u'\\')
    folder += u'\\';
  return folder;
}

ExplorerFolderContents ExplorerListing::list(std::u16string_view directory,
                                             const std::vector<std::u16string> &extensions,
                                             bool foldersOnly) {
  ExplorerFolderContents contents;
  contents.parent = parentOf(directory);
  const std::u16string pattern = std::u16string(directory) + u"*";
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return contents;
  do {
    const std::u16string name(found.cFileName);
    if (name.empty() || name == u"." || name == u"..")
      continue;
    const std::u16string path = std::u16string(directory) + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      contents.folders.push_back(path);
    else if (!foldersOnly && accepts(name, extensions))
      contents.files.push_back(path);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(contents.folders.begin(), contents.folders.end());
  std::sort(contents.files.begin(), contents.files.end());
  return contents;
}
