#include "engine/tarvo_alg1.h"

namespace Tarvo_alg1 {

// One copy per thread, created empty on the thread's first use and never cleared: all control
// instances on a thread share it, as the module's variables are shared.
SharedState& Shared() noexcept {
  thread_local SharedState state;
  return state;
}

}  // namespace Tarvo_alg1
