// A logical font (HFONT): the LOGFONTW it was made from and, once used, the face it resolved to.
#pragma once

#include "gdi/gdi_object.h"

#include <ce/gdi.h>

#include <memory>

namespace ce {

class FontFace;

class Font : public GdiObject {
public:
  explicit Font(const LOGFONTW& logical) : logical(logical) {
    this->logical.lfFaceName[LF_FACESIZE - 1] = 0; // a face name always ends inside the record
  }
  GdiKind kind() const override { return GdiKind::Font; }

  // The resolved face at the device's current dots per inch; resolved again when those change.
  // Never null unless no font at all can be found on the host. Call with the GDI lock held.
  std::shared_ptr<FontFace> face();

  LOGFONTW logical;

private:
  std::shared_ptr<FontFace> face_;
  int faceDpi_ = 0;
};

} // namespace ce
