// The demo's application object: builds the screen when the program starts, writes every event
// it receives to the log, and answers the buttons with the toolkit's dialogs.
#pragma once

#include "event_log.h"

#include <toolkit/element/event_handler.h>

#include <memory>

namespace demo {

class DemoScreen;

class DemoHandler : public EventHandler {
public:
  explicit DemoHandler(EventLog log);
  ~DemoHandler() override;

  void onStart(UINT message, LPARAM parameter) override;
  void onEvent(Element *sender, int code, LPARAM parameter) override;

  // Logs where the elements are (the places key).
  void logPlaces() const;
  const EventLog &log() const { return log_; }

private:
  void onTap(int identifier);
  void onValueChanged(Element *sender, int identifier);
  void showWaitBox();

  EventLog log_;
  std::unique_ptr<DemoScreen> screen_;
};

// Logs every message box and every folder of the file chooser as they are first drawn, with the
// places of their parts, so that tests can answer them.
void watchDialogs(const EventLog &log);

} // namespace demo
