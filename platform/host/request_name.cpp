#include "request_name.h"

#include "../src/windowing/window_protocol.h"

#include <cstdio>

namespace ce::host {
namespace {

using protocol::MessageType;
using windowing::WindowRequest;

// Every enumerator is named: the compiler reports one that a new request leaves out.
const char *nameOf(MessageType type) {
  switch (type) {
  case MessageType::Hello:
    return "Hello";
  case MessageType::Ping:
    return "Ping";
  case MessageType::Shutdown:
    return "Shutdown";
  case MessageType::StartProcess:
    return "StartProcess";
  case MessageType::ListProcesses:
    return "ListProcesses";
  case MessageType::QueryProcess:
    return "QueryProcess";
  case MessageType::TerminateProcess:
    return "TerminateProcess";
  case MessageType::ProcessExiting:
    return "ProcessExiting";
  case MessageType::CreateMapping:
    return "CreateMapping";
  case MessageType::CloseMapping:
    return "CloseMapping";
  case MessageType::CreateEvent:
    return "CreateEvent";
  case MessageType::CloseEvent:
    return "CloseEvent";
  case MessageType::PostToThread:
    return "PostToThread";
  case MessageType::SendResult:
    return "SendResult";
  case MessageType::RegisterMessage:
    return "RegisterMessage";
  case MessageType::Sync:
    return "Sync";
  case MessageType::SyncMarked:
    return "SyncMarked";
  case MessageType::SyncReached:
    return "SyncReached";
  case MessageType::GetFramebuffer:
    return "GetFramebuffer";
  case MessageType::AddOverlay:
    return "AddOverlay";
  case MessageType::PlaceOverlay:
    return "PlaceOverlay";
  case MessageType::MoveOverlay:
    return "MoveOverlay";
  case MessageType::RemoveOverlay:
    return "RemoveOverlay";
  case MessageType::Screenshot:
    return "Screenshot";
  case MessageType::PlayInput:
    return "PlayInput";
  case MessageType::ListWindows:
    return "ListWindows";
  case MessageType::DeliverPost:
    return "DeliverPost";
  case MessageType::DeliverSend:
    return "DeliverSend";
  case MessageType::SyncProbe:
    return "SyncProbe";
  case MessageType::RegisterService:
    return "RegisterService";
  case MessageType::ActivateService:
    return "ActivateService";
  case MessageType::DeregisterService:
    return "DeregisterService";
  case MessageType::GetServiceHandle:
    return "GetServiceHandle";
  }
  return nullptr;
}

const char *nameOf(WindowRequest request) {
  switch (request) {
  case WindowRequest::RegisterClass:
    return "RegisterClass";
  case WindowRequest::CreateWindow:
    return "CreateWindow";
  case WindowRequest::DestroyWindow:
    return "DestroyWindow";
  case WindowRequest::QueryWindow:
    return "QueryWindow";
  case WindowRequest::GetWindow:
    return "GetWindow";
  case WindowRequest::FindWindow:
    return "FindWindow";
  case WindowRequest::EnumWindows:
    return "EnumWindows";
  case WindowRequest::SetText:
    return "SetText";
  case WindowRequest::SetWindowLong:
    return "SetWindowLong";
  case WindowRequest::ShowWindow:
    return "ShowWindow";
  case WindowRequest::SetWindowPos:
    return "SetWindowPos";
  case WindowRequest::EnableWindow:
    return "EnableWindow";
  case WindowRequest::State:
    return "State";
  case WindowRequest::SetForeground:
    return "SetForeground";
  case WindowRequest::SetActive:
    return "SetActive";
  case WindowRequest::SetFocus:
    return "SetFocus";
  case WindowRequest::Invalidate:
    return "Invalidate";
  case WindowRequest::Validate:
    return "Validate";
  case WindowRequest::UpdateRegion:
    return "UpdateRegion";
  case WindowRequest::BeginPaint:
    return "BeginPaint";
  case WindowRequest::VisibleRegion:
    return "VisibleRegion";
  case WindowRequest::PostMessage:
    return "PostMessage";
  case WindowRequest::SendMessage:
    return "SendMessage";
  case WindowRequest::KeyboardEvent:
    return "KeyboardEvent";
  case WindowRequest::SetCursor:
    return "SetCursor";
  case WindowRequest::FullScreen:
    return "FullScreen";
  case WindowRequest::SetCapture:
    return "SetCapture";
  case WindowRequest::ReleaseCapture:
    return "ReleaseCapture";
  case WindowRequest::GetCapture:
    return "GetCapture";
  case WindowRequest::UnregisterClass:
    return "UnregisterClass";
  case WindowRequest::WorkArea:
    return "WorkArea";
  case WindowRequest::WatchWindows:
    return "WatchWindows";
  case WindowRequest::ThreadEnded:
    return "ThreadEnded";
  }
  return nullptr;
}

} // namespace

std::string requestName(MessageType type) {
  const std::uint32_t number = +type;
  const char *name = nameOf(type);
  if (!name)
    name = nameOf(static_cast<WindowRequest>(number));
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", number);
  return name ? std::string(name) + " (" + text + ")" : std::string(text);
}

} // namespace ce::host
