#include "engine/instruction_set.h"

#include <atomic>

namespace Tarvo_alg1 {
namespace {

InstructionSet Detected() noexcept {
#if defined(PELLIX_PORTABLE) || !defined(__x86_64__)
  return InstructionSet::kPlain;
#else
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2")) {
    return InstructionSet::kAvx2;
  }
  return InstructionSet::kBaseline;
#endif
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
