// LoadSamples: reads one take from the sample file into Samples.
//
// A sample is one byte, so every per-sample rule is a function of the byte value alone (and of
// settings fixed for the call). The passes therefore decide each rule once per byte value, in
// exactly the arithmetic the rule states, and then walk the data with table look-ups.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "engine/byte_class_rules.h"
#include "engine/byte_range.h"
#include "engine/forms.h"
#include "engine/fused_result.h"
#include "engine/gain_pass.h"
#include "engine/limits.h"
#include "engine/main_pass_table.h"
#include "engine/sample_scaling.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace Tarvo_alg1 {
namespace {

constexpr std::uint64_t kSkippedBytes = 49;  // the file's header, never read

// The take's bytes placed where they lie in a cache line of the file's page, so that the read's
// copy moves whole lines from source to destination: the system's copy takes a tenth longer
// when the two are out of step.
struct alignas(64) ReadBuffer {
  std::array<std::uint8_t, kSkippedBytes % 64> lead;
  SampleBytes bytes;
};
static_assert(offsetof(ReadBuffer, bytes) % 64 == kSkippedBytes % 64);
constexpr std::size_t kLastSlot = kSampleSlots - 1;
constexpr long kLoudBeforeStore = 3;  // the take starts with the fourth loud sample
constexpr long kLoudAfterRestart = 2;
using limits::kPauseDrop;
using limits::kPauseLength;

std::optional<ByteRange> NotQuiet(const MainPassTable& table) noexcept {
  int lowest = 256;
  int highest = 0;
  for (int raw = 1; raw < 256; ++raw) {
    if (table.quiet[raw] != 0) {
      lowest = std::min(lowest, raw);
      highest = raw;
    }
  }
  if (lowest > highest) return ByteRange{255, 256};  // every byte
  for (int raw = lowest; raw <= highest; ++raw) {
    if (table.quiet[raw] == 0) return std::nullopt;
  }
  return ByteRange{lowest - 1, highest + 1};
}

// The rules for these settings: those kept in `rules` when they are the same, else worked out
// and kept there.
const PassRules& RulesFor(PassRules& rules, double Gain, double border, double clip) noexcept {
  const Forms& forms = ActiveForms();
  const std::array<std::uint64_t, 4> key{
      std::bit_cast<std::uint64_t>(Gain), std::bit_cast<std::uint64_t>(border),
      std::bit_cast<std::uint64_t>(clip), reinterpret_cast<std::uintptr_t>(&forms)};
  if (rules.known && rules.key == key) return rules;
  forms.fill_main_pass_table(rules.table, Gain / 3, border, clip);
  rules.fits = std::all_of(rules.table.s.begin(), rules.table.s.end(), [](double s) {
    return -kNarrowSampleLimit <= s && s <= kNarrowSampleLimit;
  });
  rules.whole_gain = rules.fits ? WholeGainFor(Gain, rules.table.s) : std::nullopt;
  rules.byte_rules = rules.whole_gain ? ByteClassRulesFor(rules.table.s) : std::nullopt;
  rules.loud_or_clipped = NotQuiet(rules.table);
  rules.key = key;
  rules.known = true;
  return rules;
}

// Index of the sample that completes a run of 1001 quiet stored samples, for a stretch stored
// from `from` (into slot `first_slot` on) with no quiet run before it; `end` if none does.
// Tests the sample where a run would complete and looks back only to the last loud one, so a
// waveform is mostly skipped 1000 samples at a time, and no sample is looked at more than twice.
// A sample whose slot lies past the store cannot be stored or read back, and so counts as quiet.
std::size_t FindPause(const SampleBytes& buffer, const PassRules& rules, std::size_t from,
                      std::size_t end, std::size_t first_slot) noexcept {
  const auto pause = static_cast<std::size_t>(kPauseLength) + 1;
  // Samples from here on have slots past the store.
  const std::size_t unstored = first_slot > kLastSlot ? from : from + (kLastSlot - first_slot) + 1;
  std::size_t run_start = from;
  while (end - run_start >= pause) {
    const std::size_t target = run_start + pause - 1;
    std::size_t k = std::max(std::min(target + 1, unstored), run_start);
    if (rules.loud_or_clipped) {
      k = ActiveForms().find_last_block(buffer.data(), run_start, k, *rules.loud_or_clipped);
    }
    while (k > run_start && rules.table.quiet[buffer[k - 1]] != 0) --k;
    if (k == run_start) return target;
    run_start = k;  // k - 1 is not quiet: a run can only start after it
  }
  return end;
}

// Where the main pass stores a take: 16-bit slots when every byte value scales to a number
// within the narrow limit (by whole-number arithmetic when that reproduces the scaling, else
// from the table), otherwise the wide slots.
struct TakeDestination {
  std::int16_t* narrow = nullptr;
  double* wide = nullptr;
  std::optional<int> whole_gain;
  std::optional<ByteClassRules> byte_rules;  // only with a whole gain
  double gain = 0;                           // Gain / 3, the factor of the table
};

TakeDestination ChooseDestination(SampleStore& store, const PassRules& rules, double gain) {
  if (!rules.fits) return {nullptr, store.WideSlotsToStore(), std::nullopt, std::nullopt, gain};
  return {store.NarrowSlotsToStore(), nullptr, rules.whole_gain, rules.byte_rules, gain};
}

// Stores the samples from `from` to `last` into slots `first_slot` on, as far as the store goes.
// Scaled by a whole gain, the stretch is classified for the scan in the same pass: only this
// stretch's slots are written after it, and the positions classified read none but its own.
void StoreStretch(const SampleBytes& buffer, const MainPassTable& table, std::size_t from,
                  std::size_t last, std::size_t first_slot, const TakeDestination& to,
                  SampleStore& store) noexcept {
  if (first_slot > kLastSlot) return;
  const std::size_t count = std::min(last - from + 1, kSampleSlots - first_slot);
  const std::uint8_t* bytes = buffer.data() + from;
  if (to.wide != nullptr) {
    for (std::size_t j = 0; j < count; ++j) to.wide[first_slot + j] = table.s[bytes[j]];
  } else if (to.whole_gain) {
    SampleStore::PositionClasses& classes = store.ClassesToStore();
    const Forms& forms = ActiveForms();
    const ScaledAndClassified done =
        to.byte_rules
            ? forms.scale_and_classify_bytes(bytes, count, *to.whole_gain, *to.byte_rules,
                                             to.narrow, first_slot, classes.thorn, classes.nonflat)
            : forms.scale_and_classify(bytes, count, *to.whole_gain, to.narrow, first_slot,
                                       classes.thorn, classes.nonflat);
    ScaleBytes(bytes + done.scaled, count - done.scaled, *to.whole_gain,
               to.narrow + first_slot + done.scaled);
    store.SetClassifiedEnd(done.classified_end);
  } else {
    store.SetClassifiedEnd(0);
    std::size_t j = ScaleBytesInDoubles(bytes, count, to.gain, to.narrow + first_slot);
    for (; j < count; ++j) to.narrow[first_slot + j] = static_cast<std::int16_t>(table.s[bytes[j]]);
  }
}

}  // namespace

