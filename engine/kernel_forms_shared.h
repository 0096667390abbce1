// Everything kernel_forms.h and the kernels include besides themselves: the standard library and
// the engine's own types. A set compiled for a target of its own (forms_avx2.cpp,
// forms_avx512.cpp) includes this before its target region (target_region.h), so that no inline
// function defined here is compiled for that set and then linked in place of another set's copy.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/byte_class_rules.h"
#include "engine/byte_range.h"
#include "engine/flic_pass.h"
#include "engine/forms.h"
#include "engine/fused_result.h"
#include "engine/jump_tally.h"
#include "engine/main_pass_table.h"
#include "engine/position_bits.h"
#include "engine/run_census.h"
#include "engine/sample_store.h"
