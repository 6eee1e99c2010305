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

enum class MessageType : std::uint32_t {
  // Requests, process to host.
  Hello = 0x0101,            // u32 flags (kHello*), string host exe path -> u32 host pid,
                             // string device path (empty for tools and post connections)
  Ping = 0x0102,             // -> nothing
  Shutdown = 0x0103,         // -> nothing; the host ends every device process, then itself
  StartProcess = 0x0110,     // string device path of an .exe, string arguments, u32 show
                             // -> u32 pid
  ListProcesses = 0x0111,    // -> u32 n, n x (u32 pid, u32 parent, u64 start ms, string path)
  QueryProcess = 0x0112,     // u32 pid -> u32 alive, u32 exit code, string device path
  TerminateProcess = 0x0113, // u32 pid, u32 exit code -> nothing
  ProcessExiting = 0x0114,   // u32 exit code (notice, no reply)
  CreateMapping = 0x0120,    // string name, u64 size -> u32 id, u32 existed, u64 size + memfd
  CloseMapping = 0x0121,     // u32 id (notice, no reply)
  CreateEvent = 0x0130,      // string name, u32 manual, u32 initial -> u32 id, u32 existed + memfd
  CloseEvent = 0x0131,       // u32 id (notice, no reply)
  PostToThread = 0x0140,     // u32 tid, u64 hwnd, u32 message, u64 wParam, i64 lParam -> nothing
                             // (answered once the host has queued it for the thread's process)
  SendResult = 0x0142,       // u32 send id, u32 status, i64 result, blob reply data
                             // (notice, no reply)
  RegisterMessage = 0x0150,  // string name -> u32 message number (0xC000-0xFFFF)
  Sync = 0x0160,             // u32 timeout ms, u32 caller's thread (0: none) -> u32 rounds,
                             // string what is still pending (empty once settled); the answer
                             // comes once the device has settled (see host/device_sync.h), or
                             // with ERROR_TIMEOUT when the time is up
  SyncMarked = 0x0161,       // u32 probe id, u64 activity, u32 n, n x (u32 tid, u32 posted,
                             // u32 input, u32 paint): the threads marked and what they held
                             // (notice, process to host)
  SyncReached = 0x0162,      // u32 probe id, u32 tid, u64 activity (notice, process to host)

  // Screen and input.
  GetFramebuffer = 0x0301, // -> u32 width, u32 height + the framebuffer's memfd
  AddOverlay = 0x0302,     // u32 width, u32 height, u32 stride, u32 format (0 565, 1 BGRA
                           // premultiplied) + the pixels' memfd -> u32 overlay id
  PlaceOverlay = 0x0303,   // u32 id, i32 x4 source, i32 x4 destination, u32 visible,
                           // u32 colour keyed, u32 key low, u32 key high -> nothing
  MoveOverlay = 0x0304,    // u32 id, i32 x, i32 y -> nothing
  RemoveOverlay = 0x0305,  // u32 id -> nothing (only the overlay's own process may remove it)
  Screenshot = 0x0307,     // string host file path, u32 window -> nothing; writes the composed
                           // screen as PNG (window 1: what the presenter window shows)
  PlayInput = 0x0310,      // u32 n, n x (u32 at ms, u32 kind, i32 x, i32 y, u32 key, u32 char)
                           // + the write end of a pipe -> nothing; the host hands the events
                           // to the input sink at their times and closes the pipe after the last
  ListWindows = 0x0320,    // -> u32 n, n x (u64 hwnd, string class, string title, u32 pid,
                           // i32 x4 rectangle, u32 visible, u32 foreground)

  // Events, host to process.
  DeliverPost = 0x0180, // u32 tid, u64 hwnd, u32 message, u64 wp, i64 lp; the process puts
                        // it into the thread's queue (or drops it when the thread has none)
  DeliverSend = 0x0181, // u32 send id, u32 tid, u64 hwnd, u32 message, u64 wp, i64 lp,
                        // u32 packed, blob data (see windowing/message_data_field.h); the
                        // process answers with SendResult once handled
  SyncProbe = 0x0182,   // u32 probe id, u32 thread to leave out (0: none); the process
                        // answers with SyncMarked, then SyncReached for each marked thread

  // Services host, process to host. A service is known by the host's id for it (u64).
  RegisterService = 0x0401,   // string prefix, u32 index, string dll, u32 context -> u64 id
  ActivateService = 0x0402,   // string registration key name -> u64 id
  DeregisterService = 0x0403, // u64 id -> nothing
  GetServiceHandle = 0x0404,  // string device name ("SMC0:") -> u64 id, string dll
};

inline constexpr std::uint32_t operator+(MessageType type) {
  return static_cast<std::uint32_t>(type);
}
inline constexpr std::uint32_t replyTo(MessageType type) { return +type | kReplyBit; }

} // namespace ce::protocol
