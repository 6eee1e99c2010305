#include "stylus_gesture.h"

namespace ce {

std::vector<TimedInput> StylusGesture::tap(std::int32_t x, std::int32_t y) {
  return {{0, InputEvent::stylus(InputKind::StylusDown, x, y)},
          {0, InputEvent::stylus(InputKind::StylusUp, x, y)}};
}

std::optional<std::vector<TimedInput>> StylusGesture::hold(std::int32_t x, std::int32_t y,
                                                           std::uint32_t milliseconds) {
  if (milliseconds > kMaximumDuration) return std::nullopt;
  return std::vector<TimedInput>{{0, InputEvent::stylus(InputKind::StylusDown, x, y)},
                                 {milliseconds, InputEvent::stylus(InputKind::StylusUp, x, y)}};
}

std::optional<std::vector<TimedInput>> StylusGesture::drag(std::int32_t x1, std::int32_t y1,
                                                           std::int32_t x2, std::int32_t y2,
                                                           std::uint32_t milliseconds,
                                                           std::uint32_t steps) {
  if (milliseconds > kMaximumDuration || steps < 1 || steps > kMaximumSteps) return std::nullopt;
  std::vector<TimedInput> timeline;
  timeline.reserve(steps + 2);
  timeline.push_back({0, InputEvent::stylus(InputKind::StylusDown, x1, y1)});
  for (std::uint32_t i = 1; i <= steps; ++i) {
    // 64-bit so that screen-sized coordinates times the step count cannot overflow.
    const auto at = [&](std::int32_t from, std::int32_t to) {
      return std::int32_t(from + (std::int64_t(to) - from) * i / steps);
    };
    const auto when = std::uint32_t(std::uint64_t(milliseconds) * i / steps);
    timeline.push_back({when, InputEvent::stylus(InputKind::StylusMove, at(x1, x2), at(y1, y2))});
  }
  timeline.push_back({milliseconds, InputEvent::stylus(InputKind::StylusUp, x2, y2)});
  return timeline;
}

} // namespace ce
