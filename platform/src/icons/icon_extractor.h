// Finds icons in a file: an .ico file, the icon groups of a PE file, or the .ico beside an ELF
// program.
#pragma once

#include "icons/icon_image.h"
#include "icons/pe_resources.h"

#include <ce/types.h>

#include <vector>

namespace ce {

class IconExtractor {
public:
  // Reads the file through the device file API. ERROR_SUCCESS, or the file error (a file that
  // holds no icons loads and counts none).
  DWORD load(const WCHAR *path);
  UINT count() const;
  // Icon `index` (a position from 0, or minus a group's resource id) at the entry closest to
  // `side` pixels.
  bool extract(int index, UINT side, IconImage &out) const;

  // The large and small icon sizes of the device (SM_CXICON, SM_CXSMICON).
  static UINT largeSide();
  static UINT smallSide();

private:
  enum class Kind { None, Ico, Pe };
  Kind kind_ = Kind::None;
  std::vector<std::uint8_t> bytes_;
  PeResources pe_;
};

} // namespace ce
