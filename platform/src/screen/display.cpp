#include "display.h"

#include <ce/host/process_display.h>

#include "host_display.h"

#include "../client/host_connection.h"

#include <mutex>

namespace ce {
namespace {

std::mutex currentMutex;
std::shared_ptr<Display>& installedDisplay() {
  static std::shared_ptr<Display> display;
  return display;
}
// Whether the display in use was installed (useDisplay) rather than made over the connection,
// and the serial of the connection the host's framebuffer was made for.
bool displayInstalled = false;
std::uint64_t hostDisplaySerial = 0;

} // namespace

std::shared_ptr<Display> Display::current() {
  std::lock_guard<std::mutex> lock(currentMutex);
  // A device process without a display of its own draws into the host's screen. (The host sets
  // its own display before anything in it draws, so it never asks itself.)
  auto &display = installedDisplay();
  if (display && displayInstalled)
    return display;
  // The host's framebuffer belongs to the host the process is connected to: once the process
  // has connected again (to another device's host, in a test that boots one device after
  // another), the display follows. While no connection is open the last one stays.
  auto &connection = HostConnection::instance();
  const std::uint64_t serial = connection.connectionSerial();
  if (display && (serial == 0 || serial == hostDisplaySerial))
    return display;
  if (auto made = HostDisplay::connect()) {
    display = std::move(made);
    hostDisplaySerial = connection.connectionSerial();
  }
  return display;
}

void Display::setCurrent(std::shared_ptr<Display> display) {
  std::lock_guard<std::mutex> lock(currentMutex);
  displayInstalled = display != nullptr;
  installedDisplay() = std::move(display);
  hostDisplaySerial = 0;
}

void useDisplay(std::shared_ptr<Display> display) { Display::setCurrent(std::move(display)); }

std::shared_ptr<Display> currentDisplay() { return Display::current(); }

} // namespace ce
