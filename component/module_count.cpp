#include "component/module_count.h"

#include <atomic>

namespace pellix::component {

namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

void ObjectCreated() noexcept {
  ++g_objects;
}
void ObjectDestroyed() noexcept {
  --g_objects;
}
void Lock(bool lock) noexcept {
  // An unlock without a lock is ignored rather than letting the count go negative.
  if (lock) {
    ++g_locks;
    return;
  }
  long locks = g_locks.load();
  while (locks > 0 && !g_locks.compare_exchange_weak(locks, locks - 1)) {
  }
}
bool CanUnload() noexcept {
  return g_objects.load() == 0 && g_locks.load() == 0;
}

}  // namespace pellix::component
