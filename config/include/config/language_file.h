// Reading language files: one translated text per line, in a small XML-like format.
#pragma once

#include <functional>
#include <optional>
#include <string_view>

// A language file holds, in this order, a prologue line containing "xml" (lines before it are
// skipped), an opening line containing "<ViretaCfg", translation lines and a closing line
// containing "</ViretaCfg>", where reading stops. A translation line looks like
//     <translation src="KEY" local="Text">...
// Every marker is a plain substring; only its first occurrence on a line counts, so a line
// carries at most one entry. Texts are taken literally (nothing is unescaped). The file may be
// in any encoding the text file readers detect; ANSI files use the device's code page.
class LanguageFile {
public:
  struct Translation {
    std::u16string_view key;
    std::u16string_view text;
  };
  using Apply = std::function<void(std::u16string_view key, std::u16string_view text)>;

  // Calls `apply` for every translation line of the file at the device path `path`, in file
  // order, whatever its key. True when the file could be opened and its first line read.
  static bool read(std::u16string_view path, const Apply &apply);

  // Cuts the key and the text out of a translation line. The key runs from just after `src="`
  // to the next `" local=`; the text from just after `" local="` to the next `">`, or to the
  // end of the line when there is none. A line without `src=` or `" local=` gives nothing.
  static std::optional<Translation> parseTranslation(std::u16string_view line);
};
