// Reader of UTF-16 text stored big-endian.
#pragma once

#include <toolkit/text/line_buffer.h>
#include <toolkit/text/text_file_reader.h>

class UTF16BE_TextFileReader : public TextFileReader {
public:
  UTF16BE_TextFileReader(const char16_t *path, HANDLE handle, int bufferSize);

  // The next 16-bit unit (bytes swapped to host order); surrogate pairs come as two units.
  std::int32_t readChar() override;
  std::int32_t readLine(TextLine &line, UINT codePage) override;

private:
  LineBuffer line_;
};
