// An open text file and the calls that open and close it.
#pragma once

#include <toolkit/text/text_file_reader.h>
#include <toolkit/text/text_file_writer.h>

#include <ce/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Encodings of TextFile::encoding.
enum TextFileEncoding : int {
  TEXTFILE_DETECT = 0,
  TEXTFILE_ANSI = 1,
  TEXTFILE_UTF16LE = 2,
  TEXTFILE_UTF16BE = 3,
  TEXTFILE_UTF8 = 4,
};

// TextFile::flags: a byte-order mark that matches the named encoding is handed out as text
// instead of being skipped.
constexpr DWORD TEXTFILE_KEEP_MARK = 0x200;

// The open file. Fill in encoding, flags, rawBytes and bufferSize before openTextFile; after
// opening, `encoding` holds the encoding found (so a record reused for another file reads it
// in that encoding unless `encoding` is set again). The record closes itself when destroyed.
struct TextFile {
  std::u16string path;
  int mode = 1; // 1 = reading; any other value = writing
  int encoding = TEXTFILE_DETECT;
  DWORD flags = 0;
  std::uint8_t rawBytes = 0; // ANSI lines are handed out as bytes, unconverted
  int bufferSize = 0;        // 0 = 4096 bytes, negative = unbuffered, positive = that many bytes
  HANDLE handle = nullptr;
  std::unique_ptr<TextFileReader> reader;
  std::unique_ptr<TextFileWriter> writer; // write mode only

  TextFile() = default;
  TextFile(const TextFile &) = delete;
  TextFile &operator=(const TextFile &) = delete;
  ~TextFile();
};

// Opens the device file `path` for reading (shared reading, existing file only) and creates
// the reader for its encoding: 0, or -2 when the file cannot be opened or its first bytes
// cannot be read (the record is then left closed, without a handle). A record that is still
// open is closed first.
//
// With encoding 0 the encoding is detected: FF FE is UTF-16LE, FE FF UTF-16BE, EF BB BF UTF-8
// (reading continues after the mark); anything else, a partial mark included, is ANSI from the
// first byte; an empty file gets a reader that reports end of file. With a named encoding its
// mark is skipped when present (unless TEXTFILE_KEEP_MARK is set) and reading starts at the
// first byte otherwise.
int openTextFile(TextFile &file, std::u16string_view path);

// In write mode, writes out the writer's pending bytes; closes the handle, destroys reader and
// writer and clears the path. 0, or -2 when the pending bytes could not be written (the record
// is closed all the same). A record without a handle is left as it is.
int closeTextFile(TextFile &file);
