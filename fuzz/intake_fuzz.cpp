// Fuzzes the sample intake and the thorns-and-jumps scan through the in-memory file layer.
//
// Input: four settings (Gain, BackgroundBorder, MinJump, MaxJump), each a tag byte and eight
// value bytes, then the sample file's bytes. Bits 2 and 3 of the first tag byte pick the form
// of the engine's loops: AVX2, SSE2, plain or AVX2. Besides the sanitizers, it checks that only the
// documented errors come out, that the store holds nothing beyond this take's slots, and that
// the engine agrees with a literal model of the rules on every take, fresh or after another.
#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/instruction_set.h"
#include "engine/literal_model.h"
#include "engine/tarvo_alg1.h"
#include "platform/error.h"
#include "platform/memory_file_system.h"

namespace {

using Tarvo_alg1::Shared;

constexpr std::size_t kSettingBytes = 9;
constexpr std::size_t kHeaderBytes = 4 * kSettingBytes;

// A setting as a caption could hold it: Val never yields a value that is not finite.
double Setting(const std::uint8_t* p) {
  switch (p[0] & 3) {
    case 0:
      return static_cast<std::int8_t>(p[1]);  // small whole numbers, the common case
    case 1: {
      double d;
      std::memcpy(&d, p + 1, sizeof d);
      if (std::isnan(d)) return 0;
      if (std::isinf(d)) return d > 0 ? DBL_MAX : -DBL_MAX;
      return d;
    }
    case 2: {
      std::int16_t q;
      std::memcpy(&q, p + 1, sizeof q);
      return q / 256.0;  // fractions
    }
    default:
      return 0;
  }
}

struct Settings {
  double Gain, BackgroundBorder, MinJump, MaxJump;
};

struct Outcome {
  int intake_error = 0;
  int scan_error = 0;
  double SampleCount = 0, Gain = 0, AutoGain = 0, PeakLevel = 0, MinSamples = 0;
  double ThornRate = 0, JumpRate = 0, AvgJumpLen = 0, JumpSpread = 0, FlicLength = 0;
  std::size_t StoredHighWater = 0;
  std::array<double, Tarvo_alg1::kSampleSlots> Samples{};

  bool operator==(const Outcome&) const = default;
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "pellix_fuzz_intake: %s\n", what);
  std::abort();
}

// Runs one take through `load` and `scan` on the state `m`, as Check would, and records the
// state afterwards. Checks what must hold whichever implementation runs.
template <typename Load, typename Scan>
void Run(Tarvo_alg1::SharedState& m, Load load, Scan scan, const char* path,
         const Settings& settings, Outcome& out) {
  m.DataFileName = path;
  m.Gain = settings.Gain;
  m.BackgroundBorder = settings.BackgroundBorder;
  out.intake_error = 0;
  out.scan_error = 0;
  try {
    load();
  } catch (const pellix::PlatformError& e) {
    out.intake_error = e.number();
    if (e.number() != pellix::kOverflow && e.number() != pellix::kDivisionByZero) {
      Fail("unexpected intake error");
    }
  }
  if (m.SampleCount < 0 || m.SampleCount != std::floor(m.SampleCount)) Fail("bad count");
  if (m.Samples.high_water() > Tarvo_alg1::kSampleSlots) Fail("high-water past the store");
  for (std::size_t i = m.Samples.high_water(); i < Tarvo_alg1::kSampleSlots; ++i) {
    if (m.Samples[i] != 0) Fail("a slot past the stores of the last take is not 0");
  }
  if (out.intake_error == 0 && settings.Gain == 0 && m.SampleCount > 0 &&
      (m.Gain < 2 || m.Gain > 50)) {
    Fail("automatic gain out of range");
  }
  if (out.intake_error == 0) {
    m.MinJump = settings.MinJump;
    m.MaxJump = settings.MaxJump;
    try {
      scan();
    } catch (const pellix::PlatformError& e) {
      out.scan_error = e.number();
      if (e.number() == pellix::kSubscriptOutOfRange) {
        if (!(settings.MaxJump > 100)) Fail("run past the histogram with MaxJump <= 100");
      } else if (e.number() != pellix::kDivisionByZero) {
        Fail("unexpected scan error");
      }
    }
    if (m.AvgJumpLen != 0 && (m.AvgJumpLen < 2 || m.AvgJumpLen > 11)) Fail("mean jump length");
  }
  out.SampleCount = m.SampleCount;
  out.Gain = m.Gain;
  out.AutoGain = m.AutoGain;
  out.PeakLevel = m.PeakLevel;
  out.MinSamples = m.MinSamples;
  out.ThornRate = m.ThornRate;
  out.JumpRate = m.JumpRate;
  out.AvgJumpLen = m.AvgJumpLen;
  out.JumpSpread = m.JumpSpread;
  out.FlicLength = m.FlicLength;
  out.StoredHighWater = m.Samples.high_water();
  for (std::size_t i = 0; i < out.Samples.size(); ++i) out.Samples[i] = std::as_const(m.Samples)[i];
}

