// Arbitrary bytes as a device file, read by characters and by lines in every encoding mode,
// with and without the keep-mark and raw-bytes flags and with small and default buffers.
#include <toolkit/text/text_file.h>

#include <ce/codepages.h>
#include <ce/core/device_root.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

struct FuzzDevice {
  FuzzDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() /
           ("fuzz-text-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(root / "fs");
    ce::DeviceRoot::use(root);
  }
  ~FuzzDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::filesystem::path root;
};

void readAll(std::size_t size, int encoding, DWORD flags, bool raw, int bufferSize, UINT codePage) {
  TextFile file;
  file.encoding = encoding;
  file.flags = flags;
  file.rawBytes = raw ? 1 : 0;
  file.bufferSize = bufferSize;
  if (openTextFile(file, u"\\input.txt") != 0)
    std::abort();
  TextLine line;
  std::size_t units = 0;
  while (file.reader->readLine(line, codePage) == 0) {
    // A line never claims more than the file holds, and its terminator is in place.
    if (line.length > size)
      std::abort();
    if (line.text && line.text[line.length] != 0)
      std::abort();
    if (line.bytes && line.bytes[line.length] != 0)
      std::abort();
    units += line.length + 1;
    if (units > 2 * size + 2)
      std::abort();
  }
  closeTextFile(file);

  file.encoding = encoding;
  if (openTextFile(file, u"\\input.txt") != 0)
    std::abort();
  std::size_t count = 0;
  for (std::int32_t c; (c = file.reader->readChar()) >= 0; ++count) {
    if (c > 0x10FFFF || count > size)
      std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static FuzzDevice device;
  {
    std::ofstream out(device.root / "fs" / "input.txt", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
  }
  const DWORD flags = size > 0 && (data[0] & 1) ? TEXTFILE_KEEP_MARK : 0;
  for (int encoding = TEXTFILE_DETECT; encoding <= TEXTFILE_UTF8; ++encoding) {
    readAll(size, encoding, flags, false, 0, 1252);
    readAll(size, encoding, flags, true, 3, CP_UTF8);
  }
  readAll(size, TEXTFILE_ANSI, 0, false, -1, 932);
  return 0;
}
