// Fuzzes the sample intake and the thorns-and-jumps scan through the in-memory file layer.
//
// Input: four settings (Gain, BackgroundBorder, MinJump, MaxJump), each a tag byte and eight
// value bytes, then the sample file's bytes. Besides the sanitizers, it checks that only the
// documented errors come out, that the store holds nothing beyond this take's slots, and that
// a take gives the same results in a fresh state as after another take.
#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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
  double SampleCount = 0;
  double Gain = 0;
  int scan_error = 0;
  bool scanned = false;
  double ThornRate = 0, JumpRate = 0, AvgJumpLen = 0, JumpSpread = 0;
  std::array<double, Tarvo_alg1::kSampleSlots> Samples{};

  bool operator==(const Outcome&) const = default;
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "pellix_fuzz_intake: %s\n", what);
  std::abort();
}

void Run(const char* path, const Settings& settings, Outcome& out) {
  auto& m = Shared();
  m.DataFileName = path;
  m.Gain = settings.Gain;
  m.BackgroundBorder = settings.BackgroundBorder;
  const bool automatic = settings.Gain == 0;
  out = Outcome{};
  try {
    Tarvo_alg1::LoadSamples();
  } catch (const pellix::PlatformError& e) {
    out.intake_error = e.number();
    if (e.number() != pellix::kOverflow && e.number() != pellix::kDivisionByZero) {
      Fail("unexpected intake error");
    }
  }
  out.SampleCount = m.SampleCount;
  if (m.SampleCount < 0 || m.SampleCount != std::floor(m.SampleCount)) Fail("bad count");
  if (m.StoredHighWater > Tarvo_alg1::kSampleSlots) Fail("high-water past the store");
  for (std::size_t i = m.StoredHighWater; i < Tarvo_alg1::kSampleSlots; ++i) {
    if (m.Samples[i] != 0) Fail("a slot past this take's stores is not 0");
  }
  if (out.intake_error == 0) {
    out.Gain = m.Gain;
    if (automatic && m.SampleCount > 0 && (m.Gain < 2 || m.Gain > 50)) Fail("automatic gain");
  }
  if (out.intake_error != 0) return;
  // The store is cleared of earlier takes when the main pass runs; an automatic take with too
  // few loud samples, or a failing step before, gives up earlier and leaves it as it was.
  if (!(automatic && m.SampleCount == 0)) out.Samples = m.Samples;

  m.MinJump = settings.MinJump;
  m.MaxJump = settings.MaxJump;
  try {
    Tarvo_alg1::ScanThornsJumps();
    out.scanned = m.SampleCount > 0;
  } catch (const pellix::PlatformError& e) {
    out.scan_error = e.number();
    if (e.number() == pellix::kSubscriptOutOfRange) {
      if (!(settings.MaxJump > 100)) Fail("run past the histogram with MaxJump <= 100");
    } else if (e.number() != pellix::kDivisionByZero) {
      Fail("unexpected scan error");
    }
  }
  if (out.scanned) {
    out.ThornRate = m.ThornRate;
    out.JumpRate = m.JumpRate;
    out.AvgJumpLen = m.AvgJumpLen;
    out.JumpSpread = m.JumpSpread;
    if (m.AvgJumpLen != 0 && (m.AvgJumpLen < 2 || m.AvgJumpLen > 11)) Fail("mean jump");
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
  files.Add("take", std::vector<std::uint8_t>(data + kHeaderBytes, data + size));
  pellix::ScopedFileSystem scope(files);

  // The take in a fresh state ...
  static Outcome fresh;
  static Outcome again;
  Shared() = Tarvo_alg1::SharedState{};
  Run("take", settings, fresh);

  // ... and after a different take: the same results, the same store.
  static Outcome loud;
  Run("loud", Settings{3, 10, 2, 30}, loud);
  Run("take", settings, again);
  if (!(fresh == again)) {
    if (std::getenv("PELLIX_FUZZ_DEBUG") != nullptr) {
      std::fprintf(
          stderr,
          "err %d/%d count %g/%g gain %g/%g scan %d/%d %d/%d rates %g %g %g %g / %g %g %g %g\n",
          fresh.intake_error, again.intake_error, fresh.SampleCount, again.SampleCount, fresh.Gain,
          again.Gain, fresh.scan_error, again.scan_error, fresh.scanned, again.scanned,
          fresh.ThornRate, fresh.JumpRate, fresh.AvgJumpLen, fresh.JumpSpread, again.ThornRate,
          again.JumpRate, again.AvgJumpLen, again.JumpSpread);
      for (std::size_t i = 0; i < fresh.Samples.size(); ++i) {
        if (fresh.Samples[i] != again.Samples[i]) {
          std::fprintf(stderr, "slot %zu: %g / %g\n", i, fresh.Samples[i], again.Samples[i]);
          break;
        }
      }
    }
    Fail("a take depends on the take before it");
  }
  return 0;
}
