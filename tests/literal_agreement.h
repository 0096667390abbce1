// The harness that holds the fast engine against the literal model (engine/literal_model.h):
// a take's settings, one take run through either implementation as Check runs it, and what the
// take leaves behind. The agreement test and the intake fuzzer both compare through it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>

#include "engine/literal_model.h"
#include "engine/tarvo_alg1.h"
#include "tests/error_of.h"

namespace Tarvo_alg1::agreement {

// The settings Check copies from the panel for one take.
struct TakeSettings {
  double Gain, BackgroundBorder, MinJump, MaxJump;
};

// What one take leaves behind, by either implementation; the slots are compared on their own
// (FirstDifferentSlot).
struct TakeOutcome {
  int intake_error = 0;
  int scan_error = 0;
  double SampleCount = 0, Gain = 0, AutoGain = 0, PeakLevel = 0, MinSamples = 0;
  double ThornRate = 0, JumpRate = 0, AvgJumpLen = 0, JumpSpread = 0, FlicLength = 0;
  std::size_t StoredHighWater = 0;
  bool operator==(const TakeOutcome&) const = default;
};

inline std::string Describe(const TakeOutcome& o) {
  char text[512];
  std::snprintf(text, sizeof text,
                "errors %d/%d count %.17g gain %.17g auto %g peak %.17g minimum %g rates %.17g "
                "%.17g %.17g %.17g flic %g high-water %zu",
                o.intake_error, o.scan_error, o.SampleCount, o.Gain, o.AutoGain, o.PeakLevel,
                o.MinSamples, o.ThornRate, o.JumpRate, o.AvgJumpLen, o.JumpSpread, o.FlicLength,
                o.StoredHighWater);
  return text;
}

// The state's outputs after a take, errors aside.
inline void ReadOutputs(const SharedState& m, TakeOutcome& o) {
  o.SampleCount = m.SampleCount;
  o.Gain = m.Gain;
  o.AutoGain = m.AutoGain;
  o.PeakLevel = m.PeakLevel;
  o.MinSamples = m.MinSamples;
  o.ThornRate = m.ThornRate;
  o.JumpRate = m.JumpRate;
  o.AvgJumpLen = m.AvgJumpLen;
  o.JumpSpread = m.JumpSpread;
  o.FlicLength = m.FlicLength;
  o.StoredHighWater = m.Samples.high_water();
}

// Runs the take in the file `path` through `load` and, when the intake raised nothing and kept
// at least `scan_from` samples, `scan`, both on the state `m`.
inline TakeOutcome RunTake(SharedState& m, const char* path, const TakeSettings& s,
                           double scan_from, auto&& load, auto&& scan) {
  m.DataFileName = path;
  m.Gain = s.Gain;
  m.BackgroundBorder = s.BackgroundBorder;
  TakeOutcome o;
  o.intake_error = pellix::testing::ErrorOf(load);
  if (o.intake_error == 0 && m.SampleCount >= scan_from) {
    m.MinJump = s.MinJump;
    m.MaxJump = s.MaxJump;
    o.scan_error = pellix::testing::ErrorOf(scan);
  }
  ReadOutputs(m, o);
  return o;
}

// The take in `files` run by the engine on the state `engine`, and by the literal model on
// `model`.
inline TakeOutcome RunEngine(SharedState& engine, pellix::FileSystem& files, const char* path,
                             const TakeSettings& s, double scan_from) {
  return RunTake(
      engine, path, s, scan_from,
      [&] { LoadSamples(engine, NamedSampleFile(files, engine.DataFileName)); },
      [&] { ScanThornsJumps(engine); });
}
inline TakeOutcome RunModel(SharedState& model, pellix::FileSystem& files, const char* path,
                            const TakeSettings& s, double scan_from) {
  return RunTake(
      model, path, s, scan_from,
      [&] { reference::LoadSamples(model, NamedSampleFile(files, model.DataFileName)); },
      [&] { reference::ScanThornsJumps(model); });
}

// The first slot in which the two stores differ; the store's size when none does.
inline std::size_t FirstDifferentSlot(const SharedState& a, const SharedState& b) {
  std::size_t same = 0;
  while (same < a.Samples.size() &&
         std::as_const(a.Samples)[same] == std::as_const(b.Samples)[same]) {
    ++same;
  }
  return same;
}

}  // namespace Tarvo_alg1::agreement
