#include "icon_cache.h"

#include "../client/shortcut_text.h"

#include <ce/core/utf.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <charconv>

namespace ce::shell {
namespace {

constexpr char16_t kShellIcons[] = u"\\Windows\\shellres.dll";
// Resource ids of the folder and program icons in the shell's icon library.
constexpr int kFolderIcon = -4;
constexpr int kProgramIcon = -5;
// A shortcut is a short text; anything longer is not read further.
constexpr DWORD kMaxShortcutBytes = 4096;

bool endsWithIgnoringCase(std::u16string_view text, std::u16string_view tail) {
  return text.size() >= tail.size() &&
         equalsIgnoreCase(text.substr(text.size() - tail.size()), tail);
}

std::string readSmallFile(const std::u16string &path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return {};
  std::string bytes(kMaxShortcutBytes, '\0');
  DWORD got = 0;
  if (!ReadFile(file, bytes.data(), kMaxShortcutBytes, &got, nullptr))
    got = 0;
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

// "file,index" (index may be negative); a text without a number is the file with index 0.
void splitIconReference(std::u16string_view text, std::u16string &file, int &index) {
  index = 0;
  const auto comma = text.find_last_of(u',');
  if (comma != std::u16string_view::npos) {
    const std::string number = toUtf8(text.substr(comma + 1));
    int value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec == std::errc() && end == number.data() + number.size() && !number.empty()) {
      index = value;
      text = text.substr(0, comma);
    }
  }
  while (!text.empty() && text.front() == u' ')
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\r' || text.back() == u'\n'))
    text.remove_suffix(1);
  file.assign(text);
}

} // namespace

IconCache::~IconCache() {
  for (auto &[key, icon] : extracted_)
    if (icon)
      DestroyIcon(icon);
}

HICON IconCache::extract(const std::u16string &file, int index) {
  const std::u16string key = foldCase(file) + u"," + toUtf16(std::to_string(index));
  if (auto it = extracted_.find(key); it != extracted_.end())
    return it->second;
  HICON small = nullptr;
  if (ExtractIconExW(file.c_str(), index, nullptr, &small, 1) == 0)
    small = nullptr;
  extracted_[key] = small;
  return small;
}

bool IconCache::shortcutIcon(const std::u16string &shortcut, std::u16string &file, int &index) {
  const std::u16string text = ShortcutText::decode(readSmallFile(shortcut));
  const auto hash = text.find(u'#');
  const auto question = text.find(u'?', hash == std::u16string::npos ? 0 : hash);
  if (hash != std::u16string::npos && question != std::u16string::npos) {
    splitIconReference(std::u16string_view(text).substr(question + 1), file, index);
    if (!file.empty())
      return true;
  }
  const auto command = ShortcutText::parse(text);
  if (!command)
    return false;
  splitIconReference(command->target, file, index);
  // A shortcut that names an icon library entry ("\Windows\shellres.dll,-6") shows that icon.
  return !file.empty();
}

HICON IconCache::iconFor(const ProgramEntry &entry) {
  if (auto it = icons_.find(entry.path); it != icons_.end())
    return it->second;
  HICON icon = nullptr;
  if (entry.folder) {
    icon = extract(kShellIcons, kFolderIcon);
  } else {
    std::u16string file = entry.path;
    int index = 0;
    if (endsWithIgnoringCase(entry.path, u".lnk") && !shortcutIcon(entry.path, file, index))
      file.clear();
    if (!file.empty())
      icon = extract(file, index);
    if (!icon)
      icon = extract(kShellIcons, kProgramIcon);
  }
  icons_[entry.path] = icon;
  return icon;
}

} // namespace ce::shell
