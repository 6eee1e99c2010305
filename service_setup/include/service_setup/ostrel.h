// The registration program: registers, starts and removes the service with the services host,
// and switches the platform's own Start menu layout files off and on.
#pragma once

#include <service_setup/ostrel_action.h>

#include <string>

class Ostrel {
public:
  // Finds the StartUp folder and the system's directory (the shortcut's source).
  Ostrel();

  void run(OstrelAction action);

  const std::u16string &sourceShortcut() const { return sourceShortcut_; }
  const std::u16string &startupShortcut() const { return startupShortcut_; }

private:
  void remove();
  void registerService();
  // Another program's service host, restarted at every registration when it is installed.
  void restartCompanionHost();
  // Shows the platform's text for the last error, captioned "Problem!".
  static void showLastError();

  std::u16string sourceShortcut_;
  std::u16string startupShortcut_;
};
