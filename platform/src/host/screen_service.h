// The device's screen inside the host: it owns the Screen (the framebuffer memfd sized from the
// device profile, the overlays, the wait mark), answers the screen requests of device processes
// and routes input from the presenters and the input verbs to the InputSink.
#pragma once

#include "../screen/input_sink.h"
#include "host_options.h"
#include "host_server.h"

#include <atomic>

namespace ce::host {

class ScreenService : public ProcessObserver {
public:
  ScreenService(HostServer &server, const HostOptions &options);
  ~ScreenService() override;
  ScreenService(const ScreenService &) = delete;
  ScreenService &operator=(const ScreenService &) = delete;

  // Where input goes from now on (null: input is dropped). The window service sets itself here.
  void setInputSink(InputSink *sink) { sink_.store(sink); }

  void onProcessExit(DWORD pid) override;

private:
  HostServer &server_;
  HostOptions options_;
  std::atomic<InputSink *> sink_{nullptr};
};

} // namespace ce::host
