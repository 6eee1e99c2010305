// The process's fonts: FreeType, the device's font files, host font lookup and the cache of
// realised faces. Callers hold the GDI lock, which serialises all FreeType use.
#pragma once

#include "fonts/device_font_directory.h"
#include "fonts/font_face.h"

#include <ce/gdi.h>

#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ce {

class FontLibrary {
public:
  static FontLibrary& instance();

  // The face for a logical font at the given dots per inch, with the sans face attached for
  // missing characters. Null only when no font at all can be opened.
  std::shared_ptr<FontFace> realize(const LOGFONTW& font, int dpi);

  int addResource(const std::u16string& devicePath);
  bool removeResource(const std::u16string& devicePath);

private:
  FontLibrary();
  std::optional<FontFile> resolve(const LOGFONTW& font, long weight, bool bold, bool italic);
  std::optional<FontFile> genericFile(long weight, bool italic, unsigned pitchAndFamily);
  std::shared_ptr<FontFace> cachedFace(const FaceRequest& request);

  FT_Library library_ = nullptr;
  DeviceFontDirectory devices_;
  std::map<std::string, std::optional<FontFile>> hostFamilies_;
  std::map<std::string, std::optional<FontFile>> generics_;
  // Most recently used first.
  std::list<std::pair<std::string, std::shared_ptr<FontFace>>> faces_;
  static constexpr std::size_t kMaxCachedFaces = 48;
};

} // namespace ce
