#include "codepages/language_code_page.h"

namespace ce {

UINT ansiCodePageForLanguage(LANGID language) {
  switch (language & 0x3FF) {
  case 0x05: // Czech
  case 0x0E: // Hungarian
  case 0x15: // Polish
  case 0x18: // Romanian
  case 0x1B: // Slovak
  case 0x24: // Slovenian
    return 1250;
  case 0x02: // Bulgarian
  case 0x19: // Russian
  case 0x22: // Ukrainian
  case 0x23: // Belarusian
    return 1251;
  case 0x08: // Greek
    return 1253;
  case 0x01: // Arabic
  case 0x20: // Urdu
  case 0x29: // Farsi
    return 1256;
  default:
    return 1252;
  }
}

} // namespace ce
