// The calling thread's own connection to the host, for its posts to other processes.
//
// A post waits only until the host has queued the message. On the process's connection the
// host's answer would reach the poster through the connection's reader thread, one thread
// switch more than the trip itself; here the posting thread reads its answer from the socket
// itself. The connection is made on the thread's first post (a Hello with
// protocol::kHelloPostConnection) and closed when the thread ends; a process made by fork makes
// its own. The host answers only requests on it, so nothing else ever waits there.
//
// Ordering is kept without any help from here: the thread waits for each answer, and the host
// has queued the message for its receiver before it answers, so whatever the thread posts or
// sends afterwards, on any connection, reaches that receiver later.
#pragma once

#include "../protocol/message.h"

#include <ce/types.h>

#include <optional>

namespace ce {

class PostConnection {
public:
  // Sends a post request of the calling thread (its id is set here) and waits for the host's
  // answer, for as long as the process's answer limit allows. nullopt when the thread cannot
  // have a post connection (no host, too many connections): the caller then uses the process's
  // connection. Otherwise the host's status, or ERROR_BROKEN_PIPE when the connection broke
  // before the answer and ERROR_TIMEOUT when the limit passed.
  static std::optional<DWORD> call(protocol::Message &request);
};

} // namespace ce
