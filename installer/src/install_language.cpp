#include <installer/install_language.h>

std::u16string_view languageFileFor(LANGID language) {
  switch (language & 0xFF) {
  case 1:
    return u"lang.arabic.txt";
  case 7:
    return u"lang.german.txt";
  case 8:
    return u"lang.greek.txt";
  case 10:
    return u"lang.spanish.txt";
  case 12:
    return u"lang.fran\u00e7ais.txt";
  case 16:
    return u"lang.italiano.txt";
  case 21:
    return u"lang.polish.txt";
  case 24:
    return u"lang.romana.txt";
  case 25:
    return u"lang.russian.txt";
  default:
    return u"lang.english.txt";
  }
}
