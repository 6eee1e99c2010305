// A stream buffer over a device file HANDLE: the bridge from C++ streams to ReadFile/WriteFile.
#pragma once

#include <ce/types.h>

#include <ios>
#include <streambuf>
#include <vector>

namespace ce {

class DeviceFileStreamBuf : public std::streambuf {
public:
  // Takes ownership of `file` (closed by the destructor, after any pending bytes are written).
  // `mode` is std::ios_base::in or std::ios_base::out: one direction per buffer.
  DeviceFileStreamBuf(HANDLE file, std::ios_base::openmode mode);
  ~DeviceFileStreamBuf() override;
  DeviceFileStreamBuf(const DeviceFileStreamBuf&) = delete;
  DeviceFileStreamBuf& operator=(const DeviceFileStreamBuf&) = delete;

protected:
  int_type underflow() override;
  int_type overflow(int_type c) override;
  int sync() override;
  std::streamsize xsputn(const char_type* data, std::streamsize count) override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
  static constexpr std::size_t bufferSize = 4096;

  bool writeOut(const char* data, std::size_t size);
  bool flushOutput();
  // Moves the handle's position; -1 on failure.
  off_type moveTo(off_type distance, DWORD moveMethod);

  HANDLE file_;
  bool output_;
  std::vector<char> buffer_;
};

} // namespace ce
