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

#include "engine/limits.h"
#include "engine/literal_model.h"
#include "engine/tarvo_alg1.h"
#include "platform/error.h"
#include "platform/instruction_set.h"
#include "tests/literal_agreement.h"
#include "tests/support/memory_file_system.h"

namespace {

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

using Tarvo_alg1::agreement::TakeOutcome;
using Tarvo_alg1::agreement::TakeSettings;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "pellix_fuzz_intake: %s\n", what);
  std::abort();
}

// Checks what must hold after a take on the state `m`, whichever implementation ran it.
void CheckTake(const Tarvo_alg1::SharedState& m, const TakeSettings& settings,
               const TakeOutcome& out) {
  if (out.intake_error != 0 && out.intake_error != pellix::kOverflow &&
      out.intake_error != pellix::kDivisionByZero) {
    Fail("unexpected intake error");
  }
  if (m.SampleCount < 0 || m.SampleCount != std::floor(m.SampleCount)) Fail("bad count");
  if (m.Samples.high_water() > Tarvo_alg1::kSampleSlots) Fail("high-water past the store");
  for (std::size_t i = m.Samples.high_water(); i < Tarvo_alg1::kSampleSlots; ++i) {
    if (m.Samples[i] != 0) Fail("a slot past the stores of the last take is not 0");
  }
  if (out.intake_error == 0 && settings.Gain == 0 && m.SampleCount > 0 &&
      (m.Gain < 2 || m.Gain > Tarvo_alg1::limits::kMaxAutoGain)) {
    Fail("automatic gain out of range");
  }
  if (out.scan_error == pellix::kSubscriptOutOfRange) {
    if (!(settings.MaxJump > Tarvo_alg1::limits::kLongestJump)) {
      Fail("run past the histogram with MaxJump within the histogram");
    }
  } else if (out.scan_error != 0 && out.scan_error != pellix::kDivisionByZero) {
    Fail("unexpected scan error");
  }
  if (out.intake_error == 0 && m.AvgJumpLen != 0 &&
      (m.AvgJumpLen < Tarvo_alg1::limits::kMinAvgJumpLen ||
       m.AvgJumpLen > Tarvo_alg1::limits::kMaxAvgJumpLen)) {
    Fail("mean jump length");
  }
}

bool SameSlots(const std::array<double, Tarvo_alg1::kSampleSlots>& slots,
               const Tarvo_alg1::SharedState& m) {
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i] != std::as_const(m.Samples)[i]) return false;
  }
  return true;
}

void Report(const TakeOutcome& engine, const TakeOutcome& model, std::size_t slot) {
  if (std::getenv("PELLIX_FUZZ_DEBUG") == nullptr) return;
  std::fprintf(stderr, "engine %s\nmodel  %s\nfirst different slot %zu\n",
               Tarvo_alg1::agreement::Describe(engine).c_str(),
               Tarvo_alg1::agreement::Describe(model).c_str(), slot);
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
  const TakeSettings settings{Setting(data), Setting(data + kSettingBytes),
                              Setting(data + 2 * kSettingBytes), Setting(data + 3 * kSettingBytes)};

  static pellix::MemoryFileSystem files = [] {
    pellix::MemoryFileSystem fs;
    fs.Add("loud", LoudTake());
    return fs;
  }();
  constexpr pellix::InstructionSet kForms[] = {
      pellix::InstructionSet::kAvx2, pellix::InstructionSet::kBaseline,
      pellix::InstructionSet::kPlain, pellix::InstructionSet::kAvx512};
  pellix::LimitInstructionSet(kForms[(data[0] >> 2) & 3]);
  files.Add("take", std::vector<std::uint8_t>(data + kHeaderBytes, data + size));

  // The engine and the literal model, each from a fresh state: first the take alone, then the
  // take again after a long loud take. Every step must agree, and the take's two runs too.
  static auto* engine_state = new Tarvo_alg1::SharedState;
  auto& engine = *engine_state;
  static auto* model = new Tarvo_alg1::SharedState;
  engine = Tarvo_alg1::SharedState{};
  *model = Tarvo_alg1::SharedState{};

  TakeOutcome by_engine, fresh;
  static std::array<double, Tarvo_alg1::kSampleSlots> fresh_slots;
  const TakeSettings loud_settings{3, 10, 2, 30};
  const char* steps[] = {"take", "loud", "take"};
  for (int step = 0; step < 3; ++step) {
    const TakeSettings& used = step == 1 ? loud_settings : settings;
    by_engine = Tarvo_alg1::agreement::RunEngine(engine, files, steps[step], used, 0);
    const TakeOutcome by_model =
        Tarvo_alg1::agreement::RunModel(*model, files, steps[step], used, 0);
    CheckTake(engine, used, by_engine);
    CheckTake(*model, used, by_model);
    const std::size_t slot = Tarvo_alg1::agreement::FirstDifferentSlot(engine, *model);
    if (!(by_engine == by_model) || slot != engine.Samples.size()) {
      Report(by_engine, by_model, slot);
      Fail("the engine and the literal model disagree");
    }
    if (step == 0) {
      fresh = by_engine;
      for (std::size_t i = 0; i < fresh_slots.size(); ++i)
        fresh_slots[i] = std::as_const(engine.Samples)[i];
    }
  }
  // The take's results do not depend on the take before it (the scan's outputs are kept from
  // the earlier take when the intake or the scan stops early, and the store when the intake
  // gives up before its main pass).
  if (fresh.intake_error == 0 && fresh.scan_error == 0 && fresh.SampleCount > 0 &&
      !(fresh.AutoGain == 1 && fresh.PeakLevel == 0) &&
      !(fresh == by_engine && SameSlots(fresh_slots, engine))) {
    Fail("a take depends on the take before it");
  }
  return 0;
}
