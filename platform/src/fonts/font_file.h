// One face of a font file: where its data lives and the names and style it answers to.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ce {

struct FontFile {
  // Device fonts are read into memory through the device's file API; host fonts (found through
  // fontconfig) are opened by path.
  std::shared_ptr<const std::vector<std::uint8_t>> data;
  std::string hostPath;
  long faceIndex = 0;

  std::vector<std::u16string> families; // family names (name IDs 1 and 16)
  std::vector<std::u16string> fullNames; // full names (name ID 4) and the file name's stem
  bool bold = false;
  bool italic = false;

  bool valid() const { return data != nullptr || !hostPath.empty(); }
  // Identifies the face for caching.
  std::string identity() const;
  std::u16string primaryFamily() const { return families.empty() ? u"" : families.front(); }
};

} // namespace ce
