// Reader of UTF-16 text stored little-endian.
#pragma once

#include <toolkit/text/line_buffer.h>
#include <toolkit/text/text_file_reader.h>

class UTF16LE_TextFileReader : public TextFileReader {
public:
  UTF16LE_TextFileReader(const char16_t *path, HANDLE handle, int bufferSize);

  // The next 16-bit unit; surrogate pairs are handed out as two units.
  std::int32_t readChar() override;
  std::int32_t readLine(TextLine &line, UINT codePage) override;

private:
  LineBuffer line_;
};
