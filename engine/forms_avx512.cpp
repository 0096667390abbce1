// The hot loops in AVX-512: the table of kernel_forms.h over lanes_avx512.h. Everything defined
// in the target region (target_region.h), the kernels and the table's functions included, is
// compiled for AVX-512 (and the AVX2 and bit instructions that come with it); it runs only on a
// processor and system that have it (instruction_set.cpp). The headers of the standard library
// and of the engine's own types are included before (kernel_forms_shared.h), so that no inline
// function they define is compiled for AVX-512 and then shared with the other forms.

// GCC 12's AVX-512 intrinsics pass an undefined vector where a result has no pass-through
// lanes, and its uninitialised-use warnings take that for a real uninitialised variable in every
// function the intrinsics are inlined into. Nothing in this file reads a variable it did not set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include <immintrin.h>

#include "engine/kernel_forms_shared.h"
#include "engine/target_region.h"

PELLIX_TARGET_BEGIN(
    "avx512f,avx512bw,avx512vl,avx512dq,avx512vpopcntdq,avx512vbmi2,avx2,popcnt,bmi,bmi2,lzcnt")

#include "engine/kernel_forms.h"
#include "engine/lanes_avx512.h"

namespace Tarvo_alg1 {
namespace {

using L = lanes::Avx512;

// Built while compiling (consteval), so that no code compiled for AVX-512 runs to build it.
constexpr Forms kKernelForms = SetForms<L>::Table();

}  // namespace
}  // namespace Tarvo_alg1

PELLIX_TARGET_END

namespace Tarvo_alg1 {

// The main pass's table, the scaling in doubles and the wide slots are rare or short enough to
// share the AVX2 and SSE2 forms.
const Forms& Avx512Forms() noexcept {
  static const Forms forms = [] {
    Forms avx512 = kKernelForms;
    avx512.classify_wide = Sse2Forms().classify_wide;
    avx512.narrow = Sse2Forms().narrow;
    avx512.fill_main_pass_table = Avx2Forms().fill_main_pass_table;
    avx512.scale_blocks_in_doubles = Avx2Forms().scale_blocks_in_doubles;
    return avx512;
  }();
  return forms;
}

}  // namespace Tarvo_alg1
