// Device-wide named objects: file mappings backed by memfds, events whose state lives in a
// shared memfd page, and registered message names.
//
// Each object counts the handles every process holds to it. It disappears with the last handle
// in the system; the handles of a process that ends (however it ends) are dropped with it.
// Names are compared exactly (case matters), as the device compares object names; mappings and
// events have separate name spaces. Registered message names are compared without regard to
// case and numbered from 0xC000 for as long as the host runs.
#pragma once

#include "../src/protocol/named_object_messages.h"
#include "../src/windowing/registered_message_table.h"
#include "host_server.h"

#include <map>
#include <string>
#include <unordered_map>

namespace ce::host {

class NamedObjectService : public ProcessObserver {
public:
  // Largest mapping a process may create.
  static constexpr std::uint64_t kMaxMappingSize = protocol::CreateMappingRequest::kMaxSize;
  // Most objects of each kind alive at once, and most handles one process may hold to one.
  static constexpr std::size_t kMaxObjects = 4096;
  static constexpr std::uint32_t kMaxHandlesPerProcess = 65536;

  explicit NamedObjectService(HostServer &server);
  void onProcessExit(DWORD pid) override;

private:
  struct SharedObject {
    std::uint32_t id = 0;
    std::u16string name;
    protocol::UniqueFd memory;
    std::uint64_t size = 0;
    std::map<DWORD, std::uint32_t> handles; // per process
    std::uint32_t totalHandles() const;
  };
  struct Space {
    std::unordered_map<std::u16string, std::uint32_t> byName;
    std::unordered_map<std::uint32_t, SharedObject> byId;
  };

  using Opened = protocol::Answer<protocol::NamedObjectReply>;

  Opened createEvent(HostRequest &request, const protocol::CreateEventRequest &create);
  DWORD close(HostRequest &request, Space &space, std::uint32_t id);
  protocol::Answer<protocol::RegisterMessageRequest::Reply>
  registerMessage(const protocol::RegisterMessageRequest &registration);
  // Opens or creates the object for the caller.
  Opened open(HostRequest &request, Space &space, const std::u16string &name, std::uint64_t size,
              const std::function<bool(int fd)> &initialise);
  void release(Space &space, std::uint32_t id, DWORD pid, std::uint32_t count);

  HostServer &server_;
  Space mappings_;
  Space events_;
  std::uint32_t nextId_ = 1;
  RegisteredMessageTable messageNumbers_;
};

} // namespace ce::host
