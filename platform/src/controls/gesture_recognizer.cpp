#include "controls/gesture_recognizer.h"

#include <cstdlib>

namespace ce {

GestureRecognizer::GestureRecognizer(HWND window, POINT down, DWORD startTick, DWORD holdMs,
                                     int tolerance)
    : window_(window), down_(down), start_(startTick), holdMs_(holdMs), tolerance_(tolerance) {}

bool GestureRecognizer::endsGesture(const MSG &message) const {
  switch (message.message) {
  case WM_LBUTTONUP:
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    return true;
  case WM_MOUSEMOVE: {
    if (message.hwnd != window_)
      return false; // the stylus stays with the pressed window: others' moves are not this one's
    const int x = static_cast<short>(message.lParam & 0xFFFF);
    const int y = static_cast<short>((message.lParam >> 16) & 0xFFFF);
    return std::abs(x - down_.x) > tolerance_ || std::abs(y - down_.y) > tolerance_;
  }
  default:
    return false;
  }
}

GestureRecognizer::Outcome GestureRecognizer::judge(const std::vector<MSG> &waiting,
                                                    DWORD now) const {
  // Tick arithmetic in unsigned differences, so a wrap of the tick count changes nothing.
  for (const MSG &message : waiting) {
    const DWORD at = message.time - start_;
    if (at < 0x80000000u && at >= holdMs_)
      break; // arrived after the hold was complete
    if (endsGesture(message))
      return Outcome::Ended;
  }
  return now - start_ >= holdMs_ ? Outcome::Held : Outcome::Waiting;
}

} // namespace ce
