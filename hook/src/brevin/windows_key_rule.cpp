#include "windows_key_rule.h"

#include <ce/messages.h>
#include <ce/windows_api.h>

namespace WindowsKeyRule {

Outcome apply(GlobalValues &record, UINT message, WPARAM key) {
  Outcome outcome;
  if (GlobalValues::load(record.hookWinKey) == 0)
    return outcome;
  if (message != WM_KEYDOWN && message != WM_KEYUP)
    return outcome;
  const bool windowsKey = key == VK_LWIN;
  if (!windowsKey && GlobalValues::load(record.winKeyDown) == 0)
    return outcome;
  outcome.applies = true;
  if (message == WM_KEYDOWN) {
    if (windowsKey) {
      GlobalValues::store(record.winKeyDown, 1);
      outcome.swallow = true;
    } else {
      GlobalValues::store(record.winKeyUsed, 1);
    }
    return outcome;
  }
  if (windowsKey) {
    outcome.startRequest = GlobalValues::load(record.winKeyUsed) == 0;
    GlobalValues::store(record.winKeyUsed, 0);
    GlobalValues::store(record.winKeyDown, 0);
    outcome.swallow = true;
  }
  return outcome;
}

} // namespace WindowsKeyRule
