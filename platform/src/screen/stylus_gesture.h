// The stylus gestures of the input verbs as timed input events: a tap, a press held for a
// while, a drag in steps. The host plays them, waiting until each event's time.
#pragma once

#include "input_event.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ce {

struct TimedInput {
  std::uint32_t atMilliseconds = 0; // from the gesture's start
  InputEvent event;
  bool operator==(const TimedInput&) const = default;
};

class StylusGesture {
public:
  static constexpr std::uint32_t kMaximumDuration = 60000;
  static constexpr std::uint32_t kMaximumSteps = 1000;
  static constexpr std::uint32_t kDefaultHold = 1000;
  static constexpr std::uint32_t kDefaultDragDuration = 300;
  static constexpr std::uint32_t kDefaultDragSteps = 10;

  static std::vector<TimedInput> tap(std::int32_t x, std::int32_t y);
  static std::optional<std::vector<TimedInput>> hold(std::int32_t x, std::int32_t y,
                                                     std::uint32_t milliseconds);
  // Down at the start, `steps` moves spread evenly over the time (the last one at the end
  // point), up at the end point. Nothing when the duration or the steps are out of range
  // (steps 1 .. kMaximumSteps).
  static std::optional<std::vector<TimedInput>> drag(std::int32_t x1, std::int32_t y1,
                                                     std::int32_t x2, std::int32_t y2,
                                                     std::uint32_t milliseconds,
                                                     std::uint32_t steps);
};

} // namespace ce
