// Tarvo_alg1: the analysis module. Its procedures take no arguments and return nothing; they
// exchange everything through the module's shared variables, one copy per thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "engine/sample_store.h"
#include "platform/value.h"

namespace Tarvo_alg1 {

inline constexpr std::size_t kSampleBufferSize = 30001;  // bytes of one take in the file

// The module's variables. Every number starts at 0, every text empty; nothing clears them.
struct SharedState {
  // Take and intake parameters.
  std::string DataFileName;
  double Gain = 0;
  double BackgroundBorder = 0;
  double DefaultMinSamples = 0;
  double MinSamples = 0;
  double AutoGain = 0;
  double PeakLevel = 0;
  // Whole numbers, wide enough for any gain a caption can hold. The intake clears the slots an
  // earlier take left above its own, so a take never sees an earlier take.
  SampleStore Samples;
  double SampleCount = 0;
  // Where the stored take lies in the file's data: slot k of Samples holds the sample at data
  // index TakeStart + k (byte 50 of the file is index 0), and the take ends before TakeEnd.
  // Both 0 when nothing was stored. The engine never reads them; reports show what was analysed.
  std::size_t TakeStart = 0;
  std::size_t TakeEnd = 0;

  // Scan parameters and results.
  double MinJump = 0;
  double MaxJump = 0;
  double FlicLength = 0;
  double ThornRate = 0;
  double JumpRate = 0;
  double AvgJumpLen = 0;
  double JumpSpread = 0;

  // Calibration reference and tuning values, as Check reads them from the panel.
  double CalSpT = 0;
  double CalSpJ = 0;
  double CalJQ = 0;
  double CalAvJ = 0;
  double ThornBreakpoint = 0;
  double JumpBreakpoint = 0;
  double ThornResolution = 0;
  double JumpResolution = 0;
  double ScaleProfile = 0;

  // Stress results and verdict. ResultCode stays Empty until a calibration or check sets it.
  double ThornDeviation = 0;
  double JumpDeviation = 0;
  double LieStress = 0;
  double GlbStress = 0;
  double ExcStress = 0;
  pellix::Value ResultCode;
  double VerdictScore = 0;
  double LowDeviationCount = 0;

  // Analysis constants, loaded by LoadAnalysisConstants (the control's Initalize).
  double TruthFloor = 0;
  double BandLow = 0;
  double BandHigh = 0;
  double AltBandLow = 0;
  double SarcasmLow = 0;
  double SarcasmHigh = 0;
  double ConfusionLimit = 0;
  double ManipulationLimit = 0;
};

// This thread's copy of the module state, made on the thread's first use.
SharedState& Shared() noexcept;

// Exchanges this thread's copy with `other`; either may be empty, and an empty copy is made
// afresh by the thread's next Shared(). A host whose speakers move between threads carries each
// one's state to the thread that runs it this way, without copying it.
void ExchangeShared(std::unique_ptr<SharedState>& other) noexcept;

// Reads the take named by DataFileName into Samples (sets SampleCount, Gain, MinSamples,
// DefaultMinSamples). Raises the file layer's errors and Division by zero (11).
void LoadSamples();
// Measures ThornRate, JumpRate, AvgJumpLen and JumpSpread of the stored take. Raises
// Subscript out of range (9) for a counted run longer than 100.
void ScanThornsJumps();
// Computes LieStress, GlbStress, ExcStress and the deviations, adapting the resolutions.
void ComputeStress();
// Sets ResultCode from the stress levels and deviations.
void DecideVerdict();
// Copies the analysis constants into the shared state and sets ScaleProfile to 1.
void LoadAnalysisConstants();

}  // namespace Tarvo_alg1
