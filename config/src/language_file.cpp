#include <config/language_file.h>

#include <toolkit/text/text_file.h>

#include <ce/codepages.h>

namespace {

bool contains(std::u16string_view line, std::u16string_view marker) {
  return line.find(marker) != std::u16string_view::npos;
}

constexpr std::u16string_view Prologue = u"xml";
constexpr std::u16string_view Opening = u"<ViretaCfg";
constexpr std::u16string_view Closing = u"</ViretaCfg>";
constexpr std::u16string_view Entry = u"<translation";

} // namespace

std::optional<LanguageFile::Translation> LanguageFile::parseTranslation(std::u16string_view line) {
  constexpr std::u16string_view Source = u"src=";
  constexpr std::u16string_view Local = u"\" local=";
  constexpr std::u16string_view End = u"\">";
  const auto source = line.find(Source);
  if (source == std::u16string_view::npos)
    return std::nullopt;
  // Skip `src=` and the opening quote of the key.
  const auto keyStart = std::min(line.size(), source + Source.size() + 1);
  const auto local = line.find(Local, keyStart);
  if (local == std::u16string_view::npos)
    return std::nullopt;
  // Skip `" local=` and the opening quote of the text.
  const auto textStart = std::min(line.size(), local + Local.size() + 1);
  const auto end = line.find(End, textStart);
  Translation t;
  t.key = line.substr(keyStart, local - keyStart);
  t.text = end == std::u16string_view::npos ? line.substr(textStart)
                                            : line.substr(textStart, end - textStart);
  return t;
}

bool LanguageFile::read(std::u16string_view path, const Apply &apply) {
  TextFile file;
  if (openTextFile(file, path) != 0)
    return false;
  TextLine line;
  auto next = [&] { return file.reader->readLine(line, CP_ACP) == 0; };
  if (!next())
    return false;

  while (!contains(line.view(), Prologue)) {
    if (!next())
      return true;
  }
  while (!contains(line.view(), Opening)) {
    if (!next())
      return true;
  }
  if (contains(line.view(), Closing))
    return true;
  for (;;) {
    // The opening line itself may hold the first entry.
    while (!contains(line.view(), Entry)) {
      if (contains(line.view(), Closing) || !next())
        return true;
    }
    if (const auto entry = parseTranslation(line.view()); entry && apply) {
      apply(entry->key, entry->text);
    }
    if (contains(line.view(), Closing) || !next())
      return true;
  }
}
