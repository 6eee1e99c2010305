// The services host (0x04xx). A service is known by the host's id for it, never 0.
#pragma once

#include "message_codec.h"
#include "message_type.h"

namespace ce::protocol {

// Longest prefix, device name, library name and key name a request may carry; the services
// host judges what is left.
inline constexpr std::size_t kMaxServiceNameUnits = 1024;

struct ServiceIdReply {
  std::uint64_t id = 0;
  static constexpr auto fields() {
    return std::tuple{wire::bounded(&ServiceIdReply::id, 1, UINT64_MAX)};
  }
};

struct RegisterServiceRequest {
  static constexpr MessageType kType = MessageType::RegisterService;
  std::u16string prefix;
  DWORD index = 0;
  std::u16string dll;
  DWORD context = 0;
  static constexpr auto fields() {
    using S = RegisterServiceRequest;
    return std::tuple{wire::name(&S::prefix, kMaxServiceNameUnits), wire::field(&S::index),
                      wire::name(&S::dll, kMaxServiceNameUnits), wire::field(&S::context)};
  }
  using Reply = ServiceIdReply;
};

// The service described under a registration key.
struct ActivateServiceRequest {
  static constexpr MessageType kType = MessageType::ActivateService;
  std::u16string keyName;
  static constexpr auto fields() {
    return std::tuple{wire::name(&ActivateServiceRequest::keyName, kMaxServiceNameUnits)};
  }
  using Reply = ServiceIdReply;
};

struct DeregisterServiceRequest {
  static constexpr MessageType kType = MessageType::DeregisterService;
  std::uint64_t id = 0;
  static constexpr auto fields() { return std::tuple{wire::field(&DeregisterServiceRequest::id)}; }
};

// The service named "SMC0:" and the like.
struct GetServiceHandleRequest {
  static constexpr MessageType kType = MessageType::GetServiceHandle;
  std::u16string deviceName;
  static constexpr auto fields() {
    return std::tuple{wire::name(&GetServiceHandleRequest::deviceName, kMaxServiceNameUnits)};
  }
  struct Reply {
    std::uint64_t id = 0;
    std::u16string dll;
    static constexpr auto fields() {
      return std::tuple{wire::bounded(&Reply::id, 1, UINT64_MAX), wire::text(&Reply::dll)};
    }
  };
};

} // namespace ce::protocol
