// The kinds of message on the host socket.
//
// Ranges: 0x01xx core (processes, named objects, thread messages), 0x02xx window manager,
// 0x03xx screen and input, 0x04xx services host. A request's reply has the request's type with
// kReplyBit set. Unsolicited messages from the host to a process ("events") lie in 0x0180-0x01FF
// for the core; other areas use the top half of their own range (0x0280-0x02FF, ...).
#pragma once

#include <cstdint>

namespace ce::protocol {

inline constexpr std::uint32_t kReplyBit = 0x80000000u;

// Hello's flags. A tool talks to the host without joining the device. A post connection is a
// second connection of a device process, one per thread that posts to other processes: the
// thread reads the answers to its posts there itself, so a post costs one trip to the host and
// back; the host delivers nothing else on it, and its end is not the process's end.
inline constexpr std::uint32_t kHelloTool = 1;
inline constexpr std::uint32_t kHelloPostConnection = 2;

// Each message's fields and limits are declared once, in the area's *_messages.h.
enum class MessageType : std::uint32_t {
  // Requests, process to host (process_messages.h, named_object_messages.h,
  // thread_messages.h, sync_messages.h).
  Hello = 0x0101,
  Ping = 0x0102,
  Shutdown = 0x0103, // the host ends every device process, then itself
  StartProcess = 0x0110,
  ListProcesses = 0x0111,
  QueryProcess = 0x0112,
  TerminateProcess = 0x0113,
  ProcessExiting = 0x0114, // notice
  CreateMapping = 0x0120,
  CloseMapping = 0x0121, // notice
  CreateEvent = 0x0130,
  CloseEvent = 0x0131,   // notice
  PostToThread = 0x0140, // answered once the host has queued it for the thread's process
  SendResult = 0x0142,   // notice
  RegisterMessage = 0x0150,
  Sync = 0x0160,        // answered once the device has settled or the time is up
  SyncMarked = 0x0161,  // notice
  SyncReached = 0x0162, // notice

  // Screen and input (screen_messages.h).
  GetFramebuffer = 0x0301,
  AddOverlay = 0x0302,
  PlaceOverlay = 0x0303,
  MoveOverlay = 0x0304,
  RemoveOverlay = 0x0305,
  Screenshot = 0x0307,
  PlayInput = 0x0310,
  ListWindows = 0x0320,

  // Events, host to process (thread_messages.h, sync_messages.h).
  DeliverPost = 0x0180,
  DeliverSend = 0x0181,
  SyncProbe = 0x0182,

  // Services host, process to host (services_messages.h).
  RegisterService = 0x0401,
  ActivateService = 0x0402,
  DeregisterService = 0x0403,
  GetServiceHandle = 0x0404,
};

inline constexpr std::uint32_t operator+(MessageType type) {
  return static_cast<std::uint32_t>(type);
}
inline constexpr std::uint32_t replyTo(MessageType type) { return +type | kReplyBit; }

} // namespace ce::protocol
