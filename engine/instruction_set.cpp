#include "engine/instruction_set.h"

#include <atomic>

namespace Tarvo_alg1 {
namespace {

InstructionSet Detected() noexcept {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt")) {
    return InstructionSet::kAvx2;
  }
#endif
  return InstructionSet::kBaseline;
}

std::atomic<InstructionSet> limit{InstructionSet::kAvx2};

}  // namespace

InstructionSet ActiveInstructionSet() noexcept {
  static const InstructionSet detected = Detected();
  const InstructionSet widest = limit.load(std::memory_order_relaxed);
  return detected < widest ? detected : widest;
}

void LimitInstructionSet(InstructionSet widest) noexcept {
  limit.store(widest, std::memory_order_relaxed);
}

}  // namespace Tarvo_alg1
