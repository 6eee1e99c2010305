// Edit messages whose parameters point into the sender's memory. They are not carried to another
// process (the pointers would mean nothing there, or worse), so SendMessageW and PostMessageW
// refuse them for windows of other processes.
#pragma once

#include <ce/controls.h>

namespace ce {

inline bool editMessagePointsIntoSender(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case EM_GETSEL:
    return wParam != 0 || lParam != 0;
  case EM_GETRECT:
  case EM_REPLACESEL:
  case EM_GETLINE:
    return lParam != 0;
  default:
    return false;
  }
}

} // namespace ce
