#include <ce/testing/temp_device.h>

#include <toolkit/text/ansi_text_file_reader.h>
#include <toolkit/text/line_buffer.h>
#include <toolkit/text/text_file.h>

#include <ce/codepages.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

class TextFileTest : public TempDevice {
protected:
  // Every line of \<name> read with the given settings, or the open result as a failure.
  std::vector<std::u16string> lines(const std::string &bytes, int encoding = TEXTFILE_DETECT,
                                    int bufferSize = 0, DWORD flags = 0, UINT codePage = 1252) {
    put("t.txt", bytes);
    TextFile file;
    file.encoding = encoding;
    file.bufferSize = bufferSize;
    file.flags = flags;
    EXPECT_EQ(openTextFile(file, u"\\t.txt"), 0);
    std::vector<std::u16string> out;
    if (!file.reader)
      return out;
    found_ = file.encoding;
    TextLine line;
    while (file.reader->readLine(line, codePage) == 0)
      out.emplace_back(line.view());
    // Once at the end, the reader stays there.
    EXPECT_EQ(file.reader->readLine(line, codePage), TextFileReader::EndOfFile);
    return out;
  }

  std::vector<std::int32_t> chars(const std::string &bytes, int encoding = TEXTFILE_DETECT) {
    put("c.txt", bytes);
    TextFile file;
    file.encoding = encoding;
    EXPECT_EQ(openTextFile(file, u"\\c.txt"), 0);
    std::vector<std::int32_t> out;
    for (std::int32_t c; (c = file.reader->readChar()) >= 0;)
      out.push_back(c);
    return out;
  }

  int found_ = -1;
};

using Lines = std::vector<std::u16string>;

TEST_F(TextFileTest, DetectsTheEncodingFromTheMark) {
  EXPECT_EQ(lines("\xFF\xFE"
                  "A\0\r\0\n\0"s),
            Lines{u"A"});
  EXPECT_EQ(found_, TEXTFILE_UTF16LE);

  EXPECT_EQ(lines("\xFE\xFF\0A\0\r\0\n\0B"s), (Lines{u"A", u"B"}));
  EXPECT_EQ(found_, TEXTFILE_UTF16BE);

  EXPECT_EQ(lines("\xEF\xBB\xBF\xF0\x9F\x98\x80\n"), Lines{u"\xD83D\xDE00"});
  EXPECT_EQ(found_, TEXTFILE_UTF8);

  // A partial mark is ANSI text from the first byte.
  EXPECT_EQ(lines("\xFF"
                  "A"),
            Lines{u"\u00FF"
                  "A"});
  EXPECT_EQ(found_, TEXTFILE_ANSI);
  EXPECT_EQ(lines("\xEF\xBB"), Lines{u"\u00EF\u00BB"});
  EXPECT_EQ(found_, TEXTFILE_ANSI);
}

TEST_F(TextFileTest, EmptyFileEndsAtOnce) {
  put("empty.txt", "");
  TextFile file;
  ASSERT_EQ(openTextFile(file, u"\\empty.txt"), 0);
  EXPECT_EQ(file.encoding, TEXTFILE_DETECT);
  TextLine line;
  EXPECT_EQ(file.reader->readChar(), TextFileReader::EndOfFile);
  EXPECT_EQ(file.reader->readLine(line, CP_ACP), TextFileReader::EndOfFile);
  EXPECT_EQ(line.text, nullptr);
}

TEST_F(TextFileTest, LastLineWithoutLineFeedAndEmptyLines) {
  EXPECT_EQ(lines("one\r\n\ntwo"), (Lines{u"one", u"", u"two"}));
  EXPECT_EQ(lines("\n"), Lines{u""});
  // Only a carriage return right before the line feed belongs to the line end.
  EXPECT_EQ(lines("a\rb\r\r\nc\r"), (Lines{u"a\rb\r", u"c\r"}));
  EXPECT_EQ(lines("\xFF\xFE"
                  "a\0\r\0b\0\r\0\n\0"s),
            Lines{u"a\rb"});
  EXPECT_EQ(lines("\xEF\xBB\xBFx\r\n"), Lines{u"x"});
}

TEST_F(TextFileTest, NamedEncodingSkipsOnlyItsOwnMark) {
  EXPECT_EQ(lines("\xFF\xFE"
                  "A\0"s,
                  TEXTFILE_UTF16LE),
            Lines{u"A"});
  // Without a mark a named encoding reads from the first byte.
  EXPECT_EQ(lines("A\0B\0"s, TEXTFILE_UTF16LE), Lines{u"AB"});
  EXPECT_EQ(lines("\0A"s, TEXTFILE_UTF16BE), Lines{u"A"});
  EXPECT_EQ(lines("\xEF\xBB\xBFhi", TEXTFILE_UTF8), Lines{u"hi"});
  EXPECT_EQ(lines("hi", TEXTFILE_UTF8), Lines{u"hi"});
  // Another encoding's mark is text.
  EXPECT_EQ(lines("\xEF\xBB\xBFhi", TEXTFILE_ANSI, 0, 0, 1252), Lines{u"\u00EF\u00BB\u00BFhi"});
  // The keep-mark flag hands the mark out as U+FEFF.
  EXPECT_EQ(lines("\xFF\xFE"
                  "A\0"s,
                  TEXTFILE_UTF16LE, 0, TEXTFILE_KEEP_MARK),
            Lines{u"\uFEFFA"});
  EXPECT_EQ(lines("\xEF\xBB\xBFhi", TEXTFILE_UTF8, 0, TEXTFILE_KEEP_MARK), Lines{u"\uFEFFhi"});
  EXPECT_EQ(found_, TEXTFILE_UTF8);
}

