// What the registration program does, chosen by the words of its command line.
#pragma once

#include <string_view>

enum class OstrelAction {
  Remove,          // "uninst": remove the service and the StartUp shortcut, restore the layout
  RestoreLayout,   // "startBack": the platform's Start menu layout files come back
  SwitchOffLayout, // "startRemove": the platform's Start menu layout files are switched off
  Register,        // none of them: register and start the service, install the shortcut
};

// The words are searched for anywhere in the text, case-sensitive, in the order above; the
// first found decides.
OstrelAction ostrelActionFor(std::u16string_view commandLine);
