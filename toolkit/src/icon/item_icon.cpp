#include <toolkit/icon/icon_reference.h>
#include <toolkit/icon/item_icon.h>
#include <toolkit/text/text_file.h>

#include <ce/core/utf.h>

namespace {

// Value data of a file class's DefaultIcon is read into this many bytes.
constexpr DWORD DefaultIconBytes = 520;

bool fileExists(const std::u16string &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool containsIgnoringCase(std::u16string_view text, std::u16string_view part) {
  return ce::foldCase(text).find(ce::foldCase(part)) != std::u16string::npos;
}

// One icon of a file: the large one, or the small one when there is no large one.
HICON extractOne(const std::u16string &file, int index) {
  if (file.empty())
    return nullptr;
  HICON large = nullptr, small = nullptr;
  if (ExtractIconExW(file.c_str(), index, &large, &small, 1) == 0)
    return nullptr;
  if (large) {
    if (small)
      DestroyIcon(small);
    return large;
  }
  return small;
}

HICON extractReferenced(const IconReference &reference) {
  const std::u16string variant = IconReference::highResolutionVariant(reference.file);
  if (!variant.empty())
    if (HICON icon = extractOne(variant, reference.index))
      return icon;
  return extractOne(reference.file, reference.index);
}

HICON extractFromText(std::u16string_view text) {
  const auto reference = IconReference::parse(text);
  return reference ? extractReferenced(*reference) : nullptr;
}

HICON extractFromFileClass(std::u16string_view target) {
  if (!target.empty() && target.front() == u':')
    target.remove_prefix(1);
  if (target.empty())
    return nullptr;
  const std::u16string keyPath = std::u16string(target) + u"\\DefaultIcon";
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return nullptr;
  char16_t value[DefaultIconBytes / 2 + 1] = {};
  DWORD size = DefaultIconBytes;
  const LONG read =
      RegQueryValueExW(key, u"", nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS)
    return nullptr;
  return extractFromText(std::u16string_view(value, ce::wideLength(value)));
}

HICON extractFromProgram(const std::u16string &target) {
  const std::size_t exe = ce::foldCase(target).find(u".exe");
  return extractOne(exe == std::u16string::npos ? target : target.substr(0, exe + 4), 0);
}

} // namespace

std::u16string shortcutIconText(const std::u16string &shortcutPath) {
  TextFile file;
  if (openTextFile(file, shortcutPath) != 0)
    return {};
  TextLine line;
  if (file.reader->readLine(line, CP_ACP) != 0)
    return {};
  std::u16string text(line.view());
  closeTextFile(file);
  if (const std::size_t mark = text.find(u'?'); mark != std::u16string::npos)
    text.erase(0, mark + 1);
  if (const std::size_t hash = text.find(u'#'); hash != std::u16string::npos)
    text.erase(0, hash + 1);
  if (!text.empty() && text.back() == u'"')
    text.pop_back();
  return text;
}

HICON extractItemIcon(const std::u16string &target, const std::u16string &itemPath) {
  HICON icon = nullptr;
  if (containsIgnoringCase(itemPath, u".lnk") && fileExists(itemPath))
    icon = extractFromText(shortcutIconText(itemPath));
  if (!icon)
    icon = extractFromFileClass(target);
  if (!icon)
    icon = extractFromProgram(target);
  return icon;
}
