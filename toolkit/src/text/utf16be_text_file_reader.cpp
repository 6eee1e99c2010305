#include <toolkit/text/utf16be_text_file_reader.h>

UTF16BE_TextFileReader::UTF16BE_TextFileReader(const char16_t *path, HANDLE handle, int bufferSize)
    : TextFileReader(path, handle, bufferSize) {}

std::int32_t UTF16BE_TextFileReader::readChar() {
  std::int32_t unit;
  do {
    unit = readUnit(true);
  } while (unit == u'\r');
  return unit;
}

std::int32_t UTF16BE_TextFileReader::readLine(TextLine &line, UINT) {
  line = TextLine{};
  if (!gatherUnitLine(line_, true))
    return EndOfFile;
  line_.terminate(2);
  line.text = line_.units();
  line.length = line_.size() / 2;
  return 0;
}
