#include "engine/flic_pass.h"

#include <cstddef>

#include "engine/flic_runs.h"
#include "engine/forms.h"
#include "engine/jump_tally.h"

namespace Tarvo_alg1 {

void CountFlics(const PositionBits& thorn, const PositionBits& nonflat, std::size_t flic,
                std::size_t last, double MinJump, double MaxJump, FlicPass& pass) {
  RunEnds ends;
  ActiveForms().find_run_ends(nonflat, ends);
  JumpTally tally(MinJump, MaxJump);
  if (!(MaxJump >= kLongestRun + 1)) {
    ActiveForms().count_flics_by_census(thorn, nonflat, ends, flic, last, tally, pass);
  } else {
    CountFlicsRunByRun(thorn, nonflat, ends, flic, last, tally, pass);
  }
}

}  // namespace Tarvo_alg1