TEST_F(TextFileTest, ReadCharSkipsCarriageReturnsInEveryEncoding) {
  EXPECT_EQ(chars("a\r\n\xE9"), (std::vector<std::int32_t>{'a', '\n', 0xE9}));
  EXPECT_EQ(chars("\xFF\xFE"
                  "a\0\r\0\n\0"s),
            (std::vector<std::int32_t>{'a', '\n'}));
  // Big-endian: the carriage return is the unit stored as 00 0D, not a 0D byte.
  EXPECT_EQ(chars("\xFE\xFF\0\r\x0D\0\0\n"s), (std::vector<std::int32_t>{0x0D00, '\n'}));
  EXPECT_EQ(chars("\xEF\xBB\xBF\xC3\xA9\r\n\xE2\x82\xAC\xF0\x9F\x98\x80"),
            (std::vector<std::int32_t>{0xE9, '\n', 0x20AC, 0x1F600}));
}

TEST_F(TextFileTest, MalformedInputNeverEscapesItsLine) {
  // Leads of 0xF8 and above, and stray continuation bytes, are U+FFFD; a sequence cut off by
  // the end of the line is U+FFFD and does not swallow the next line.
  EXPECT_EQ(lines("\xEF\xBB\xBF"
                  "a\xF8z\x80\nb\xE2\x82\nc\xC3"),
            (Lines{u"a\uFFFDz\uFFFD", u"b\uFFFD", u"c\uFFFD"}));
  // Continuation bytes are masked, not checked; values past U+10FFFF are limited to it.
  EXPECT_EQ(lines("\xEF\xBB\xBF\xC3"
                  "A\xF7\xBF\xBF\xBF"),
            Lines{u"\u00C1\xDBFF\xDFFF"});
  // read by characters, an end of file inside a sequence is the end of file.
  EXPECT_EQ(chars("\xEF\xBB\xBF"
                  "a\xE2\x82"),
            std::vector<std::int32_t>{'a'});
  // A byte left over at the end of UTF-16 text is not a whole unit.
  EXPECT_EQ(lines("\xFF\xFE"
                  "A\0B"s),
            Lines{u"A\uFFFD"});
  EXPECT_EQ(chars("\xFE\xFF\0A\x42"s), (std::vector<std::int32_t>{'A', 0xFFFD}));
}

TEST_F(TextFileTest, AnsiLinesUseTheCallersCodePageOrStayBytes) {
  EXPECT_EQ(lines("caf\xE9\n", TEXTFILE_ANSI, 0, 0, 1252), Lines{u"caf\u00E9"});
  EXPECT_EQ(lines("\xC4\xE0\n", TEXTFILE_ANSI, 0, 0, 1251), Lines{u"\u0414\u0430"});
  EXPECT_EQ(lines("h\xC3\xA9\n", TEXTFILE_ANSI, 0, 0, CP_UTF8), Lines{u"h\u00E9"});
  // A line with a zero byte in it is handed out whole.
  EXPECT_EQ(lines("a\0b\n"s, TEXTFILE_ANSI, 0, 0, 1252), Lines{u"a\0b"s});

  put("raw.txt", "caf\xE9\r\nx");
  TextFile file;
  file.rawBytes = 1;
  ASSERT_EQ(openTextFile(file, u"\\raw.txt"), 0);
  TextLine line;
  ASSERT_EQ(file.reader->readLine(line, 1252), 0);
  EXPECT_EQ(line.text, nullptr);
  EXPECT_EQ(line.byteView(), "caf\xE9");
  EXPECT_EQ(line.bytes[line.length], '\0');
  ASSERT_EQ(file.reader->readLine(line, 1252), 0);
  EXPECT_EQ(line.byteView(), "x");
}

TEST_F(TextFileTest, EveryBufferSizeGivesTheSameLines) {
  // Lines around the 1024-byte buffer steps and the 4096-byte read blocks, with line ends
  // falling on block borders.
  std::string ansi;
  Lines expected;
  for (std::size_t length : {0u, 1u, 1021u, 1022u, 1023u, 1024u, 4094u, 4095u, 4096u, 9000u}) {
    std::string text(length, 'x');
    if (length)
      text.front() = 'a', text.back() = 'z';
    ansi += text + "\r\n";
    expected.emplace_back(text.begin(), text.end());
  }
  std::u16string wide = u"\uFEFF";
  for (const auto &l : expected)
    wide += l + u"\r\n";
  std::string utf16(reinterpret_cast<const char *>(wide.data()), wide.size() * 2);

  for (int size : {0, -1, 1, 2, 3, 7, 1024, 4096, 100000}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(lines(ansi, TEXTFILE_DETECT, size), expected);
    EXPECT_EQ(lines("\xEF\xBB\xBF" + ansi, TEXTFILE_DETECT, size), expected);
    EXPECT_EQ(lines(utf16, TEXTFILE_DETECT, size), expected);
  }
}

