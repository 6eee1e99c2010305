#include "named_object_service.h"

#include "../client/shared_event_state.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

#include <sys/mman.h>
#include <unistd.h>

namespace ce::host {

using protocol::MessageType;
using protocol::MessageWriter;

std::uint32_t NamedObjectService::SharedObject::totalHandles() const {
  std::uint32_t total = 0;
  for (const auto &[pid, count] : handles)
    total += count;
  return total;
}

NamedObjectService::NamedObjectService(HostServer &server) : server_(server) {
  server.registerHandler(MessageType::CreateMapping, [this](HostRequest &r) { createMapping(r); });
  server.registerHandler(MessageType::CloseMapping,
                         [this](HostRequest &r) { close(r, mappings_); });
  server.registerHandler(MessageType::CreateEvent, [this](HostRequest &r) { createEvent(r); });
  server.registerHandler(MessageType::CloseEvent, [this](HostRequest &r) { close(r, events_); });
  server.registerHandler(MessageType::RegisterMessage,
                         [this](HostRequest &r) { registerMessage(r); });
  server.addObserver(this);
}

void NamedObjectService::open(HostRequest &request, Space &space, const std::u16string &name,
                              std::uint64_t size, const std::function<bool(int fd)> &initialise) {
  // Only device processes hold handles: a tool's would never be released.
  if (request.peer().isTool()) {
    request.reply(ERROR_ACCESS_DENIED);
    return;
  }
  const DWORD pid = request.peer().pid();
  bool existed = false;
  SharedObject *object = nullptr;
  if (auto it = space.byName.find(name); it != space.byName.end()) {
    object = &space.byId.at(it->second);
    existed = true;
    if (object->handles[pid] >= kMaxHandlesPerProcess) {
      request.reply(ERROR_TOO_MANY_OPEN_FILES);
      return;
    }
  } else {
    if (space.byId.size() >= kMaxObjects) {
      request.reply(ERROR_NOT_ENOUGH_MEMORY);
      return;
    }
    protocol::UniqueFd memory(::memfd_create("ce-named-object", MFD_CLOEXEC));
    if (!memory || ::ftruncate(memory.get(), static_cast<off_t>(size)) != 0 ||
        !initialise(memory.get())) {
      request.reply(ERROR_NOT_ENOUGH_MEMORY);
      return;
    }
    const std::uint32_t id = nextId_++;
    SharedObject fresh;
    fresh.id = id;
    fresh.name = name;
    fresh.memory = std::move(memory);
    fresh.size = size;
    object = &space.byId.emplace(id, std::move(fresh)).first->second;
    space.byName.emplace(name, id);
  }
  MessageWriter answer;
  answer.u32(object->id).u32(existed ? 1 : 0).u64(object->size).descriptor(object->memory.get());
  if (answer.overflowed()) {
    if (!existed)
      release(space, object->id, pid, 0);
    request.reply(ERROR_TOO_MANY_OPEN_FILES);
    return;
  }
  ++object->handles[pid];
  request.reply(ERROR_SUCCESS, answer);
}

void NamedObjectService::createMapping(HostRequest &request) {
  auto reader = request.reader();
  std::u16string name;
  std::uint64_t size = 0;
  if (!reader.name(name, MAX_PATH) || !reader.u64(size) || !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  if (size == 0 || size > kMaxMappingSize) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  open(request, mappings_, name, size, [](int) { return true; });
}

void NamedObjectService::createEvent(HostRequest &request) {
  auto reader = request.reader();
  std::u16string name;
  std::uint32_t manual = 0, initial = 0;
  if (!reader.name(name, MAX_PATH) || !reader.u32(manual) || !reader.u32(initial) ||
      !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  open(request, events_, name, sizeof(SharedEventState), [&](int fd) {
    void *page =
        ::mmap(nullptr, sizeof(SharedEventState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (page == MAP_FAILED)
      return false;
    auto *state = new (page) SharedEventState;
    state->manualReset = manual ? 1 : 0;
    state->signalled.store(initial ? 1 : 0);
    ::munmap(page, sizeof(SharedEventState));
    return true;
  });
}

void NamedObjectService::release(Space &space, std::uint32_t id, DWORD pid, std::uint32_t count) {
  auto it = space.byId.find(id);
  if (it == space.byId.end())
    return;
  SharedObject &object = it->second;
  if (auto held = object.handles.find(pid); held != object.handles.end()) {
    held->second -= std::min(held->second, count);
    if (held->second == 0)
      object.handles.erase(held);
  }
  if (object.totalHandles() == 0) {
    space.byName.erase(object.name);
    space.byId.erase(it);
  }
}

void NamedObjectService::close(HostRequest &request, Space &space) {
  auto reader = request.reader();
  std::uint32_t id = 0;
  if (!reader.u32(id) || !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  auto it = space.byId.find(id);
  const DWORD pid = request.peer().pid();
  if (it == space.byId.end() || !it->second.handles.count(pid)) {
    request.reply(ERROR_INVALID_HANDLE);
    return;
  }
  release(space, id, pid, 1);
  request.reply(ERROR_SUCCESS);
}

void NamedObjectService::registerMessage(HostRequest &request) {
  auto reader = request.reader();
  std::u16string name;
  if (!reader.name(name, MAX_PATH) || !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  const UINT number = messageNumbers_.registerName(name);
  if (number == 0) {
    request.reply(ERROR_NOT_ENOUGH_MEMORY);
    return;
  }
  MessageWriter answer;
  answer.u32(number);
  request.reply(ERROR_SUCCESS, answer);
}

void NamedObjectService::onProcessExit(DWORD pid) {
  for (Space *space : {&mappings_, &events_}) {
    std::vector<std::uint32_t> held;
    for (const auto &[id, object] : space->byId)
      if (object.handles.count(pid))
        held.push_back(id);
    for (std::uint32_t id : held)
      release(*space, id, pid, UINT32_MAX);
  }
}

} // namespace ce::host
