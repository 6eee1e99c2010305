// A block of memory in a memfd, mapped read-write, that other processes can map too (the host
// hands the descriptor over its socket). The screen and overlay pixels live in such blocks.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace ce {

class SharedMemory {
public:
  // A new zero-filled block of `size` bytes (1 .. 1 GiB). Null, with a message in *error, when
  // the memfd or the mapping fails.
  static std::unique_ptr<SharedMemory> create(std::size_t size, const char* name,
                                              std::string* error = nullptr);
  // Maps a descriptor received from elsewhere. The block's size is the file's size, which must
  // be at least `minimumSize`; the descriptor is duplicated, the caller keeps its own.
  static std::unique_ptr<SharedMemory> attach(int fd, std::size_t minimumSize,
                                              std::string* error = nullptr);

  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  std::byte* data() const { return data_; }
  std::size_t size() const { return size_; }
  // The descriptor to hand to another process; owned by this object.
  int fd() const { return fd_; }

private:
  SharedMemory(int fd, std::byte* data, std::size_t size) : fd_(fd), data_(data), size_(size) {}

  int fd_;
  std::byte* data_;
  std::size_t size_;
};

} // namespace ce
