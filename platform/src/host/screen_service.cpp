#include "screen_service.h"

namespace ce::host {

ScreenService::ScreenService(HostServer &server, const HostOptions &options)
    : server_(server), options_(options) {
  server_.addObserver(this);
}

ScreenService::~ScreenService() = default;

void ScreenService::onProcessExit(DWORD) {}

} // namespace ce::host
