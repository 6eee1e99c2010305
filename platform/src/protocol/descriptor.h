// A file descriptor that a message carries (SCM_RIGHTS). One that came with a message owns its
// descriptor; one about to be sent may only borrow it, since writing a message duplicates the
// descriptors it carries.
#pragma once

#include "unique_fd.h"

#include <utility>

namespace ce::protocol {

class Descriptor {
public:
  Descriptor() = default;
  explicit Descriptor(UniqueFd owned) : owned_(std::move(owned)) {}
  // The caller keeps `fd` open until the message has been written.
  static Descriptor borrow(int fd) {
    Descriptor descriptor;
    descriptor.borrowed_ = fd;
    return descriptor;
  }

  int get() const { return owned_ ? owned_.get() : borrowed_; }
  explicit operator bool() const { return get() >= 0; }
  // The descriptor to keep; empty for a borrowed one, which stays its owner's.
  UniqueFd take() { return std::move(owned_); }

private:
  UniqueFd owned_;
  int borrowed_ = -1;
};

} // namespace ce::protocol
