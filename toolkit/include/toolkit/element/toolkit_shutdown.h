// The toolkit's end, run by the application's EventHandler destructor: steps that other parts of
// the toolkit register (the icon loader's end, fonts, shared surfaces), the destruction of every
// remaining element, the per-thread imaging factories and the touch state.
#pragma once

#include <functional>

class ToolkitShutdown {
public:
  enum class Phase { BeforeElements, AfterElements };

  // Registers a step once; steps of a phase run in registration order, each once.
  static void addStep(Phase phase, std::function<void()> step);
  static void run();
};
