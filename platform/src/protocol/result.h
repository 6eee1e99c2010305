// What a typed call to the host gives back: the declared reply, or the error that stopped it
// (the host's refusal, ERROR_BROKEN_PIPE or ERROR_TIMEOUT for a host out of reach,
// ERROR_INVALID_DATA for an answer that does not read as the reply).
#pragma once

#include <ce/types.h>

#include <optional>
#include <utility>

namespace ce::protocol {

struct Failure {
  DWORD error = 0;
};

template <class T> class Result {
public:
  Result(T value) : value_(std::move(value)) {}
  Result(Failure failure) : error_(failure.error) {}

  explicit operator bool() const { return value_.has_value(); }
  T &operator*() { return *value_; }
  const T &operator*() const { return *value_; }
  T *operator->() { return &*value_; }
  const T *operator->() const { return &*value_; }
  // 0 when the call succeeded.
  DWORD error() const { return error_; }

private:
  std::optional<T> value_;
  DWORD error_ = 0;
};

} // namespace ce::protocol
