#include "engine/tarvo_alg1.h"

namespace Tarvo_alg1 {
namespace {

// The verdict's fixed thresholds. They live here and only reach the analysis state when the
// control's Initalize loads them; until then AltBandLow reads 0 and Check reports -2.
constexpr double kTruthFloor = 50;
constexpr double kBandLow = 120;
constexpr double kBandHigh = 160;
constexpr double kAltBandLow = 100;
constexpr double kSarcasmLow = 0.15;
constexpr double kSarcasmHigh = 0.45;
constexpr double kConfusionLimit = 0.6;
constexpr double kManipulationLimit = 0.9;

}  // namespace

void LoadAnalysisConstants(SharedState& m) {
  m.TruthFloor = kTruthFloor;
  m.BandLow = kBandLow;
  m.BandHigh = kBandHigh;
  m.AltBandLow = kAltBandLow;
  m.SarcasmLow = kSarcasmLow;
  m.SarcasmHigh = kSarcasmHigh;
  m.ConfusionLimit = kConfusionLimit;
  m.ManipulationLimit = kManipulationLimit;
  m.ScaleProfile = 1;
}

}  // namespace Tarvo_alg1
