// The fast intake and scan against the literal model, on a few thousand generated takes.
//
// The engine's passes are table-driven and vectorised; the literal model applies every rule
// one sample at a time. Both read the same takes in the same order, each on its own module
// state, so that stale slots, the high-water mark and the kept outputs of an early stop are
// compared too: short takes after long ones, long after short. The takes are built to sit on
// the scan's exact edges (a value of exactly 5 or -5 in a would-be thorn, a neighbour exactly 2
// or 3 from the middle sample), and the test counts that they did. A second set of takes is
// written to the store directly, with samples too large for 16 bits among them, so that the scan
// classifies in doubles: the same edges again, and flat stretches and peaks far from zero.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "engine/limits.h"
#include "engine/literal_model.h"
#include "engine/tarvo_alg1.h"
#include "instruction_set_names.h"
#include "literal_agreement.h"
#include "tests/support/memory_file_system.h"

namespace {

using pellix::testing::ErrorOf;
using Tarvo_alg1::SharedState;
using Tarvo_alg1::agreement::ReadOutputs;
using Settings = Tarvo_alg1::agreement::TakeSettings;
using Outcome = Tarvo_alg1::agreement::TakeOutcome;
using Tarvo_alg1::limits::kCalibrateMinimum;

constexpr int kTakes = 3000;

// Sample bytes built from pieces that sit on the scan's edges, with noise, pauses long enough to
// end or restart a take, and now and then a 0 byte that ends the data early.
class TakeGenerator {
 public:
  explicit TakeGenerator(std::uint32_t seed) : random_(seed) {}

  std::vector<std::uint8_t> Take(std::size_t samples) {
    std::vector<std::uint8_t> bytes(49);
    for (auto& b : bytes) b = Byte(0, 255);  // the header is never read
    while (bytes.size() < 49 + samples) {
      switch (Pick(12)) {
        case 0:
        case 1:
        case 2:
          EdgeThorn(bytes);
          break;
        case 3:
        case 4:
        case 5:
          FlatRun(bytes);
          break;
        case 6:
          for (int n = Pick(40); n > 0; --n) bytes.push_back(Byte(1, 255));
          break;
        case 7:
          Pause(bytes, 900 + Pick(300));
          break;
        case 8:
          if (Pick(20) == 0) bytes.push_back(0);
          break;
        default:
          for (int n = Pick(8); n > 0; --n) bytes.push_back(Sample(Pick(2) ? 4 : 0));
      }
    }
    bytes.resize(49 + samples);
    return bytes;
  }

  Settings Pick() {
    Settings s{};
    switch (Pick(11)) {
      case 0:
      case 1:
        s.Gain = 0;  // automatic
        break;
      case 2:
        s.Gain = 1 + Pick(20);
        break;
      case 10:  // negative, or past what 16-bit slots hold
        s.Gain = Pick(2) ? -1 - Pick(300) : 376 + Pick(100000);
        break;
      case 3:
        s.Gain = Pick(2000) / 256.0;
        break;
      default:
        s.Gain = 3;  // stored samples are raw - 128: the edges stay where they were built
    }
    s.BackgroundBorder = Pick(3) == 0 ? Pick(40) - 3 : Pick(2) ? 0 : Pick(3);
    s.MinJump = Pick(4) == 0 ? Pick(5) : 2;
    s.MaxJump = Pick(20) == 0 ? 90 + Pick(30) : Pick(4) == 0 ? Pick(16) + 0.5 : 30;
    return s;
  }

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  // A sample that only the store's doubles hold, and a flat stretch or a peak around it.
  double WideSample() {
    constexpr std::array<double, 6> kFar = {16001, 40000, 1e9, 9007199254740992.0, 1e17, 1e300};
    const double far = kFar[static_cast<std::size_t>(Pick(static_cast<int>(kFar.size())))];
    return Pick(2) ? far : -far;
  }
  void FarStretch(std::vector<double>& slots, std::size_t at) {
    const double base = WideSample();
    for (int n = 0; n < 12 && at + static_cast<std::size_t>(n) < slots.size(); ++n) {
      slots[at + static_cast<std::size_t>(n)] = base + (Pick(7) - 3) * (Pick(2) ? 1 : 2);
    }
  }

 private:
  std::uint8_t Byte(int low, int high) {
    return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(low, high)(random_));
  }
  static std::uint8_t Sample(int centred) {
    return static_cast<std::uint8_t>(std::clamp(centred + 128, 1, 255));
  }

  // A peak or trough whose lowest (or highest) value is exactly at the thorn limit, or one
  // past it.
  void EdgeThorn(std::vector<std::uint8_t>& bytes) {
    const int sign = Pick(2) ? 1 : -1;
    const int limit = 5 + Pick(2);
    const int peak = limit + 1 + Pick(6);
    const int side = Pick(3);
    int a = limit + Pick(peak - limit);
    int c = limit + Pick(peak - limit);
    if (side == 0) a = limit;
    if (side == 1) c = limit;
    for (int v : {0, sign * a, sign * peak, sign * c, 0}) bytes.push_back(Sample(v));
  }

