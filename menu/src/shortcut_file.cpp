#include <menu/shortcut_file.h>

#include <toolkit/text/text_file.h>

#include <ce/codepages.h>

namespace {

constexpr std::size_t LongestShortcut = 1024; // characters; a shortcut is one short line

std::u16string_view trimmed(std::u16string_view text) {
  constexpr std::u16string_view Spaces = u" \t\r\n";
  const auto first = text.find_first_not_of(Spaces);
  if (first == std::u16string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(Spaces) - first + 1);
}

} // namespace

std::optional<std::u16string> ShortcutFile::commandOf(std::u16string_view text) {
  text = trimmed(text);
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= u'0' && text[digits] <= u'9')
    ++digits;
  if (digits == 0 || digits >= text.size() || text[digits] != u'#')
    return std::nullopt;
  auto command = text.substr(digits + 1);
  if (const auto icon = command.find(u'?'); icon != std::u16string_view::npos)
    command = command.substr(0, icon);
  command = trimmed(command);
  if (command.empty())
    return std::nullopt;
  return std::u16string(command);
}

std::optional<std::u16string> ShortcutFile::readCommand(std::u16string_view path) {
  TextFile file;
  if (openTextFile(file, path) != 0 || !file.reader)
    return std::nullopt;
  // The first line that holds anything is the shortcut.
  TextLine line;
  while (file.reader->readLine(line, CP_ACP) == 0) {
    const auto text = line.view();
    if (text.size() > LongestShortcut)
      return std::nullopt;
    if (!trimmed(text).empty())
      return commandOf(text);
  }
  return std::nullopt;
}
