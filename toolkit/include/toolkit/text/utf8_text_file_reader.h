// Reader of UTF-8 text.
#pragma once

#include <toolkit/text/line_buffer.h>
#include <toolkit/text/text_file_reader.h>

// Decoding is lenient, as befits hand-edited files: continuation bytes are only masked, not
// checked. A lead byte of 0xF8 or above, and a continuation byte met where a lead byte is
// expected, give U+FFFD. Code points above U+10FFFF are limited to U+10FFFF.
class UTF8_TextFileReader : public TextFileReader {
public:
  UTF8_TextFileReader(const char16_t *path, HANDLE handle, int bufferSize);

  // The next code point. End of file or a read error inside a sequence is returned as such.
  std::int32_t readChar() override;
  // Code points from U+10000 on become surrogate pairs; a sequence cut short by the end of
  // the line gives U+FFFD.
  std::int32_t readLine(TextLine &line, UINT codePage) override;

private:
  LineBuffer bytes_;
  LineBuffer wide_;
};
