#include "gdi/font.h"

#include "fonts/font_library.h"

#include <ce/core/device_profile.h>

namespace ce {

std::shared_ptr<FontFace> Font::face() {
  const int dpi = DeviceProfile::current().dpi;
  if (!face_ || faceDpi_ != dpi) {
    face_ = FontLibrary::instance().realize(logical, dpi);
    faceDpi_ = dpi;
  }
  return face_;
}

} // namespace ce
