#include "named_object_service.h"

#include "../src/client/shared_event_state.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace ce::host {

using namespace protocol;

std::uint32_t NamedObjectService::SharedObject::totalHandles() const {
  std::uint32_t total = 0;
  for (const auto &[pid, count] : handles)
    total += count;
  return total;
}

NamedObjectService::NamedObjectService(HostServer &server) : server_(server) {
  server.on<CreateMappingRequest>([this](HostRequest &r, CreateMappingRequest &create) {
    return open(r, mappings_, create.name, create.size, [](int) { return true; });
  });
  server.on<CloseMappingNotice>([this](HostRequest &r, CloseMappingNotice &notice) {
    return close(r, mappings_, notice.id);
  });
  server.on<CreateEventRequest>(
      [this](HostRequest &r, CreateEventRequest &create) { return createEvent(r, create); });
  server.on<CloseEventNotice>(
      [this](HostRequest &r, CloseEventNotice &notice) { return close(r, events_, notice.id); });
  server.on<RegisterMessageRequest>([this](HostRequest &, RegisterMessageRequest &registration) {
    return registerMessage(registration);
  });
  server.addObserver(this);
}

NamedObjectService::Opened NamedObjectService::open(HostRequest &request, Space &space,
                                                    const std::u16string &name, std::uint64_t size,
                                                    const std::function<bool(int fd)> &initialise) {
  // Only device processes hold handles: a tool's would never be released.
  if (request.peer().isTool())
    return ERROR_ACCESS_DENIED;
  const DWORD pid = request.peer().pid();
  bool existed = false;
  SharedObject *object = nullptr;
  if (auto it = space.byName.find(name); it != space.byName.end()) {
    object = &space.byId.at(it->second);
    existed = true;
    if (object->handles[pid] >= kMaxHandlesPerProcess)
      return ERROR_TOO_MANY_OPEN_FILES;
  } else {
    if (space.byId.size() >= kMaxObjects)
      return ERROR_NOT_ENOUGH_MEMORY;
    UniqueFd memory(::memfd_create("ce-named-object", MFD_CLOEXEC));
    if (!memory || ::ftruncate(memory.get(), static_cast<off_t>(size)) != 0 ||
        !initialise(memory.get()))
      return ERROR_NOT_ENOUGH_MEMORY;
    const std::uint32_t id = nextId_++;
    SharedObject fresh;
    fresh.id = id;
    fresh.name = name;
    fresh.memory = std::move(memory);
    fresh.size = size;
    object = &space.byId.emplace(id, std::move(fresh)).first->second;
    space.byName.emplace(name, id);
  }
  // The answer carries its own copy of the memory: one that cannot be made is told now, before
  // the handle is counted.
  UniqueFd copy(::fcntl(object->memory.get(), F_DUPFD_CLOEXEC, 0));
  if (!copy) {
    if (!existed)
      release(space, object->id, pid, 0);
    return ERROR_TOO_MANY_OPEN_FILES;
  }
  ++object->handles[pid];
  return NamedObjectReply{object->id, existed, object->size, Descriptor(std::move(copy))};
}

NamedObjectService::Opened NamedObjectService::createEvent(HostRequest &request,
                                                           const CreateEventRequest &create) {
  return open(request, events_, create.name, sizeof(SharedEventState), [&](int fd) {
    void *page =
        ::mmap(nullptr, sizeof(SharedEventState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (page == MAP_FAILED)
      return false;
    auto *state = new (page) SharedEventState;
    state->manualReset = create.manualReset ? 1 : 0;
    state->signalled.store(create.initialState ? 1 : 0);
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

DWORD NamedObjectService::close(HostRequest &request, Space &space, std::uint32_t id) {
  auto it = space.byId.find(id);
  const DWORD pid = request.peer().pid();
  if (it == space.byId.end() || !it->second.handles.count(pid))
    return ERROR_INVALID_HANDLE;
  release(space, id, pid, 1);
  return ERROR_SUCCESS;
}

protocol::Answer<RegisterMessageRequest::Reply>
NamedObjectService::registerMessage(const RegisterMessageRequest &registration) {
  const UINT number = messageNumbers_.registerName(registration.name);
  if (number == 0)
    return ERROR_NOT_ENOUGH_MEMORY;
  return RegisterMessageRequest::Reply{number};
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
