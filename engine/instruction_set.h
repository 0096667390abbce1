// Which vector instructions the engine's hot loops use. The baseline build targets every
// x86-64 processor; the loops that gain most also come in an AVX2 form, picked at run time on a
// processor that has it. Both forms give the same results, and tests run both.
#pragma once

namespace Tarvo_alg1 {

enum class InstructionSet { kBaseline, kAvx2 };

// The widest set this processor has, within the limit below.
InstructionSet ActiveInstructionSet() noexcept;

// Caps the set the hot loops use, for every thread (tests and benchmarks compare the forms).
void LimitInstructionSet(InstructionSet widest) noexcept;

}  // namespace Tarvo_alg1
