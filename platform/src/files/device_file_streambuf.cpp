#include "files/device_file_streambuf.h"

#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace ce {

DeviceFileStreamBuf::DeviceFileStreamBuf(HANDLE file, std::ios_base::openmode mode)
    : file_(file), output_((mode & std::ios_base::out) != 0), buffer_(bufferSize) {
  if (output_) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  } else {
    setg(buffer_.data(), buffer_.data(), buffer_.data());
  }
}

DeviceFileStreamBuf::~DeviceFileStreamBuf() {
  if (output_) flushOutput();
  CloseHandle(file_);
}

DeviceFileStreamBuf::int_type DeviceFileStreamBuf::underflow() {
  if (output_) return traits_type::eof();
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  DWORD got = 0;
  if (!ReadFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr) ||
      got == 0)
    return traits_type::eof();
  setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
  return traits_type::to_int_type(*gptr());
}

bool DeviceFileStreamBuf::writeOut(const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file_, data, chunk, &written, nullptr) || written != chunk) return false;
    data += chunk;
    size -= chunk;
  }
  return true;
}

bool DeviceFileStreamBuf::flushOutput() {
  const auto pending = static_cast<std::size_t>(pptr() - pbase());
  const bool ok = writeOut(pbase(), pending);
  // Bytes that could not be written are dropped either way; the failure reaches the stream.
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return ok;
}

DeviceFileStreamBuf::int_type DeviceFileStreamBuf::overflow(int_type c) {
  if (!output_) return traits_type::eof();
  if (!flushOutput()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize DeviceFileStreamBuf::xsputn(const char_type* data, std::streamsize count) {
  if (!output_ || count <= 0) return 0;
  // Large blocks go straight to the file instead of through the buffer.
  if (static_cast<std::size_t>(count) >= buffer_.size()) {
    if (!flushOutput()) return 0;
    return writeOut(data, static_cast<std::size_t>(count)) ? count : 0;
  }
  return std::streambuf::xsputn(data, count);
}

int DeviceFileStreamBuf::sync() {
  if (output_) return flushOutput() ? 0 : -1;
  return 0;
}

DeviceFileStreamBuf::off_type DeviceFileStreamBuf::moveTo(off_type distance, DWORD moveMethod) {
  LONG high = static_cast<LONG>(static_cast<std::int64_t>(distance) >> 32);
  const DWORD low =
      SetFilePointer(file_, static_cast<LONG>(distance & 0xFFFFFFFF), &high, moveMethod);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return -1;
  return static_cast<off_type>((static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | low);
}

DeviceFileStreamBuf::pos_type DeviceFileStreamBuf::seekoff(off_type offset,
                                                           std::ios_base::seekdir direction,
                                                           std::ios_base::openmode) {
  DWORD method = FILE_BEGIN;
  if (direction == std::ios_base::cur) method = FILE_CURRENT;
  if (direction == std::ios_base::end) method = FILE_END;
  if (output_) {
    if (!flushOutput()) return pos_type(off_type(-1));
  } else if (direction == std::ios_base::cur) {
    // The handle is ahead of the reader by what is still buffered.
    offset -= egptr() - gptr();
  }
  const off_type position = moveTo(offset, method);
  if (!output_ && position >= 0) setg(buffer_.data(), buffer_.data(), buffer_.data());
  return pos_type(position);
}

DeviceFileStreamBuf::pos_type DeviceFileStreamBuf::seekpos(pos_type position,
                                                           std::ios_base::openmode which) {
  return seekoff(off_type(position), std::ios_base::beg, which);
}

} // namespace ce
