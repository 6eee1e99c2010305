#include "fonts/font_file.h"

namespace ce {

std::string FontFile::identity() const {
  if (data) return "mem:" + std::to_string(reinterpret_cast<std::uintptr_t>(data.get())) + "#" +
                   std::to_string(faceIndex);
  return "file:" + hostPath + "#" + std::to_string(faceIndex);
}

} // namespace ce
