// DecideVerdict: classifies a checked take into a result code from its stress levels and
// deviations, compared with the analysis constants.
//
// Unlike the stress computation this procedure does not resume on error: an overflow in its
// arithmetic (a thorn deviation near the double range, from an absurd calibration value) reaches
// the caller.
#include <cstdint>

#include "engine/checked_arithmetic.h"
#include "engine/result_codes.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"

namespace Tarvo_alg1 {

namespace {

using checked::Add;
using checked::Mul;
using checked::Sub;

void SetResult(SharedState& s, std::int16_t code) {
  s.ResultCode = pellix::Value::Integer(code);
}

// Flags of VerdictScore, distinct bits.
constexpr double kNoStress = 1;
constexpr double kExcitement = 4;
constexpr double kConfusion = 8;
constexpr double kHighExcitement = 32;
constexpr double kVoiceManipulation = 64;

}  // namespace

void DecideVerdict() {
  SharedState& s = Shared();

  // 1 to 3. Nothing to judge: deviations never computed for this calibration, or a stress
  // computation that stopped. The code says "no conclusion" rather than repeating whatever an
  // earlier take was judged, which Check would otherwise publish and record as this take's.
  if (s.ThornDeviation == 0 && s.JumpDeviation == 0 && s.CalSpJ != pellix::Int(s.JumpRate)) {
    SetResult(s, kNoConclusion);
    return;
  }
  if (s.GlbStress == 0 || s.LieStress == 0 || s.ExcStress == 0) {
    SetResult(s, kNoConclusion);
    return;
  }
  if (s.LieStress < 10) {
    SetResult(s, kNoConclusion);
    return;
  }

  // 4, 5. Below the truth floor: far below, the indicators are exaggerated and the level is
  // mirrored; just below, a lie stress that low reads as sarcasm.
  if (s.LieStress < Sub(s.TruthFloor, 10)) {
    s.LieStress = Sub(200, s.LieStress);
    SetResult(s, kExaggerated);
    return;
  }
  if (s.LieStress < s.TruthFloor) {
    SetResult(s, kSarcasm);
    return;
  }

  // 6.
  SetResult(s, kNoConclusion);
  s.VerdictScore = 0;
  s.LowDeviationCount = 0;

  // 7, 8. A very low deviation is counted when it is below the truth floor's margin and, either
  // way, replaced by 0.1 in the shared state: the later steps (and the next verdict that stops
  // early) see 0.1.
  const double sarcasm_margin = Add(s.TruthFloor, 5);
  const double jump_level = Mul(Add(s.JumpDeviation, 1), 100);
  if (jump_level < 65) {
    if (jump_level < sarcasm_margin) s.LowDeviationCount = 1;
    s.JumpDeviation = 0.1;
  }
  const double thorn_level = Mul(Add(s.ThornDeviation, 1), 100);
  if (thorn_level < 65) {
    if (thorn_level < sarcasm_margin) s.LowDeviationCount = Add(s.LowDeviationCount, 1);
    s.ThornDeviation = 0.1;
  }

  // 9 to 11. Lie stress above or inside the band, or an extreme thorn deviation.
  if (s.LieStress > s.BandHigh) {
    SetResult(s, kLie);
    return;
  }
  if (s.BandLow <= s.LieStress && s.LieStress <= s.BandHigh) {
    SetResult(s, kExaggerated);
    return;
  }
  if (s.ThornDeviation >= 2 || s.ThornDeviation <= -0.6) {
    SetResult(s, kTrauma);
    return;
  }

  // 12. Flags.
  if (s.LieStress < s.BandLow && s.GlbStress < s.BandLow) s.VerdictScore += kNoStress;
  if (s.JumpDeviation > s.ConfusionLimit) {
    s.VerdictScore += s.JumpDeviation > s.ManipulationLimit ? kVoiceManipulation : kConfusion;
  }
  if (s.ExcStress > s.BandLow) {
    s.VerdictScore += s.ExcStress > s.BandHigh ? kHighExcitement : kExcitement;
  }

  // 13. No flag beyond "no stress": truth, unless very low deviations point to sarcasm.
  if (s.VerdictScore < 3) {
    if (s.LowDeviationCount == 2) {
      SetResult(s, kSarcasm);
      return;
    }
    if (s.LowDeviationCount == 1) {
      // The thorn test only leaves its code for the jump test to confirm or override.
      if (s.SarcasmLow < s.ThornDeviation && s.ThornDeviation < s.SarcasmHigh) {
        SetResult(s, kSarcasm);
      } else if (s.ThornDeviation > s.SarcasmHigh) {
        SetResult(s, kLie);
      }
      if (s.SarcasmLow < s.JumpDeviation && s.JumpDeviation < s.SarcasmHigh) {
        SetResult(s, kSarcasm);
      } else if (s.JumpDeviation > s.SarcasmHigh) {
        SetResult(s, kLie);
      }
      return;
    }
    if (s.LowDeviationCount == 0) SetResult(s, kTruth);
    return;
  }

  // 14. The strongest flag decides.
  if (s.VerdictScore > 67) {
    SetResult(s, kTrauma);
  } else if (s.VerdictScore > 63) {
    SetResult(s, kManipulated);
  } else if (s.VerdictScore > 31) {
    SetResult(s, kHighlyExcited);
  } else if (s.VerdictScore > 7) {
    SetResult(s, kUncertain);
  } else {
    SetResult(s, kExcited);
  }
}

}  // namespace Tarvo_alg1