void Report(const Outcome& engine, const Outcome& model) {
  if (std::getenv("PELLIX_FUZZ_DEBUG") == nullptr) return;
  std::fprintf(stderr,
               "errors %d/%d %d/%d count %.17g/%.17g gain %.17g/%.17g peak %g/%g hw %zu/%zu\n"
               "rates %.17g %.17g %.17g %.17g / %.17g %.17g %.17g %.17g\n",
               engine.intake_error, model.intake_error, engine.scan_error, model.scan_error,
               engine.SampleCount, model.SampleCount, engine.Gain, model.Gain, engine.PeakLevel,
               model.PeakLevel, engine.StoredHighWater, model.StoredHighWater, engine.ThornRate,
               engine.JumpRate, engine.AvgJumpLen, engine.JumpSpread, model.ThornRate,
               model.JumpRate, model.AvgJumpLen, model.JumpSpread);
  for (std::size_t i = 0; i < engine.Samples.size(); ++i) {
    if (engine.Samples[i] != model.Samples[i]) {
      std::fprintf(stderr, "slot %zu: %g / %g\n", i, engine.Samples[i], model.Samples[i]);
      break;
    }
  }
}

// A long, loud take that fills the whole store, to leave stale slots behind.
std::vector<std::uint8_t> LoudTake() {
  std::vector<std::uint8_t> bytes(30050, 0);
  for (std::size_t i = 49; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i % 7 == 0 ? 250 : 30 + (i * 37) % 200);
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderBytes) return 0;
  const Settings settings{Setting(data), Setting(data + kSettingBytes),
                          Setting(data + 2 * kSettingBytes), Setting(data + 3 * kSettingBytes)};

  static pellix::MemoryFileSystem files = [] {
    pellix::MemoryFileSystem fs;
    fs.Add("loud", LoudTake());
    return fs;
  }();
  constexpr Tarvo_alg1::InstructionSet kForms[] = {
      Tarvo_alg1::InstructionSet::kAvx2, Tarvo_alg1::InstructionSet::kBaseline,
      Tarvo_alg1::InstructionSet::kPlain, Tarvo_alg1::InstructionSet::kAvx2};
  Tarvo_alg1::LimitInstructionSet(kForms[(data[0] >> 2) & 3]);
  files.Add("take", std::vector<std::uint8_t>(data + kHeaderBytes, data + size));
  pellix::ScopedFileSystem scope(files);

  // The engine and the literal model, each from a fresh state: first the take alone, then the
  // take again after a long loud take. Every step must agree, and the take's two runs too.
  auto& engine = Shared();
  static auto* model = new Tarvo_alg1::SharedState;
  engine = Tarvo_alg1::SharedState{};
  *model = Tarvo_alg1::SharedState{};
  auto engine_load = [] { Tarvo_alg1::LoadSamples(); };
  auto engine_scan = [] { Tarvo_alg1::ScanThornsJumps(); };
  auto model_load = [] { reference::LoadSamples(*model); };
  auto model_scan = [] { reference::ScanThornsJumps(*model); };

  static Outcome by_engine, by_model, fresh;
  const Settings loud_settings{3, 10, 2, 30};
  const char* steps[] = {"take", "loud", "take"};
  for (int step = 0; step < 3; ++step) {
    const Settings& used = step == 1 ? loud_settings : settings;
    Run(engine, engine_load, engine_scan, steps[step], used, by_engine);
    Run(*model, model_load, model_scan, steps[step], used, by_model);
    if (!(by_engine == by_model)) {
      Report(by_engine, by_model);
      Fail("the engine and the literal model disagree");
    }
    if (step == 0) fresh = by_engine;
  }
  // The take's results do not depend on the take before it (the scan's outputs are kept from
  // the earlier take when the intake or the scan stops early, and the store when the intake
  // gives up before its main pass).
  if (fresh.intake_error == 0 && fresh.scan_error == 0 && fresh.SampleCount > 0 &&
      !(fresh.AutoGain == 1 && fresh.PeakLevel == 0) && !(fresh == by_engine)) {
    Fail("a take depends on the take before it");
  }
  return 0;
}
