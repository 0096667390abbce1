#include "engine/tarvo_alg1.h"

#include <utility>

namespace Tarvo_alg1 {
namespace {

// Held on the heap, not in the thread's own storage: every thread of a process (the main
// thread of `pellix --version` included) would otherwise have its quarter megabyte of samples
// zeroed when it starts, whether it ever analyses or not.
std::unique_ptr<SharedState>& ThreadState() noexcept {
  thread_local std::unique_ptr<SharedState> state;
  return state;
}

}  // namespace

// One copy per thread, created empty on the thread's first use and never cleared: all control
// instances on a thread share it, as the module's variables are shared.
SharedState& Shared() noexcept {
  std::unique_ptr<SharedState>& state = ThreadState();
  if (!state) state = std::make_unique<SharedState>();
  return *state;
}

void ExchangeShared(std::unique_ptr<SharedState>& other) noexcept {
  std::swap(ThreadState(), other);
}

}  // namespace Tarvo_alg1
