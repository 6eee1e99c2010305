// The hardware Windows key on the hooked taskbar: pressed and released alone it asks for the
// menu; held while another key is pressed it is a modifier and asks for nothing, and the other
// key goes on to the taskbar. The key state lives in the shared record.
#pragma once

#include <hook/global_values.h>

namespace WindowsKeyRule {

struct Outcome {
  bool applies = false;      // false: the message is none of the rule's business
  bool swallow = false;      // the taskbar does not see the message
  bool startRequest = false; // post a Start request to the hook thread
};

// Applies only while `hookWinKey` is set, to WM_KEYDOWN and WM_KEYUP of VK_LWIN, or of any key
// while the Windows key is held.
Outcome apply(GlobalValues &record, UINT message, WPARAM key);

} // namespace WindowsKeyRule
