// Tarvo_alg1: the analysis module. Its procedures return nothing; they exchange everything
// through the module's variables, which the caller holds and hands to each (a control holds its
// own, or shares them with the controls created beside it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/intake_rules.h"
#include "engine/sample_store.h"
#include "files/file_system.h"
#include "platform/value.h"

namespace Tarvo_alg1 {

inline constexpr std::size_t kSampleBufferSize = 30001;  // bytes of one take in the file

// The module's variables. Every number starts at 0, every text empty; nothing clears them.
// The sample store keeps its slots on the heap, zeroed by the system, not by the state.
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

  // No module variable: what the intake worked out for the last take's settings (intake_rules.h).
  PassRules IntakeRules;
};

// Where the intake reads the sample file DataFileName names. LoadSamples asks for the bytes only
// after it has set the take's settings, so that a file that cannot be read fails at that point.
class TakeReader {
 public:
  // Reads up to out.size() bytes of the sample file from its 0-based byte `offset` into `out`
  // and returns how many (short at the file's end). Raises the file layer's errors (53, 70,
  // 75); must not allocate.
  virtual std::size_t Read(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;

 protected:
  ~TakeReader() = default;
};

// A sample file held in memory, whole; the caller keeps it for the reader's life.
class SampleFileBytes final : public TakeReader {
 public:
  explicit SampleFileBytes(std::span<const std::uint8_t> file) noexcept : file_(file) {}
  std::size_t Read(std::uint64_t offset, std::span<std::uint8_t> out) const override;

 private:
  std::span<const std::uint8_t> file_;
};

// The sample file `name` read through a file layer (the disk's, or another the caller gives).
class NamedSampleFile final : public TakeReader {
 public:
  NamedSampleFile(pellix::FileSystem& files, const std::string& name) noexcept
      : files_(files), name_(name) {}
  std::size_t Read(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    return files_.ReadBlock(name_, offset, out);
  }

 private:
  pellix::FileSystem& files_;
  const std::string& name_;
};

// Sets SampleCount and the take's place to 0 and, with a file named, starts its intake: sets
// AutoGain, Gain (3 for an automatic gain), MinSamples and DefaultMinSamples. False when no file
// is named, and so there is no take to read.
bool StartIntake(SharedState& m);

// Reads the take named by DataFileName through `take` into Samples (sets SampleCount, Gain,
// MinSamples, DefaultMinSamples). Raises the reader's errors and Division by zero (11).
void LoadSamples(SharedState& m, const TakeReader& take);
// Measures ThornRate, JumpRate, AvgJumpLen and JumpSpread of the stored take. Raises
// Subscript out of range (9) for a counted run longer than 100.
void ScanThornsJumps(SharedState& m);
// Computes LieStress, GlbStress, ExcStress and the deviations, adapting the resolutions.
void ComputeStress(SharedState& s);
// Sets ResultCode from the stress levels and deviations.
void DecideVerdict(SharedState& s);
// Copies the analysis constants into the state and sets ScaleProfile to 1.
void LoadAnalysisConstants(SharedState& m);

}  // namespace Tarvo_alg1
