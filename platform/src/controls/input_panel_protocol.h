// What the input panel's window and the Sip* functions of every process agree on: the panel's
// window class, found with FindWindowW, and the one number-only message it answers.
#pragma once

#include <ce/messages.h>

namespace ce::input_panel {

inline constexpr char16_t kClassName[] = u"SipWndClass";
// Sent to the panel: wParam 1 shows it, 0 hides it. Answers 1 once the panel has changed.
constexpr UINT kShowMessage = WM_USER + 1;

} // namespace ce::input_panel
