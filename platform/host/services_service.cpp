#include "services_service.h"

#include "../src/client/host_connection.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/host/process_identity.h>
#include <ce/host/services_host.h>

#include <chrono>
#include <condition_variable>
#include <thread>

namespace ce::host {

using namespace protocol;

bool ServicesService::Shared::post(std::function<void()> work) {
  // Held while handing over, so that stop() cannot close (and the server go) in between.
  std::lock_guard lock(mutex);
  if (closed)
    return false;
  server->runOnLoop(std::move(work));
  return true;
}

ServicesService::ServicesService(HostServer &server)
    : server_(server), logOpen_(std::make_shared<std::atomic<bool>>(true)),
      shared_(std::make_shared<Shared>(server)),
      // Service code runs as the device's services.exe (kernel/process_identity.h).
      pool_(kMaxWorkers, [] { ProcessIdentity::adopt(ProcessIdentity::services()); }) {
  host_ = std::make_shared<ServicesHost>(
      [&log = server.log(), open = logOpen_](const std::string &line) {
        if (open->load())
          log.line(line);
      });
  ServicesHost::setDeviceHost(host_);
  server.on<RegisterServiceRequest>([this](HostRequest &r, RegisterServiceRequest &service) {
    runDeferred<RegisterServiceRequest>(r, [service](ServicesHost &host) -> Answer<ServiceIdReply> {
      DWORD error = ERROR_SUCCESS;
      const auto id =
          host.registerService(service.prefix, service.index, service.dll, service.context, &error);
      return id ? Answer<ServiceIdReply>(ServiceIdReply{id}) : error;
    });
    return Deferred{};
  });
  server.on<ActivateServiceRequest>([this](HostRequest &r, ActivateServiceRequest &activation) {
    runDeferred<ActivateServiceRequest>(
        r, [key = activation.keyName](ServicesHost &host) -> Answer<ServiceIdReply> {
          DWORD error = ERROR_SUCCESS;
          const auto id = host.activateService(key, &error);
          return id ? Answer<ServiceIdReply>(ServiceIdReply{id}) : error;
        });
    return Deferred{};
  });
  server.on<DeregisterServiceRequest>([this](HostRequest &r, DeregisterServiceRequest &service) {
    runDeferred<DeregisterServiceRequest>(
        r, [id = service.id](ServicesHost &host) -> Answer<Empty> {
          DWORD error = ERROR_SUCCESS;
          return host.deregisterService(id, &error) ? ERROR_SUCCESS : error;
        });
    return Deferred{};
  });
  // A lookup touches no library: answered on the loop, once boot loading has finished.
  server.on<GetServiceHandleRequest>([this](HostRequest &r, GetServiceHandleRequest &lookup) {
    afterBoot([this, name = lookup.deviceName, later = r.defer<GetServiceHandleRequest>()] {
      const auto service = host_->find(name);
      server_.answerLater(later,
                          service ? Answer<GetServiceHandleRequest::Reply>(
                                        GetServiceHandleRequest::Reply{service->id, service->dll})
                                  : ERROR_SERVICE_DOES_NOT_EXIST);
    });
    return Deferred{};
  });

  // The boot job and the watch below never touch `this` off the loop: they only hand the loop
  // work that does, and post() refuses once stop() has run, before this object goes.
  pool_.submit([this, host = host_, shared = shared_, &log = server.log(), open = logOpen_] {
    if (open->load())
      log.line("services: loading the boot services");
    const std::size_t loaded = host->loadBootServices();
    if (open->load())
      log.line("services: " + std::to_string(loaded) + " loaded at boot");
    {
      std::lock_guard lock(shared->mutex);
      shared->booted.store(true);
    }
    shared->bootEnded.notify_all();
    shared->post([this] { releaseWaitingForBoot(); }); // requests that waited go on
  });
  std::thread([this, shared = shared_, &log = server.log(), open = logOpen_] {
    std::unique_lock lock(shared->mutex);
    if (shared->bootEnded.wait_for(lock, std::chrono::milliseconds(kBootWaitMs),
                                   [&] { return shared->booted.load() || shared->closed; }))
      return;
    shared->booted.store(true);
    lock.unlock();
    if (open->load())
      log.line("services: boot loading still running after " + std::to_string(kBootWaitMs) +
               " ms; requests no longer wait for it");
    shared->post([this] { releaseWaitingForBoot(); });
  }).detach();
}

ServicesService::~ServicesService() {
  stop();
  logOpen_->store(false);
}

void ServicesService::afterBoot(std::function<void()> action) {
  if (shared_->booted.load())
    action();
  else
    waitingForBoot_.push_back(std::move(action));
}

template <class Request>
void ServicesService::runDeferred(HostRequest &request, Work<Request> work) {
  const auto later = request.defer<Request>();
  std::function<void()> job = [host = host_, shared = shared_, work = std::move(work), later] {
    auto answer = work(*host);
    shared->post([server = shared->server, later, answer] { server->answerLater(later, answer); });
  };
  afterBoot([this, job = std::move(job), later] {
    if (!pool_.submit(job))
      server_.answerLater(later, Answer<ReplyOf<Request>>(ERROR_BROKEN_PIPE));
  });
}

void ServicesService::releaseWaitingForBoot() {
  if (!shared_->booted.load() || waitingForBoot_.empty())
    return;
  auto waiting = std::move(waitingForBoot_);
  waitingForBoot_.clear();
  for (auto &action : waiting)
    action();
}

void ServicesService::stop(int deinitLimitMs, int totalLimitMs) {
  if (stopped_)
    return;
  stopped_ = true;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(totalLimitMs);
  auto log = [this](const std::string &line) {
    if (logOpen_->load())
      server_.log().line(line);
  };
  {
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
  }
  shared_->bootEnded.notify_all();
  // From here on a library's call into the host fails at once: the loop no longer answers.
  HostConnection::instance().disconnect();
  if (!pool_.stop(deinitLimitMs))
    log("services: requests still running after " + std::to_string(deinitLimitMs) +
        " ms; going on without them");

  const auto services = host_->services();
  if (!services.empty())
    log("services: stopping " + std::to_string(services.size()));
  for (auto it = services.rbegin(); it != services.rend(); ++it) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      log("service " + toUtf8(it->name) + " left loaded: no time left at shutdown");
      continue;
    }
    struct Done {
      std::mutex mutex;
      std::condition_variable signal;
      bool finished = false;
    };
    auto done = std::make_shared<Done>();
    std::thread([host = host_, id = it->id, done] {
      ProcessIdentity::adopt(ProcessIdentity::services());
      host->deregisterService(id, nullptr);
      std::lock_guard lock(done->mutex);
      done->finished = true;
      done->signal.notify_all();
    }).detach();
    const auto limit = std::min<long long>(deinitLimitMs, left.count());
    std::unique_lock lock(done->mutex);
    if (!done->signal.wait_for(lock, std::chrono::milliseconds(limit),
                               [&] { return done->finished; }))
      log("service " + toUtf8(it->name) + ": _Deinit did not return within " +
          std::to_string(limit) + " ms; left loaded");
  }
  ServicesHost::setDeviceHost(nullptr);
}

} // namespace ce::host
