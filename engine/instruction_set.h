// Which instructions the engine's hot loops use (engine/forms.h). The plain forms run on any
// processor; an x86-64 build adds the SSE2 forms of its baseline and AVX2 forms, the widest the
// processor has picked at run time. A portable build (PELLIX_PORTABLE) has the plain forms only.
// Every form gives the same results, and tests run each.
#pragma once

namespace Tarvo_alg1 {

enum class InstructionSet { kPlain, kBaseline, kAvx2 };

// The widest set this build and processor have, within the limit below.
InstructionSet ActiveInstructionSet() noexcept;

// Caps the set the hot loops use, for every thread (tests and benchmarks compare the forms).
void LimitInstructionSet(InstructionSet widest) noexcept;

}  // namespace Tarvo_alg1
