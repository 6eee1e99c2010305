#include "display.h"

#include <ce/host/process_display.h>

#include "host_display.h"

#include <mutex>

namespace ce {
namespace {

std::mutex currentMutex;
std::shared_ptr<Display>& installedDisplay() {
  static std::shared_ptr<Display> display;
  return display;
}

} // namespace

std::shared_ptr<Display> Display::current() {
  std::lock_guard<std::mutex> lock(currentMutex);
  // A device process without a display of its own draws into the host's screen. (The host sets
  // its own display before anything in it draws, so it never asks itself.)
  if (!installedDisplay()) installedDisplay() = HostDisplay::connect();
  return installedDisplay();
}

void Display::setCurrent(std::shared_ptr<Display> display) {
  std::lock_guard<std::mutex> lock(currentMutex);
  installedDisplay() = std::move(display);
}

void useDisplay(std::shared_ptr<Display> display) { Display::setCurrent(std::move(display)); }

std::shared_ptr<Display> currentDisplay() { return Display::current(); }

} // namespace ce
