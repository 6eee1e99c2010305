#include "display.h"

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
  return currentDisplay();
}

void Display::setCurrent(std::shared_ptr<Display> display) {
  std::lock_guard<std::mutex> lock(currentMutex);
  currentDisplay() = std::move(display);
}

} // namespace ce
