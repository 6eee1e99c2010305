#include <toolkit/text/ansi_text_file_reader.h>
#include <toolkit/text/text_file.h>
#include <toolkit/text/utf16be_text_file_reader.h>
#include <toolkit/text/utf16le_text_file_reader.h>
#include <toolkit/text/utf8_text_file_reader.h>

#include <ce/files.h>
#include <ce/kernel.h>

#include <cstring>

namespace {

struct Mark {
  const std::uint8_t *bytes;
  std::size_t size;
};

constexpr std::uint8_t Utf16LeMark[] = {0xFF, 0xFE};
constexpr std::uint8_t Utf16BeMark[] = {0xFE, 0xFF};
constexpr std::uint8_t Utf8Mark[] = {0xEF, 0xBB, 0xBF};

Mark markOf(int encoding) {
  switch (encoding) {
  case TEXTFILE_UTF16LE:
    return {Utf16LeMark, sizeof Utf16LeMark};
  case TEXTFILE_UTF16BE:
    return {Utf16BeMark, sizeof Utf16BeMark};
  case TEXTFILE_UTF8:
    return {Utf8Mark, sizeof Utf8Mark};
  default:
    return {nullptr, 0};
  }
}

bool startsWith(const std::uint8_t *data, std::size_t size, Mark mark) {
  return mark.bytes && size >= mark.size && std::memcmp(data, mark.bytes, mark.size) == 0;
}

// Reads up to `wanted` bytes from the start of the file; false on a read error.
bool readPrefix(HANDLE handle, std::uint8_t *out, std::size_t wanted, std::size_t &got) {
  got = 0;
  while (got < wanted) {
    DWORD count = 0;
    if (!ReadFile(handle, out + got, static_cast<DWORD>(wanted - got), &count, nullptr)) {
      return false;
    }
    if (count == 0)
      break;
    got += count;
  }
  return true;
}

std::unique_ptr<TextFileReader> makeReader(TextFile &file) {
  const char16_t *path = file.path.c_str();
  switch (file.encoding) {
  case TEXTFILE_ANSI:
    return std::make_unique<ANSI_TextFileReader>(path, file.handle, file.bufferSize, &file);
  case TEXTFILE_UTF16LE:
    return std::make_unique<UTF16LE_TextFileReader>(path, file.handle, file.bufferSize);
  case TEXTFILE_UTF16BE:
    return std::make_unique<UTF16BE_TextFileReader>(path, file.handle, file.bufferSize);
  case TEXTFILE_UTF8:
    return std::make_unique<UTF8_TextFileReader>(path, file.handle, file.bufferSize);
  default:
    return std::make_unique<TextFileReader>(path, file.handle, file.bufferSize);
  }
}

// Picks the encoding from the first bytes and leaves the file positioned where text starts.
bool chooseReader(TextFile &file) {
  std::uint8_t head[3];
  std::size_t got = 0;
  if (!readPrefix(file.handle, head, sizeof head, got))
    return false;
  std::size_t start = 0;
  if (file.encoding >= TEXTFILE_ANSI && file.encoding <= TEXTFILE_UTF8) {
    const Mark mark = markOf(file.encoding);
    if (!(file.flags & TEXTFILE_KEEP_MARK) && startsWith(head, got, mark))
      start = mark.size;
  } else if (got == 0) {
    file.encoding = TEXTFILE_DETECT; // empty: the base reader reports end of file
  } else if (startsWith(head, got, markOf(TEXTFILE_UTF16LE))) {
    file.encoding = TEXTFILE_UTF16LE;
    start = 2;
  } else if (startsWith(head, got, markOf(TEXTFILE_UTF16BE))) {
    file.encoding = TEXTFILE_UTF16BE;
    start = 2;
  } else if (startsWith(head, got, markOf(TEXTFILE_UTF8))) {
    file.encoding = TEXTFILE_UTF8;
    start = 3;
  } else {
    file.encoding = TEXTFILE_ANSI;
  }
  if (SetFilePointer(file.handle, static_cast<LONG>(start), nullptr, FILE_BEGIN) ==
      INVALID_SET_FILE_POINTER) {
    return false;
  }
  file.reader = makeReader(file);
  return true;
}

} // namespace

TextFile::~TextFile() { closeTextFile(*this); }

int openTextFile(TextFile &file, std::u16string_view path) {
  closeTextFile(file);
  file.path.assign(path);
  const HANDLE handle = CreateFileW(file.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    file.path.clear();
    return -2;
  }
  file.handle = handle;
  file.mode = 1;
  if (!chooseReader(file)) {
    closeTextFile(file);
    return -2;
  }
  return 0;
}

int closeTextFile(TextFile &file) {
  if (file.handle == nullptr)
    return 0;
  int result = 0;
  if (file.mode != 1 && file.writer && !file.writer->flush())
    result = -2;
  CloseHandle(file.handle);
  file.handle = nullptr;
  file.reader.reset();
  file.writer.reset();
  file.path.clear();
  return result;
}
