// Which instructions the hot loops use: the engine's (engine/forms.h) and the audio layer's
// mixes. The processor and its operating system decide, not the engine. The plain forms run on
// any processor; an x86-64 build adds the SSE2 forms of its baseline, AVX2 forms and AVX-512 forms,
// the widest the processor and its operating system support picked at run time. A portable build
// (PELLIX_PORTABLE) has the plain forms only. Every form gives the same results, and tests run
// each.
#pragma once

namespace pellix {

// In order of width: a limit admits every set up to it.
enum class InstructionSet { kPlain, kBaseline, kAvx2, kAvx512 };

// The widest set of all, the limit in force until one is set.
inline constexpr InstructionSet kWidestInstructionSet = InstructionSet::kAvx512;

// The widest set this build and processor have, within the limit below.
InstructionSet ActiveInstructionSet() noexcept;

// The widest set this build and processor have, whatever the limit.
InstructionSet DetectedInstructionSet() noexcept;

// Caps the set the hot loops use, for every thread (tests and benchmarks compare the forms).
void LimitInstructionSet(InstructionSet widest) noexcept;

}  // namespace pellix