TEST_F(TextFileTest, OpenFailuresLeaveTheRecordClosed) {
  TextFile file;
  EXPECT_EQ(openTextFile(file, u"\\missing.txt"), -2);
  EXPECT_EQ(file.handle, nullptr);
  EXPECT_EQ(file.reader, nullptr);
  EXPECT_TRUE(file.path.empty());
  EXPECT_EQ(closeTextFile(file), 0);
  // A folder is no text file; a path that leaves the device is refused.
  std::filesystem::create_directories(root_ / "fs" / "folder");
  EXPECT_EQ(openTextFile(file, u"\\folder"), -2);
  EXPECT_EQ(openTextFile(file, u"\\..\\..\\etc\\passwd"), -2);
}

TEST_F(TextFileTest, ReopeningAndClosingReleaseTheHandle) {
  put("a.txt", "first\n");
  put("b.txt", "\xFF\xFE"
               "s\0"s);
  TextFile file;
  ASSERT_EQ(openTextFile(file, u"\\a.txt"), 0);
  const HANDLE first = file.handle;
  EXPECT_EQ(file.encoding, TEXTFILE_ANSI);
  file.encoding = TEXTFILE_DETECT;              // the record keeps the encoding found last
  ASSERT_EQ(openTextFile(file, u"\\B.TXT"), 0); // the open record is closed first
  EXPECT_FALSE(CloseHandle(first));
  EXPECT_EQ(file.path, u"\\B.TXT");
  EXPECT_EQ(file.reader->path(), file.path.c_str());
  TextLine line;
  ASSERT_EQ(file.reader->readLine(line, CP_ACP), 0);
  EXPECT_EQ(line.view(), u"s");
  const HANDLE second = file.handle;
  EXPECT_EQ(closeTextFile(file), 0);
  EXPECT_FALSE(CloseHandle(second));
  EXPECT_EQ(file.reader, nullptr);
  EXPECT_TRUE(file.path.empty());
}

TEST_F(TextFileTest, ClosingInWriteModeFlushesTheWriter) {
  TextFile file;
  file.mode = 2;
  file.handle = CreateFileW(u"\\out.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file.handle, INVALID_HANDLE_VALUE);
  file.writer = std::make_unique<TextFileWriter>(file.handle, 8);
  EXPECT_TRUE(file.writer->write("hello", 5));
  EXPECT_EQ(file.writer->pending(), 5u);
  EXPECT_TRUE(file.writer->write(" world", 6)); // passes the buffer size: written out
  EXPECT_EQ(file.writer->pending(), 0u);
  EXPECT_TRUE(file.writer->write("!", 1));
  EXPECT_EQ(closeTextFile(file), 0);
  EXPECT_EQ(hostRead("out.txt"), "hello world!");
  EXPECT_EQ(file.writer, nullptr);

  // A writer whose file refuses the bytes reports the failure when closed.
  put("ro.txt", "");
  file.mode = 2;
  file.handle = CreateFileW(u"\\ro.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file.handle, INVALID_HANDLE_VALUE);
  file.writer = std::make_unique<TextFileWriter>(file.handle);
  EXPECT_TRUE(file.writer->write("lost?", 5));
  EXPECT_EQ(closeTextFile(file), -2);
  EXPECT_EQ(file.handle, nullptr);
}

TEST(LineBuffer, KeepsItsCountedHeaderInKilobyteSteps) {
  LineBuffer buffer;
  auto header = [&] { return std::string(reinterpret_cast<const char *>(buffer.block()), 4); };
  EXPECT_EQ(header(), "BDSG");
  EXPECT_EQ(buffer.capacity(), 1024u);
  EXPECT_EQ(buffer.data(), buffer.block() + LineBuffer::HeaderSize);

  const std::string kilo(1000, 'k');
  buffer.append(kilo.data(), kilo.size());
  buffer.terminate(1);
  EXPECT_EQ(buffer.capacity(), 1024u);
  EXPECT_EQ(buffer.usedLength(), 1001u);

  buffer.append(kilo.data(), kilo.size());
  buffer.appendUnit(u'\x4142');
  buffer.terminate(2);
  EXPECT_EQ(header(), "BDSG");
  EXPECT_EQ(buffer.capacity() % 1024, 0u);
  EXPECT_GE(buffer.capacity(), 2004u);
  EXPECT_EQ(buffer.usedLength(), 2004u);
  EXPECT_EQ(std::string(buffer.bytes(), 2000), kilo + kilo); // content survives growing
  EXPECT_EQ(buffer.data()[2002], 0);
  EXPECT_EQ(buffer.data()[2003], 0);

  buffer.clear();
  buffer.terminate(2);
  EXPECT_EQ(buffer.usedLength(), 2u);
  EXPECT_EQ(buffer.units()[0], u'\0');
}

} // namespace