  // A nearly flat stretch whose steps are at most 3 (2 is still flat, 3 is not).
  void FlatRun(std::vector<std::uint8_t>& bytes) {
    int v = Pick(41) - 20;
    for (int n = 2 + Pick(14); n > 0; --n) {
      v = std::clamp(v + Pick(7) - 3, -40, 40);
      bytes.push_back(Sample(v));
    }
  }

  void Pause(std::vector<std::uint8_t>& bytes, int length) {
    for (int n = 0; n < length; ++n) bytes.push_back(Sample(Pick(3) - 1));
  }

  std::mt19937 random_;
};

}  // namespace

namespace Tarvo_alg1::agreement {
void PrintTo(const TakeOutcome& o, std::ostream* out) {
  *out << Describe(o);
}
}  // namespace Tarvo_alg1::agreement

namespace {

// How often the stored takes put a position exactly on one of the scan's edges.
struct EdgeHits {
  long thorn_at_limit = 0;    // a peak (trough) with a value of exactly 5 (-5): no thorn
  long thorn_past_limit = 0;  // the same with 6 (-6): a thorn
  long step_of_two = 0;       // the larger step to a neighbour is exactly 2: flat
  long step_of_three = 0;     // exactly 3: not flat

  // The comparison means something only if the takes reached each edge, and often.
  void ExpectEachReached() const {
    EXPECT_GT(thorn_at_limit, 1000);
    EXPECT_GT(thorn_past_limit, 1000);
    EXPECT_GT(step_of_two, 1000);
    EXPECT_GT(step_of_three, 1000);
  }

  void Count(const SharedState& m) {
    const auto last = static_cast<std::size_t>(
        std::min(m.SampleCount, static_cast<double>(Tarvo_alg1::limits::kScanLimit)));
    for (std::size_t k = 1; k + 2 < last; ++k) {
      const double a = m.Samples[k], b = m.Samples[k + 1], c = m.Samples[k + 2];
      if (a < b && b > c) {
        const double low = std::min(a, c);
        thorn_at_limit += low == 5;
        thorn_past_limit += low == 6;
      }
      if (a > b && b < c) {
        const double high = std::max(a, c);
        thorn_at_limit += high == -5;
        thorn_past_limit += high == -6;
      }
      const double step = std::max(std::abs(a - b), std::abs(c - b));
      step_of_two += step == 2;
      step_of_three += step == 3;
    }
  }
};

// Each form of the engine's loops: plain, SSE2, AVX2 and AVX-512 (a form the build or the
// processor lacks is skipped, as it would only repeat a narrower one). The engine's state and the
// model's start fresh; the edges each test's takes reach are counted in `hits`.
class FastLiteralAgreementTest : public testing::TestWithParam<pellix::InstructionSet> {
 protected:
  void SetUp() override {
    if (pellix::DetectedInstructionSet() < GetParam()) {
      GTEST_SKIP() << "this build or processor lacks the form";
    }
    pellix::LimitInstructionSet(GetParam());
  }
  void TearDown() override { pellix::LimitInstructionSet(pellix::kWidestInstructionSet); }

