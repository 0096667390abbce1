// A stretch of a file compiled for an instruction set of its own: every function defined between
// PELLIX_TARGET_BEGIN("avx2,popcnt") and PELLIX_TARGET_END, those of the headers included there
// too, is compiled for the compiler's target names given, and may run only on a processor that
// has them (forms_avx2.cpp, forms_avx512.cpp).
#pragma once

#define PELLIX_PRAGMA(text) _Pragma(#text)

#if defined(__clang__)
#define PELLIX_TARGET_BEGIN(names) \
  PELLIX_PRAGMA(clang attribute push(__attribute__((target(names))), apply_to = function))
#define PELLIX_TARGET_END PELLIX_PRAGMA(clang attribute pop)
#else
#define PELLIX_TARGET_BEGIN(names) PELLIX_PRAGMA(GCC push_options) PELLIX_PRAGMA(GCC target(names))
#define PELLIX_TARGET_END PELLIX_PRAGMA(GCC pop_options)
#endif
