// A file mapping as a kernel object: a memfd of a fixed size, private or held by the host under
// a name (then closing the handle tells the host, which counts handles device-wide).
#pragma once

#include "../protocol/unique_fd.h"

#include <ce/core/kernel_object.h>

#include <cstdint>

namespace ce {

class FileMapping : public KernelObject {
public:
  FileMapping(protocol::UniqueFd memory, std::uint64_t size, std::uint32_t hostId)
      : memory_(std::move(memory)), size_(size), hostId_(hostId) {}

  int descriptor() const { return memory_.get(); }
  std::uint64_t size() const { return size_; }
  void onHandleClosed() override;

private:
  protocol::UniqueFd memory_;
  const std::uint64_t size_;
  const std::uint32_t hostId_; // 0 for a private mapping
};

} // namespace ce
