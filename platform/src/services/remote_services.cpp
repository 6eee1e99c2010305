#include "services/remote_services.h"

#include "client/host_connection.h"
#include "protocol/message_reader.h"

#include <ce/errors.h>

namespace ce {

using protocol::MessageReader;
using protocol::MessageType;
using protocol::MessageWriter;

namespace {

// Makes the call; false with the last error set unless the host answered ERROR_SUCCESS.
bool call(MessageType type, MessageWriter &payload, HostConnection::Reply &reply) {
  if (!HostConnection::instance().call(type, payload, reply))
    return false;
  if (reply.status != ERROR_SUCCESS) {
    SetLastError(reply.status);
    return false;
  }
  return true;
}

bool readId(const HostConnection::Reply &reply, ServicesHost::ServiceId *id) {
  MessageReader reader(reply.message.payload);
  if (!reader.u64(*id) || !reader.complete() || *id == 0) {
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  return true;
}

} // namespace

bool RemoteServices::registerService(std::u16string_view prefix, DWORD index,
                                     std::u16string_view dll, DWORD context,
                                     ServicesHost::ServiceId *id) {
  MessageWriter payload;
  payload.string(prefix).u32(index).string(dll).u32(context);
  HostConnection::Reply reply;
  return call(MessageType::RegisterService, payload, reply) && readId(reply, id);
}

bool RemoteServices::activateService(std::u16string_view keyName, ServicesHost::ServiceId *id) {
  MessageWriter payload;
  payload.string(keyName);
  HostConnection::Reply reply;
  return call(MessageType::ActivateService, payload, reply) && readId(reply, id);
}

bool RemoteServices::deregisterService(ServicesHost::ServiceId id) {
  MessageWriter payload;
  payload.u64(id);
  HostConnection::Reply reply;
  return call(MessageType::DeregisterService, payload, reply);
}

bool RemoteServices::find(std::u16string_view deviceName, ServicesHost::ServiceId *id,
                          std::u16string *dll) {
  MessageWriter payload;
  payload.string(deviceName);
  HostConnection::Reply reply;
  if (!call(MessageType::GetServiceHandle, payload, reply))
    return false;
  MessageReader reader(reply.message.payload);
  if (!reader.u64(*id) || !reader.string(*dll) || !reader.complete() || *id == 0) {
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  return true;
}

} // namespace ce
