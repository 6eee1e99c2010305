#include "display.h"

#include "host_display.h"

#include <mutex>

namespace ce {
namespace {

std::mutex currentMutex;
std::shared_ptr<Display>& currentDisplay() {
  static std::shared_ptr<Display> display;
  return display;
}

} // namespace

std::shared_ptr<Display> Display::current() {
  std::lock_guard<std::mutex> lock(currentMutex);
  // A device process without a display of its own draws into the host's screen. (The host sets
  // its own display before anything in it draws, so it never asks itself.)
  if (!currentDisplay()) currentDisplay() = HostDisplay::connect();
  return currentDisplay();
}

void Display::setCurrent(std::shared_ptr<Display> display) {
  std::lock_guard<std::mutex> lock(currentMutex);
  currentDisplay() = std::move(display);
}

} // namespace ce
