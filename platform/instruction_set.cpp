#include "platform/instruction_set.h"

#include <atomic>

#if !defined(PELLIX_PORTABLE) && defined(__x86_64__)
#include <cpuid.h>

#include <cstdint>
#endif

namespace pellix {
namespace {

#if !defined(PELLIX_PORTABLE) && defined(__x86_64__)
// The register state the operating system saves on a task switch (XCR0): a processor may have
// AVX-512 while the system leaves the mask registers or the upper halves of the vector
// registers unsaved, and then the instructions fault or lose state.
std::uint64_t SavedRegisterState() noexcept {
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0 || (ecx & bit_OSXSAVE) == 0) return 0;
  unsigned low = 0;
  unsigned high = 0;
  // xgetbv by its bytes, so that this file needs no target of its own.
  __asm__(".byte 0x0f, 0x01, 0xd0" : "=a"(low), "=d"(high) : "c"(0));
  return (std::uint64_t{high} << 32) | low;
}

// The AVX-512 forms use the foundation, byte and word lanes (BW), the 256-bit and 128-bit forms
// (VL), doubleword and quadword operations (DQ), population counts of quadwords (VPOPCNTDQ)
// and the funnel shifts of the run census (VBMI2), and need the system to keep the opmask registers
// (XCR0 bit 5) and all 512 bits of 32 vector registers (bits 6 and 7) besides the SSE and AVX state
// (bits 1 and 2).
bool HasAvx512() noexcept {
  constexpr std::uint64_t kState = (1u << 1) | (1u << 2) | (1u << 5) | (1u << 6) | (1u << 7);
  if ((SavedRegisterState() & kState) != kState) return false;
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
         __builtin_cpu_supports("avx512vpopcntdq") && __builtin_cpu_supports("avx512vbmi2");
}
#endif

InstructionSet Detected() noexcept {
#if defined(PELLIX_PORTABLE) || !defined(__x86_64__)
  return InstructionSet::kPlain;
#else
  __builtin_cpu_init();
  if (!(__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
        __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2"))) {
    return InstructionSet::kBaseline;
  }
  return HasAvx512() ? InstructionSet::kAvx512 : InstructionSet::kAvx2;
#endif
}

std::atomic<InstructionSet> limit{kWidestInstructionSet};

}  // namespace

InstructionSet DetectedInstructionSet() noexcept {
  static const InstructionSet detected = Detected();
  return detected;
}

InstructionSet ActiveInstructionSet() noexcept {
  const InstructionSet detected = DetectedInstructionSet();
  const InstructionSet widest = limit.load(std::memory_order_relaxed);
  return detected < widest ? detected : widest;
}

void LimitInstructionSet(InstructionSet widest) noexcept {
  limit.store(widest, std::memory_order_relaxed);
}

}  // namespace pellix
