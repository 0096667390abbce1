// ComputeStress: the three stress levels and the two deviations of a checked take, measured
// against the speaker's calibration, with the resolutions adapted on the way.
//
// The procedure resumes on error: every statement that fails (a division by zero, a result that
// is not finite) is skipped, its target keeps the value it had, and the next statement runs.
// Nothing ever reaches the caller. Each Assign below is exactly one statement, whose arithmetic
// gives NaN for a failure rather than raising (resumed_arithmetic.h).
#include "engine/resumed_arithmetic.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"

namespace Tarvo_alg1 {

namespace {

using pellix::Int;
using resumed::Add;
using resumed::Assign;
using resumed::Div;
using resumed::Mul;
using resumed::Sub;

struct Scales {
  double jump;
  double thorn;
};

// Profile 1 is the one the initialisation selects; any other value (unset included) falls back
// to the older, flatter pair.
Scales ScalesFor(double profile) {
  if (profile == 1) return {2.5, 2.9};
  return {3.1, 3.2};
}

}  // namespace

void ComputeStress(SharedState& s) {
  // A stopped computation leaves all three levels at 0; that is how the verdict and Check
  // learn that nothing was computed.
  s.LieStress = 0;
  s.GlbStress = 0;
  s.ExcStress = 0;

  // Early stops: an unusable take, an empty take, or break points that switch the analysis off.
  if (s.AvgJumpLen < 2 || s.AvgJumpLen > 11) return;
  if ((s.ThornRate == 0 && s.JumpRate == 0) || s.SampleCount == 0) return;
  if (s.JumpBreakpoint == 0 || s.ThornBreakpoint == 0) return;

  // A take with jumps but no thorns (or the reverse) is measured as if it had one; the rest of
  // Check sees the replaced rate.
  if (s.JumpRate == 0) s.JumpRate = 1;
  if (s.ThornRate == 0) s.ThornRate = 1;

  // The scales of the speaker's profile.
  const Scales scale = ScalesFor(s.ScaleProfile);

  // Jump deviation, shrunk by the ratio of the larger to the smaller mean jump length. A
  // failing statement leaves jd as it was (0 before its first assignment).
  double jd = 0;
  Assign(jd, Div(Sub(Div(s.CalSpJ, Int(s.JumpRate)), 1.1), scale.jump));
  if (s.AvgJumpLen >= s.CalAvJ) {
    Assign(jd, Div(jd, Div(s.AvgJumpLen, s.CalAvJ)));
  } else {
    Assign(jd, Div(jd, Div(s.CalAvJ, s.AvgJumpLen)));
  }

  // Jump resolution: a quiet deviation tightens it, a clamped one loosens it; the floor and
  // the cap hold after every complete computation, whether or not a step was taken.
  if (-0.08 < jd && jd < 0.08) {
    Assign(s.JumpResolution, Sub(s.JumpResolution, 0.1));
  }
  if (s.JumpResolution < 1.6) s.JumpResolution = 1.6;
  if (jd < -0.6) {
    jd = -0.6;
    Assign(s.JumpResolution, Add(s.JumpResolution, 0.1));
  }
  if (jd > 1.2) {
    jd = 1.2;
    Assign(s.JumpResolution, Add(s.JumpResolution, 0.1));
  }
  if (s.JumpResolution > 4.3) s.JumpResolution = 4.3;

  // The jump deviation as the later steps see it.
  s.JumpDeviation = jd;

  // Thorn deviation: the rate is not passed through Int and the result is not clamped.
  Assign(s.ThornDeviation, Div(Sub(Div(s.CalSpT, s.ThornRate), 1.1), scale.thorn));

  // Thorn resolution, as for the jumps but with its own window, floor and no clamp of td.
  const double td = s.ThornDeviation;
  if (-0.05 < td && td < 0.05) {
    Assign(s.ThornResolution, Sub(s.ThornResolution, 0.1));
  }
  if (s.ThornResolution < 1.7) s.ThornResolution = 1.7;
  if (td < -0.6) Assign(s.ThornResolution, Add(s.ThornResolution, 0.1));
  if (td > 2) Assign(s.ThornResolution, Add(s.ThornResolution, 0.1));
  if (s.ThornResolution > 4.3) s.ThornResolution = 4.3;

  // Global stress. Without a calibrated spread the first statement fails and the level is
  // built from the spread alone.
  Assign(s.GlbStress, Int(Mul(Div(s.JumpSpread, s.CalJQ), 100)));
  if (s.JumpSpread > 10) Assign(s.GlbStress, Add(s.GlbStress, s.JumpSpread));

  // Lie stress, three statements, each on the result of the one before.
  Assign(s.LieStress, Int(Mul(Add(s.JumpDeviation, 1), 100)));
  Assign(s.LieStress, Int(Add(Mul(s.LieStress, 0.85), Mul(Add(s.ThornDeviation, 1), 15))));
  Assign(s.LieStress, Add(s.LieStress, Int(Mul(Sub(s.JumpSpread, s.CalJQ), 1.3))));

  // Excitement keeps its fraction.
  Assign(s.ExcStress, Mul(Add(Div(s.ThornDeviation, 2), 1), 100));

  // Clamp, upper bounds first.
  if (s.LieStress > 250) s.LieStress = 250;
  if (s.ExcStress > 250) s.ExcStress = 250;
  if (s.GlbStress > 300) s.GlbStress = 300;
  if (s.LieStress < 30) s.LieStress = 30;
  if (s.ExcStress < 30) s.ExcStress = 30;
  if (s.GlbStress < 30) s.GlbStress = 30;
}

}  // namespace Tarvo_alg1