  std::unique_ptr<SharedState> engine_state = std::make_unique<SharedState>();
  SharedState& engine = *engine_state;
  std::unique_ptr<SharedState> model = std::make_unique<SharedState>();
  EdgeHits hits;
};

TEST_P(FastLiteralAgreementTest, EngineAndLiteralModelAgreeOnGeneratedTakes) {
  TakeGenerator generate(20261209);
  pellix::MemoryFileSystem files;
  int compared_scans = 0;

  for (int take = 0; take < kTakes; ++take) {
    // Mostly short takes, with long ones (up to the whole 30 001-byte window and past it) in
    // between, so that a short take often follows a long one.
    const std::size_t samples =
        generate.Pick(5) == 0 ? 20000 + generate.Pick(12000) : 300 + generate.Pick(6000);
    files.Add("take", generate.Take(samples));
    const Settings settings = generate.Pick();
    const Outcome by_engine =
        Tarvo_alg1::agreement::RunEngine(engine, files, "take", settings, kCalibrateMinimum);
    const Outcome by_model =
        Tarvo_alg1::agreement::RunModel(*model, files, "take", settings, kCalibrateMinimum);
    ASSERT_EQ(by_engine, by_model)
        << "take " << take << ", gain " << settings.Gain << ", border " << settings.BackgroundBorder
        << ", jumps " << settings.MinJump << " to " << settings.MaxJump;
    ASSERT_EQ(Tarvo_alg1::agreement::FirstDifferentSlot(engine, *model), engine.Samples.size())
        << "that slot differs after take " << take;
    if (by_model.SampleCount >= kCalibrateMinimum) ++compared_scans;
    if (settings.Gain == 3) hits.Count(*model);
  }

  // The comparison means something only if the takes reached the scan and its edges.
  EXPECT_GT(compared_scans, kTakes / 2);
  hits.ExpectEachReached();
}

// Takes written to the store slot by slot, as the literal model's gain-3 samples (so the edges
// stay where they were built), most with far samples that keep the whole take in doubles.
TEST_P(FastLiteralAgreementTest, EngineAndLiteralModelAgreeOnTakesInDoubles) {
  constexpr int kWideTakes = 400;
  TakeGenerator generate(20261210);
  int in_doubles = 0;
  for (int take = 0; take < kWideTakes; ++take) {
    const std::size_t count = 450 + static_cast<std::size_t>(generate.Pick(20548));  // to 20997
    const std::vector<std::uint8_t> bytes = generate.Take(count + 3);
    std::vector<double> slots(count + 3);
    for (std::size_t k = 0; k < slots.size(); ++k) slots[k] = bytes[49 + k] - 128.0;
    const bool far = generate.Pick(4) != 0;
    for (int n = far ? 1 + generate.Pick(6) : 0; n > 0; --n) {
      const auto at = static_cast<std::size_t>(generate.Pick(static_cast<int>(slots.size())));
      if (generate.Pick(2)) {
        slots[at] = generate.WideSample();
      } else {
        generate.FarStretch(slots, at);
      }
    }
    in_doubles += far;
    const Settings settings = generate.Pick();
    auto scan_each = [&](SharedState& m, auto scan) {
      m.Samples.KeepBelow(0);
      for (std::size_t k = 0; k < slots.size(); ++k) m.Samples[k] = slots[k];
      m.SampleCount = static_cast<double>(count);
      m.MinJump = settings.MinJump;
      m.MaxJump = settings.MaxJump;
      Outcome o;
      o.scan_error = ErrorOf(scan);
      ReadOutputs(m, o);
      return o;
    };
    const Outcome by_engine = scan_each(engine, [&] { Tarvo_alg1::ScanThornsJumps(engine); });
    const Outcome by_model = scan_each(*model, [&] { reference::ScanThornsJumps(*model); });
    ASSERT_EQ(by_engine.scan_error, by_model.scan_error) << "take " << take;
    ASSERT_EQ(by_engine.ThornRate, by_model.ThornRate) << "take " << take;
    ASSERT_EQ(by_engine.JumpRate, by_model.JumpRate) << "take " << take;
    ASSERT_EQ(by_engine.AvgJumpLen, by_model.AvgJumpLen) << "take " << take;
    ASSERT_EQ(by_engine.JumpSpread, by_model.JumpSpread) << "take " << take;
    if (far) hits.Count(*model);
  }
  EXPECT_GT(in_doubles, kWideTakes / 2);
  hits.ExpectEachReached();
}

// The intake keeps what it worked out for the last take's settings: one take read again and
// again under settings that share all but one part with the read before, each read compared
// with the model. kAutomaticGain stands for the gain the last automatic read chose, set by hand:
// the same gain, with another clip level.
TEST_P(FastLiteralAgreementTest, SettingsThatChangeOnePartAtATimeAreEachReadAfresh) {
  constexpr double kAutomaticGain = -1000;
  // A quiet take, 120 128 134 128 over and over: its peak is 7 (127 - 120), so the automatic
  // gain is 360 / 7 = 51, held to 50, and 120 scales to floor(-8 x 50 / 3) = -134. That is at
  // or below the clip level of an automatic read (-128, taken at gain 3) and so not loud, but
  // above the clip level of gain 50 set by hand (-2134), and so loud: the two reads start
  // their takes at different samples.
  std::vector<std::uint8_t> quiet(49, 1);
  for (int i = 0; i < 4000; ++i) quiet.insert(quiet.end(), {120, 128, 134, 128});
  pellix::MemoryFileSystem files;
  files.Add("take", quiet);
  const Settings settings[] = {
      {0, 5, 2, 30},    {0, 5, 2, 30},  {kAutomaticGain, 5, 2, 30},
      {3, 5, 2, 30},    {3, -5, 2, 30}, {3, 0.0, 2, 30},
      {3, -0.0, 2, 30}, {0, 5, 2, 30},  {50, 5, 2, 30},
      {50.5, 5, 2, 30}, {50, 5, 2, 30}, {kAutomaticGain, 5, 2, 30},
  };
  double automatic = 0;
  for (std::size_t read = 0; read < std::size(settings); ++read) {
    Settings now = settings[read];
    if (now.Gain == kAutomaticGain) now.Gain = automatic;
    const Outcome by_engine = Tarvo_alg1::agreement::RunEngine(engine, files, "take", now, 0);
    const Outcome by_model = Tarvo_alg1::agreement::RunModel(*model, files, "take", now, 0);
    ASSERT_EQ(by_engine, by_model) << "read " << read << ": " << Describe(by_engine);
    ASSERT_EQ(Tarvo_alg1::agreement::FirstDifferentSlot(engine, *model), engine.Samples.size())
        << "that slot differs after read " << read;
    if (now.Gain == 0) automatic = by_model.Gain;
  }
  EXPECT_EQ(automatic, 50);
}

PELLIX_INSTANTIATE_FOR_EACH_INSTRUCTION_SET(FastLiteralAgreementTest);

}  // namespace
