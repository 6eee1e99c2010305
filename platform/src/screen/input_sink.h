#pragma once

#include "input_event.h"

namespace ce::host {
// Where the host sends input from the presenters and the input verbs. The window manager's
// service implements it; without one, input is dropped.
class InputSink {
public:
  virtual ~InputSink() = default;
  virtual void deliverInput(const ce::InputEvent& event) = 0;
};
}
