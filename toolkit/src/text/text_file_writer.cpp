#include <toolkit/text/text_file_writer.h>

#include <ce/files.h>

#include <algorithm>
#include <limits>

TextFileWriter::TextFileWriter(HANDLE file, std::size_t bufferSize)
    : file_(file), bufferSize_(std::max<std::size_t>(bufferSize, 1)) {}

bool TextFileWriter::write(const void *data, std::size_t size) {
  const auto *bytes = static_cast<const std::uint8_t *>(data);
  pending_.insert(pending_.end(), bytes, bytes + size);
  return pending_.size() < bufferSize_ || flush();
}

bool TextFileWriter::flush() {
  std::size_t done = 0;
  while (done < pending_.size()) {
    const std::size_t chunk =
        std::min<std::size_t>(pending_.size() - done, std::numeric_limits<DWORD>::max());
    DWORD written = 0;
    if (!WriteFile(file_, pending_.data() + done, static_cast<DWORD>(chunk), &written, nullptr) ||
        written == 0) {
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
      return false;
    }
    done += written;
  }
  pending_.clear();
  return true;
}
