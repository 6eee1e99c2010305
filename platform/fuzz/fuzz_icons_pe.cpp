// Feeds arbitrary bytes (seeded with PE files) to icon extraction.
#include "fuzz_icons_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  fuzzExtractIcons(data, size);
  return 0;
}
