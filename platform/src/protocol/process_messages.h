// The process requests (0x010x-0x011x): joining the device, its process table, starting and
// ending programs, and the host's own life.
#pragma once

#include "message_codec.h"
#include "message_type.h"

namespace ce::protocol {

// The first request on every connection: the host's pid and the caller's device path (empty
// for tools and post connections).
struct HelloRequest {
  static constexpr MessageType kType = MessageType::Hello;
  static constexpr std::size_t kMaxPathUnits = 4096;
  std::uint32_t flags = 0;   // kHello*
  std::u16string executable; // the host path of the caller's executable
  static constexpr auto fields() {
    using S = HelloRequest;
    return std::tuple{wire::field(&S::flags), wire::text(&S::executable, kMaxPathUnits)};
  }
  struct Reply {
    DWORD hostPid = 0;
    std::u16string devicePath;
    static constexpr auto fields() {
      return std::tuple{wire::field(&Reply::hostPid), wire::text(&Reply::devicePath)};
    }
  };
};

struct PingRequest {
  static constexpr MessageType kType = MessageType::Ping;
  static constexpr auto fields() { return std::tuple{}; }
};

// Answered once the host has ended every device process; then the host ends.
struct ShutdownRequest {
  static constexpr MessageType kType = MessageType::Shutdown;
  static constexpr auto fields() { return std::tuple{}; }
};

struct StartProcessRequest {
  static constexpr MessageType kType = MessageType::StartProcess;
  std::u16string devicePath; // of an .exe
  std::u16string arguments;
  DWORD show = 0;
  static constexpr auto fields() {
    using S = StartProcessRequest;
    return std::tuple{wire::name(&S::devicePath, MAX_PATH), wire::text(&S::arguments),
                      wire::field(&S::show)};
  }
  struct Reply {
    DWORD pid = 0;
    static constexpr auto fields() { return std::tuple{wire::field(&Reply::pid)}; }
  };
};

// One line of the process table.
struct ProcessEntry {
  DWORD pid = 0;
  DWORD parent = 0;
  std::uint64_t startMs = 0; // since the epoch
  std::u16string devicePath;
  static constexpr auto fields() {
    using S = ProcessEntry;
    return std::tuple{wire::field(&S::pid), wire::field(&S::parent), wire::field(&S::startMs),
                      wire::text(&S::devicePath)};
  }
};

struct ListProcessesRequest {
  static constexpr MessageType kType = MessageType::ListProcesses;
  static constexpr auto fields() { return std::tuple{}; }
  struct Reply {
    std::vector<ProcessEntry> processes;
    static constexpr auto fields() {
      return std::tuple{wire::list(&Reply::processes, wire::kAsManyAsFit)};
    }
  };
};

// A process that runs, or one of the last that ended (their exit codes are remembered).
struct QueryProcessRequest {
  static constexpr MessageType kType = MessageType::QueryProcess;
  DWORD pid = 0;
  static constexpr auto fields() { return std::tuple{wire::field(&QueryProcessRequest::pid)}; }
  struct Reply {
    bool alive = false;
    DWORD exitCode = 0;
    std::u16string devicePath; // empty once it has ended
    DWORD lifePid = 0; // the process whose end is this one's: the host's, for processes in it
    static constexpr auto fields() {
      return std::tuple{wire::field(&Reply::alive), wire::field(&Reply::exitCode),
                        wire::text(&Reply::devicePath), wire::field(&Reply::lifePid)};
    }
  };
};

struct TerminateProcessRequest {
  static constexpr MessageType kType = MessageType::TerminateProcess;
  DWORD pid = 0;
  DWORD exitCode = 0;
  static constexpr auto fields() {
    using S = TerminateProcessRequest;
    return std::tuple{wire::field(&S::pid), wire::field(&S::exitCode)};
  }
};

// A program's WinMain returned this (notice).
struct ProcessExitingNotice {
  static constexpr MessageType kType = MessageType::ProcessExiting;
  DWORD exitCode = 0;
  static constexpr auto fields() {
    return std::tuple{wire::field(&ProcessExitingNotice::exitCode)};
  }
};

} // namespace ce::protocol
