// Decides a press-and-hold from the stylus messages that have arrived since the press: held once
// the stylus has stayed down and within the tolerance for the hold time, ended by a lift, a new
// press, or a move beyond the tolerance. Message times (MSG.time, the tick when the message
// arrived) place each message: one that arrived after the hold time had passed no longer ends
// the gesture.
#pragma once

#include <ce/messages.h>

#include <vector>

namespace ce {

class GestureRecognizer {
public:
  enum class Outcome { Waiting, Held, Ended };

  // `down` in the client coordinates of `window`; `startTick` the tick when watching began.
  GestureRecognizer(HWND window, POINT down, DWORD startTick, DWORD holdMs, int tolerance);

  // `waiting`: the stylus messages of the thread, oldest first; `now` the current tick.
  Outcome judge(const std::vector<MSG> &waiting, DWORD now) const;

private:
  bool endsGesture(const MSG &message) const;

  HWND window_;
  POINT down_;
  DWORD start_;
  DWORD holdMs_;
  int tolerance_;
};

} // namespace ce
