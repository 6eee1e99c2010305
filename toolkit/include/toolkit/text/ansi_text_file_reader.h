// Reader of 8-bit text in a code page the caller names.
#pragma once

#include <toolkit/text/line_buffer.h>
#include <toolkit/text/text_file_reader.h>

struct TextFile;

class ANSI_TextFileReader : public TextFileReader {
public:
  // `file` gives the raw-bytes flag and must outlive the reader (it owns it).
  ANSI_TextFileReader(const char16_t *path, HANDLE handle, int bufferSize, const TextFile *file);

  // The next byte, 0-255.
  std::int32_t readChar() override;
  // With the file's raw-bytes flag set the byte line itself is handed out (line.bytes);
  // otherwise it is converted with MultiByteToWideChar in `codePage`. When that code page
  // cannot convert the line, the device's ANSI code page is used instead, so a line is never
  // handed out empty because of a bad code page.
  std::int32_t readLine(TextLine &line, UINT codePage) override;

private:
  const TextFile *file_;
  LineBuffer bytes_;
  LineBuffer wide_;
};
