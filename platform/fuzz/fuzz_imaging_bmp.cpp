// Feeds arbitrary bytes (seeded with BMP files) to the image decoders.
#include "fuzz_imaging_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  fuzzDecode(data, size);
  return 0;
}
