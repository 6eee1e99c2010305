#include <menu/item_target.h>

#include "path_text.h"

#include <ce/files.h>

namespace {

std::u16string_view trimmed(std::u16string_view text) {
  constexpr std::u16string_view Spaces = u" \t\r\n";
  const auto first = text.find_first_not_of(Spaces);
  if (first == std::u16string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(Spaces) - first + 1);
}

std::optional<DWORD> attributesOf(const std::u16string &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return std::nullopt;
  return attributes;
}

} // namespace

ItemTarget ItemTarget::split(std::u16string_view target) {
  target = trimmed(target);
  ItemTarget result;
  if (target.starts_with(u'"')) {
    const auto close = target.find(u'"', 1);
    const auto end = close == std::u16string_view::npos ? target.size() : close;
    result.program = trimmed(target.substr(1, end - 1));
    if (close != std::u16string_view::npos)
      result.arguments = trimmed(target.substr(close + 1));
    return result;
  }
  const auto exe = pathtext::lower(target).find(u".exe");
  if (exe == std::u16string::npos) {
    result.program = target;
    return result;
  }
  result.program = target.substr(0, exe + 4);
  result.arguments = trimmed(target.substr(exe + 4));
  return result;
}

std::u16string ItemTarget::indexKeyOf(std::u16string_view target) {
  return pathtext::lower(split(target).program);
}

bool ItemTarget::programExists(std::u16string_view program) {
  return programAttributes(program).has_value();
}

std::optional<DWORD> ItemTarget::programAttributes(std::u16string_view program) {
  if (program.empty())
    return std::nullopt;
  const std::u16string path(program);
  if (path.front() == u'\\' || path.front() == u'/')
    return attributesOf(path);
  if (const auto atRoot = attributesOf(u"\\" + path))
    return atRoot;
  return attributesOf(u"\\windows\\" + path);
}
