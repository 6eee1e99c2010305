#include <config/label_table.h>
#include <config/language_selection.h>

#include <ce/errors.h>
#include <ce/files.h>
#include <ce/registry.h>

#include <algorithm>

namespace {

// Strings of the settings key are read into 520 bytes: 259 characters and the terminator.
constexpr DWORD StringRoom = 520;

std::u16string readString(HKEY key, std::u16string_view name) {
  const std::u16string valueName(name);
  char16_t buffer[StringRoom / 2] = {};
  DWORD size = StringRoom;
  DWORD type = 0;
  if (!key || RegQueryValueExW(key, valueName.c_str(), nullptr, &type,
                               reinterpret_cast<BYTE *>(buffer), &size) != ERROR_SUCCESS) {
    return {};
  }
  const std::u16string_view text(buffer, std::min<DWORD>(size, StringRoom) / 2);
  return std::u16string(text.substr(0, text.find(u'\0')));
}

std::u16string withTrailingBackslash(std::u16string_view directory) {
  std::u16string result(directory);
  if (!result.empty() && result.back() != u'\\' && result.back() != u'/')
    result += u'\\';
  return result;
}

} // namespace

LanguageSelection LanguageSelection::atStartUp(HKEY settingsKey, std::u16string_view baseDirectory,
                                               LabelTable &labels) {
  LanguageSelection selection;
  selection.directory_ = withTrailingBackslash(baseDirectory) + std::u16string(DirectoryTail);
  const std::u16string langFile = readString(settingsKey, LangFileValue);
  const auto marker = langFile.find(NameMarker);
  if (marker != std::u16string::npos) {
    labels.load(langFile);
    selection.currentFileName_ = langFile.substr(marker);
    selection.directory_ = langFile.substr(0, marker);
  } else {
    labels.load(selection.directory_ + std::u16string(DefaultFileName));
  }
  selection.files_ = listLanguageFiles(selection.directory_);
  std::sort(selection.files_.begin(), selection.files_.end());
  selection.currentIndex_ = preselection(selection.files_, selection.currentFileName_);
  return selection;
}

std::vector<std::u16string> LanguageSelection::listLanguageFiles(std::u16string_view directory) {
  std::vector<std::u16string> names;
  const std::u16string pattern = std::u16string(directory) + u"*.txt";
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE || search == nullptr)
    return names;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      continue;
    const std::u16string_view name(
        found.cFileName, std::find(std::begin(found.cFileName), std::end(found.cFileName), u'\0') -
                             std::begin(found.cFileName));
    names.emplace_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

int LanguageSelection::preselection(const std::vector<std::u16string> &sortedNames,
                                    std::u16string_view currentName) {
  int chosen = -1;
  if (currentName.empty())
    return chosen;
  for (std::size_t i = 0; i < sortedNames.size(); ++i) {
    if (!sortedNames[i].empty() && currentName.find(sortedNames[i]) != std::u16string_view::npos) {
      chosen = static_cast<int>(i);
    }
  }
  return chosen;
}

std::u16string LanguageSelection::pathOf(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= files_.size())
    return {};
  return directory_ + files_[static_cast<std::size_t>(index)];
}

bool LanguageSelection::choose(int index, LabelTable &labels) {
  const std::u16string path = pathOf(index);
  if (path.empty())
    return false;
  labels.load(path);
  currentIndex_ = index;
  currentFileName_ = files_[static_cast<std::size_t>(index)];
  return true;
}
