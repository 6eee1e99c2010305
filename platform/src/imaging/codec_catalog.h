// The decoders and encoders the factory knows, as ImageCodecInfo arrays.
#pragma once

#include <ce/imaging.h>

namespace ce {

class CodecCatalog {
public:
  // One CoTaskMemAlloc block: the records, then their strings and signature bytes.
  static HRESULT list(bool encoders, UINT *count, ImageCodecInfo **codecs);
};

} // namespace ce
