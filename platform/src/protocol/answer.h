// What a host handler gives for a declared request: the reply (success), a status alone (a
// success answers with the reply's defaults), or Deferred when the handler has kept the request
// open to answer it later through its DeferredReply.
#pragma once

#include <ce/types.h>

#include <cstdint>
#include <optional>
#include <utility>

namespace ce::protocol {

struct Deferred {};

template <class Reply> class Answer {
public:
  Answer(Reply reply) : reply_(std::move(reply)) {}
  Answer(DWORD status) : status_(status) {
    if (status == 0)
      reply_.emplace();
  }
  // The reply when `status` is a success; the status alone otherwise.
  Answer(DWORD status, Reply reply) : status_(status) {
    if (status == 0)
      reply_.emplace(std::move(reply));
  }
  Answer(Deferred) : deferred_(true) {}

  DWORD status() const { return status_; }
  bool deferred() const { return deferred_; }
  // Null for an error answer and a deferred one.
  const Reply *reply() const { return reply_ ? &*reply_ : nullptr; }

private:
  std::optional<Reply> reply_;
  DWORD status_ = 0;
  bool deferred_ = false;
};

// A request kept open by its handler: the connection it came on and the request it answers. A
// request id of 0 wants no answer (a notice, or a send the host itself made).
template <class Reply> struct DeferredReply {
  std::uint64_t peer = 0;
  std::uint32_t type = 0;
  std::uint32_t requestId = 0;

  bool wanted() const { return requestId != 0; }
};

} // namespace ce::protocol
