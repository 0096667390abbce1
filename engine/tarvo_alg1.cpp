#include "engine/tarvo_alg1.h"

#include <memory>

namespace Tarvo_alg1 {

// One copy per thread, created empty on the thread's first use and never cleared: all control
// instances on a thread share it, as the module's variables are shared. Held on the heap, not
// in the thread's own storage: every thread of a process (the main thread of `pellix
// --version` included) would otherwise have its quarter megabyte of samples zeroed when it
// starts, whether it ever analyses or not.
SharedState& Shared() noexcept {
  thread_local const std::unique_ptr<SharedState> state = std::make_unique<SharedState>();
  return *state;
}

}  // namespace Tarvo_alg1
