// The fonts of the device: every *.ttf, *.otf and *.ttc file in \Windows, plus the files added
// with AddFontResourceW. Files are read through the device's file API, so only what lies in
// the device's file system is ever read.
#pragma once

#include "fonts/font_file.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <string>
#include <vector>

namespace ce {

class DeviceFontDirectory {
public:
  // False while the platform has no file API (then there are no device fonts).
  static bool available();

  // Faces of the fonts now in \Windows and of the added files. Files are read again only when
  // their size or time changed. `signature` receives a text that changes whenever the set of
  // files does.
  std::vector<FontFile> faces(FT_Library library, std::string* signature);

  // AddFontResourceW / RemoveFontResourceW: the number of faces added (0 on failure); whether
  // an added file was removed.
  int add(FT_Library library, const std::u16string& devicePath);
  bool remove(const std::u16string& devicePath);

  // Fonts larger than this are not read.
  static constexpr std::uint64_t kMaxFontBytes = 32u << 20;

private:
  struct Cached {
    std::uint64_t size = 0;
    std::uint64_t time = 0;
    std::vector<FontFile> faces;
  };
  struct Added {
    int count = 0;
    std::vector<FontFile> faces;
  };
  std::vector<FontFile> read(FT_Library library, const std::u16string& devicePath);

  std::map<std::u16string, Cached> windows_; // by folded file name
  std::map<std::u16string, Added> added_;    // by folded device path
};

} // namespace ce
