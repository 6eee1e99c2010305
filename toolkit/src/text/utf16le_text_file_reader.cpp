#include <toolkit/text/utf16le_text_file_reader.h>

UTF16LE_TextFileReader::UTF16LE_TextFileReader(const char16_t *path, HANDLE handle, int bufferSize)
    : TextFileReader(path, handle, bufferSize) {}

std::int32_t UTF16LE_TextFileReader::readChar() {
  std::int32_t unit;
  do {
    unit = readUnit(false);
  } while (unit == u'\r');
  return unit;
}

std::int32_t UTF16LE_TextFileReader::readLine(TextLine &line, UINT) {
  line = TextLine{};
  if (!gatherUnitLine(line_, false))
    return EndOfFile;
  line_.terminate(2);
  line.text = line_.units();
  line.length = line_.size() / 2;
  return 0;
}
