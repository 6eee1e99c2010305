// Feeds arbitrary packets to the host's request handling: a server with its real services but no
// socket (processes, named objects, thread messages, the barrier and the window manager), one
// greeted peer, and every input cut into packets that are decoded and handled as the host's loop
// would. The seeds hold one declared request each, and a window session.
#include "../device_sync.h"
#include "../host_log.h"
#include "../host_server.h"
#include "../named_object_service.h"
#include "../process_service.h"
#include "../thread_message_router.h"
#include "../window_service.h"
#include "../../src/protocol/packet_socket.h"
#include "../../src/protocol/process_messages.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <unistd.h>

namespace {

using namespace ce;

struct Host {
  host::HostLog log{"/dev/null"};
  host::HostServer server{protocol::UniqueFd(), log};
  host::ProcessService processes{server, "/nonexistent-device-root"};
  host::NamedObjectService objects{server};
  host::ThreadMessageRouter router{server};
  // No input plays here: a barrier goes straight to its probes.
  host::DeviceSync sync{server, [](std::function<void()> then) { then(); }};
  host::WindowService windows{server, router, 480, 640};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static Host *host = new Host;
  // A fresh peer per input, greeted as a device process; dropping it afterwards runs the same
  // cleanup as a process that dies.
  auto &peer = host->server.adopt(protocol::UniqueFd(), 4242, 0);
  protocol::Message greeting;
  protocol::encode(greeting, protocol::typeOf<protocol::HelloRequest>(), 1, 0,
                   protocol::HelloRequest{0, u"/fuzz"});
  host->server.handle(peer, greeting);

  // Packets: a 2-byte length, then that many bytes.
  std::size_t at = 0;
  while (at + 2 <= size) {
    std::size_t length = data[at] | (data[at + 1] << 8);
    at += 2;
    length = std::min(length, size - at);
    protocol::Message message;
    if (protocol::PacketSocket::decode(std::span(data + at, length), message) ==
        protocol::PacketSocket::Result::Ok) {
      // Never start real programs or end processes from the fuzzer.
      const auto type = message.type();
      if (type != protocol::MessageType::StartProcess &&
          type != protocol::MessageType::TerminateProcess &&
          type != protocol::MessageType::Shutdown && host->server.peer(peer.id()))
        host->server.handle(peer, message);
    }
    at += length;
  }
  host->server.drop(peer.id());
  return 0;
}
