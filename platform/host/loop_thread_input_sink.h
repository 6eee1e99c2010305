// Hands input from the presenter's and the input player's threads over to the host's loop
// thread, where the window service owns the window manager.
#pragma once

#include "../src/screen/input_sink.h"
#include "host_server.h"

namespace ce::host {

class LoopThreadInputSink : public InputSink {
public:
  LoopThreadInputSink(HostServer &server, InputSink &target) : server_(server), target_(target) {}

  void deliverInput(const ce::InputEvent &event) override {
    server_.runOnLoop([this, event] { target_.deliverInput(event); });
  }

private:
  HostServer &server_;
  InputSink &target_;
};

} // namespace ce::host
