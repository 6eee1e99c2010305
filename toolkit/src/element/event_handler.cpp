#include <toolkit/display/child_window.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/element/toolkit_shutdown.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/image/imaging_factory.h>
#include <toolkit/touch/touch_state.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

std::atomic<EventHandler *> mainEventHandler{nullptr};
std::atomic<ChildWindow *> modalEventHandler{nullptr};

std::mutex stepsMutex;
std::vector<std::function<void()>> stepsBefore, stepsAfter;

void runSteps(std::vector<std::function<void()>> &steps) {
  std::vector<std::function<void()>> taken;
  {
    std::lock_guard guard(stepsMutex);
    taken.swap(steps);
  }
  for (auto &step : taken)
    step();
}

} // namespace

EventHandler::EventHandler() {
  EventHandler *none = nullptr;
  mainEventHandler.compare_exchange_strong(none, this);
}

EventHandler::~EventHandler() {
  if (GlobalInformations *global = GlobalInformations::getInstance())
    delete global->mainApplication();
  EventHandler *self = this;
  mainEventHandler.compare_exchange_strong(self, nullptr);
  ToolkitShutdown::run();
}

EventHandler *EventHandler::mainHandler() { return mainEventHandler.load(); }

void EventHandler::setMainHandler(EventHandler *handler) { mainEventHandler.store(handler); }

ChildWindow *EventHandler::modalHandler() { return modalEventHandler.load(); }

void EventHandler::setModalHandler(ChildWindow *window) { modalEventHandler.store(window); }

void dispatchEvent(Element *sender, int code, LPARAM parameter) {
  if (ChildWindow *modal = modalEventHandler.load())
    modal->onEvent(sender, code, parameter);
  else if (EventHandler *handler = mainEventHandler.load())
    handler->onEvent(sender, code, parameter);
}

void ToolkitShutdown::addStep(Phase phase, std::function<void()> step) {
  std::lock_guard guard(stepsMutex);
  (phase == Phase::BeforeElements ? stepsBefore : stepsAfter).push_back(std::move(step));
}

void ToolkitShutdown::run() {
  runSteps(stepsBefore);
  ElementRegistry::destroyAll();
  ImagingFactory::releaseAll();
  runSteps(stepsAfter);
  TouchState::destroyProcessState();
  CoUninitialize();
}
