// DecideVerdict: classifies a checked take into a result code from its stress levels and
// deviations, compared with the analysis constants.
//
// Unlike the stress computation this procedure does not resume on error: an overflow in its
// arithmetic (a thorn deviation near the double range, from an absurd calibration value) reaches
// the caller.
#include <cstdint>
#include <optional>

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

// Nothing to judge: deviations never computed for this calibration, or a stress computation
// that stopped.
bool NothingToJudge(const SharedState& s) {
  if (s.ThornDeviation == 0 && s.JumpDeviation == 0 && s.CalSpJ != pellix::Int(s.JumpRate)) {
    return true;
  }
  return s.GlbStress == 0 || s.LieStress == 0 || s.ExcStress == 0 || s.LieStress < 10;
}

// Below the truth floor: far below, the indicators are exaggerated and the level is mirrored;
// just below, a lie stress that low reads as sarcasm.
std::optional<std::int16_t> BelowTruthFloor(SharedState& s) {
  if (s.LieStress < Sub(s.TruthFloor, 10)) {
    s.LieStress = Sub(200, s.LieStress);
    return kExaggerated;
  }
  if (s.LieStress < s.TruthFloor) return kSarcasm;
  return std::nullopt;
}

// A very low deviation is counted when it is below the truth floor's margin and, either way,
// replaced by 0.1 in the shared state: the later steps (and the next verdict that stops early)
// see 0.1.
void CountLowDeviations(SharedState& s) {
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
}

// Lie stress above or inside the band, or an extreme thorn deviation, decide before any flag.
std::optional<std::int16_t> BandOrTrauma(const SharedState& s) {
  if (s.LieStress > s.BandHigh) return kLie;
  if (s.BandLow <= s.LieStress && s.LieStress <= s.BandHigh) return kExaggerated;
  if (s.ThornDeviation >= 2 || s.ThornDeviation <= -0.6) return kTrauma;
  return std::nullopt;
}

double Flags(const SharedState& s) {
  double score = 0;
  if (s.LieStress < s.BandLow && s.GlbStress < s.BandLow) score += kNoStress;
  if (s.JumpDeviation > s.ConfusionLimit) {
    score += s.JumpDeviation > s.ManipulationLimit ? kVoiceManipulation : kConfusion;
  }
  if (s.ExcStress > s.BandLow) score += s.ExcStress > s.BandHigh ? kHighExcitement : kExcitement;
  return score;
}

// No flag beyond "no stress": truth, unless very low deviations point to sarcasm. With one low
// deviation, the thorn test only leaves its code for the jump test to confirm or override, and
// with neither deciding there is no conclusion.
std::int16_t TruthOrSarcasm(const SharedState& s) {
  if (s.LowDeviationCount == 2) return kSarcasm;
  if (s.LowDeviationCount == 0) return kTruth;
  if (s.LowDeviationCount != 1) return kNoConclusion;
  std::int16_t code = kNoConclusion;
  if (s.SarcasmLow < s.ThornDeviation && s.ThornDeviation < s.SarcasmHigh) {
    code = kSarcasm;
  } else if (s.ThornDeviation > s.SarcasmHigh) {
    code = kLie;
  }
  if (s.SarcasmLow < s.JumpDeviation && s.JumpDeviation < s.SarcasmHigh) {
    code = kSarcasm;
  } else if (s.JumpDeviation > s.SarcasmHigh) {
    code = kLie;
  }
  return code;
}

// The strongest flag decides.
std::int16_t StrongestFlag(double score) {
  if (score > 67) return kTrauma;
  if (score > 63) return kManipulated;
  if (score > 31) return kHighlyExcited;
  if (score > 7) return kUncertain;
  return kExcited;
}

}  // namespace

void DecideVerdict(SharedState& s) {
  // With nothing to judge the code says "no conclusion" rather than repeating whatever an
  // earlier take was judged, which Check would otherwise publish and record as this take's.
  if (NothingToJudge(s)) {
    SetResult(s, kNoConclusion);
    return;
  }
  if (const std::optional<std::int16_t> code = BelowTruthFloor(s)) {
    SetResult(s, *code);
    return;
  }
  // "No conclusion" stands should the counting fail.
  SetResult(s, kNoConclusion);
  s.VerdictScore = 0;
  s.LowDeviationCount = 0;
  CountLowDeviations(s);
  if (const std::optional<std::int16_t> code = BandOrTrauma(s)) {
    SetResult(s, *code);
    return;
  }
  s.VerdictScore = Flags(s);
  SetResult(s, s.VerdictScore < 3 ? TruthOrSarcasm(s) : StrongestFlag(s.VerdictScore));
}

}  // namespace Tarvo_alg1
