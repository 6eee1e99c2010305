// "file,index" references to an icon inside a file, as shortcuts and file classes give them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct IconReference {
  // The platform's shell icon library, which every reference to "ceshell" stands for.
  static constexpr std::u16string_view ShellIconLibrary = u"\\windows\\shellres.dll";

  std::u16string file;
  int index = 0; // a position, or minus a resource id

  // The text before the first comma is the file, the number after it the index (read as a
  // decimal integer the way the C library reads one: an optional sign, digits, and whatever
  // follows ignored; 0 when there is no number; kept within the range of int). A file that
  // mentions "ceshell" (in any case) means the shell icon library. No comma: no reference.
  static std::optional<IconReference> parse(std::u16string_view text);

  // The high-resolution twin of a file: ".192" inserted before the extension of its last
  // component ("\windows\shellres.dll" -> "\windows\shellres.192.dll"); empty when that
  // component has no extension.
  static std::u16string highResolutionVariant(std::u16string_view file);
};
