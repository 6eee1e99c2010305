#include "registry/registry_fork_generation.h"

#include <atomic>
#include <pthread.h>

namespace ce {

namespace {
std::atomic<std::uint64_t> generation{0};

void forked() { generation.fetch_add(1, std::memory_order_relaxed); }

// Registered when the library loads, so that no fork goes unseen.
const bool registered = pthread_atfork(nullptr, nullptr, forked) == 0;
} // namespace

std::uint64_t RegistryForkGeneration::current() {
  (void)registered;
  return generation.load(std::memory_order_relaxed);
}

} // namespace ce
