// The services host of the device, inside the host process: RegisterService, ActivateService,
// DeregisterService and GetServiceHandle for every process, and the services listed under
// HKEY_LOCAL_MACHINE\Services loaded at boot.
//
// Service libraries run in the host process and call platform functions like any program, some
// of which go through the host process's own connection to the host; so nothing that enters a
// service library (_Init, _Deinit, DllMain) runs on the loop thread. Those requests are deferred
// and done by a WorkPool; the worker hands its answer to the loop as a work item
// (HostServer::runOnLoop), and the loop sends it. Lookups (GetServiceHandle) touch no library
// and are answered on the loop at once.
//
// Boot: loading starts as the host starts, by rising Order, one log line per service in
// run/host.log. Requests from processes that arrive meanwhile wait until it has finished (at most
// kBootWaitMs), so a program started right after boot sees every boot service. Inside the host
// process the services API calls the services host directly (ServicesHost::deviceHost()), so a boot
// service's _Init may itself look up or register services.
//
// Service code runs as the device's \Windows\services.exe: the workers and the threads that stop
// services take that identity (kernel/process_identity.h), and so do the threads a service starts.
//
// Services belong to the device, not to the process that registered them: they stay loaded when
// it ends, until DeregisterService or shutdown. At shutdown (stop()) every service is
// deregistered, the last loaded first, each within a time limit: a _Deinit that does not return
// is logged and its library left loaded, and the host goes on ending.
#pragma once

#include "../src/protocol/services_messages.h"
#include "host_server.h"
#include "work_pool.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace ce {
class ServicesHost;
}

namespace ce::host {

class ServicesService {
public:
  // Time one service's _Deinit may take at shutdown, and all of them together.
  static constexpr int kDeinitLimitMs = 2000;
  static constexpr int kShutdownLimitMs = 5000;
  // Longest that requests wait for boot loading (a boot service's _Init may never return).
  static constexpr int kBootWaitMs = 10000;
  // Requests being worked on at once; more wait their turn.
  static constexpr std::size_t kMaxWorkers = 8;

  // Registers the handlers and starts loading the boot services.
  explicit ServicesService(HostServer &server);
  // stop() if it has not run.
  ~ServicesService();
  ServicesService(const ServicesService &) = delete;
  ServicesService &operator=(const ServicesService &) = delete;

  // Deregisters every service, the last loaded first, within the limits above. Call once the
  // loop has ended and the socket is gone: a library calling the host then fails at once
  // instead of waiting for an answer that cannot come.
  void stop(int deinitLimitMs = kDeinitLimitMs, int totalLimitMs = kShutdownLimitMs);

private:
  // What workers share with the loop; workers hold it (and the services host) rather than this
  // object, which a worker stuck in a library may outlive.
  struct Shared {
    explicit Shared(HostServer &loop) : server(&loop) {}
    // Reached from other threads only through post(), which stops once closed: stop() closes
    // before the server goes, while a stuck worker may live on.
    HostServer *const server;
    // Requests no longer wait for boot loading: it has finished, or taken too long.
    std::atomic<bool> booted{false};
    std::condition_variable bootEnded; // with `mutex`
    std::mutex mutex;
    bool closed = false;
    // Hands `work` to the loop thread; false (and it never runs) once closed.
    bool post(std::function<void()> work);
  };
  // Work done on a worker: the answer.
  template <class Request>
  using Work = std::function<protocol::Answer<protocol::ReplyOf<Request>>(ServicesHost &host)>;

  // On the loop: runs the requests that waited for boot loading once it has ended.
  void releaseWaitingForBoot();

  // Defers the request and runs `work` on a worker once boot loading has finished; the loop
  // sends its answer (none once closed).
  template <class Request> void runDeferred(HostRequest &request, Work<Request> work);
  // Runs `action` on the loop now, or once boot loading has finished.
  void afterBoot(std::function<void()> action);

  HostServer &server_;
  std::shared_ptr<std::atomic<bool>> logOpen_;
  std::shared_ptr<ServicesHost> host_;
  std::shared_ptr<Shared> shared_;
  WorkPool pool_;
  std::vector<std::function<void()>> waitingForBoot_; // loop thread only
  bool stopped_ = false;
};

} // namespace ce::host