void LoadSamples(SharedState& m, const TakeReader& take) {
  // The take starts empty; with no file named there is none, and the gain and the shortest
  // take are set before the file is read (StartIntake).
  if (!StartIntake(m)) return;

  // Bytes 50 to 30050 of the file; what the file lacks stays 0, which ends the data.
  ReadBuffer read_buffer;
  SampleBytes& SampleBuffer = read_buffer.bytes;
  const std::size_t got = std::min(take.Read(kSkippedBytes, SampleBuffer), SampleBuffer.size());
  std::memset(SampleBuffer.data() + got, 0, SampleBuffer.size() - got);

  // Taken at the gain in force now: in automatic mode that is still 3, not the gain the
  // gain pass below computes, so an automatic take always clips at -128.
  const double ClipLevel = pellix::Int(pellix::CheckedResult(-128 * pellix::Divide(m.Gain, 3)));

  // Automatic gain. This pass centres on 127, not 128, and starts at index 1.
  std::size_t start = 0;
  std::size_t end = 0;
  if (m.AutoGain == 1) {
    const GainPassResult pass = GainPass(SampleBuffer, m.BackgroundBorder);
    m.PeakLevel = pass.PeakLevel;
    if (pass.loud < limits::kLoudForGain) {
      m.SampleCount = 0;
      return;
    }
    // A zero peak (a negative border and a run of 127s) fails with Division by zero.
    m.Gain = pellix::Int(pellix::Divide(360, m.PeakLevel));
    if (m.Gain > limits::kMaxAutoGain) m.Gain = limits::kMaxAutoGain;
    start = pass.first;
    end = pass.data_end;  // the first loud sample lies before it
  } else {
    end = DataEnd(SampleBuffer, 0);
  }

  // Main pass. Its statements resume on error: a failing one is skipped and its target
  // keeps its value. Only the store can fail here. s cannot overflow: |raw - 128| is at most
  // 128, and the gain is either the one whose 128 x Gain/3 the clip level has just checked or
  // an automatic gain of at most 50. A slot past the store (Subscript out of range) is not
  // stored; the quiet test that reads it back fails too, and resuming after a failed condition
  // enters its branch, so that slot counts as quiet.
  const double border = m.BackgroundBorder;
  const PassRules& rules = RulesFor(m.IntakeRules, m.Gain, border, ClipLevel);
  const MainPassTable& table = rules.table;
  const double MinSamples = m.MinSamples;
  const TakeDestination destination = ChooseDestination(m.Samples, rules, m.Gain / 3);
  std::size_t stored_end = 0;  // one past the highest slot this call stores
  std::size_t take_start = 0;  // data index of slot 0 for the stretch stored last
  long n = 0;
  long loud = 0;
  std::size_t i = start;
  while (i < end) {
    // Until the fourth loud sample (the second after a restart) nothing is stored. Once
    // storing, the loud count only grows, so it matters again only after a restart.
    while (i < end && loud + table.loud[SampleBuffer[i]] <= kLoudBeforeStore) {
      loud += table.loud[SampleBuffer[i]];
      ++i;
    }
    if (i == end) break;
    loud += table.loud[SampleBuffer[i]];

    // From here every sample is stored, one slot each, until the pause: the first sample that
    // makes the quiet run of stored samples longer than 1000. Find it first, then store.
    const std::size_t stop = FindPause(SampleBuffer, rules, i, end, static_cast<std::size_t>(n));
    const std::size_t last = stop < end ? stop : end - 1;
    StoreStretch(SampleBuffer, table, i, last, static_cast<std::size_t>(n), destination, m.Samples);
    take_start = i - static_cast<std::size_t>(n);
    n += static_cast<long>(last - i);  // the slot of the stretch's last sample
    stored_end = std::max(stored_end, std::min(static_cast<std::size_t>(n) + 1, kSampleSlots));
    if (stop == end) {  // the data ended first
      ++n;
      break;
    }
    n -= kPauseDrop;
    if (static_cast<double>(n) > MinSamples) break;  // the take is complete
    n = 1;                                           // too short: start again, storing from slot 1
    loud = kLoudAfterRestart;
    i = stop + 1;
  }

  // No take reads an earlier take's samples: every slot an earlier call stored must read 0,
  // as in a fresh process. This call's stores cover [0, stored_end) and the pass reads back
  // only the slot it has just stored, so clearing the rest of the earlier take now gives the
  // same store as clearing everything before the pass, at a fraction of the cost.
  m.Samples.KeepBelow(stored_end);

  // The take's length and place in the file.
  m.SampleCount = static_cast<double>(n);
  if (n > 0) {
    m.TakeStart = take_start;
    m.TakeEnd = take_start + static_cast<std::size_t>(n);
  }
}

}  // namespace Tarvo_alg1
