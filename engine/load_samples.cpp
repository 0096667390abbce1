// LoadSamples: reads one take from the sample file into Samples.
//
// A sample is one byte, so every per-sample rule is a function of the byte value alone (and of
// settings fixed for the call). The passes therefore decide each rule once per byte value, in
// exactly the arithmetic the rule states, and then walk the data with table look-ups.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "engine/instruction_set.h"
#include "engine/sample_scaling.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace Tarvo_alg1 {
namespace {

constexpr std::uint64_t kSkippedBytes = 49;  // the file's header, never read
constexpr std::size_t kLastSlot = kSampleSlots - 1;
constexpr double kIntakeMinimum = 850;
constexpr double kMaxAutoGain = 50;
constexpr int kPeakStop = 110;        // the gain pass has seen enough once a peak passes this
constexpr long kMinLoudForGain = 10;  // fewer loud samples than this: no take
constexpr long kLoudBeforeStore = 3;  // the take starts with the fourth loud sample
constexpr long kPauseLength = 1000;   // more quiet stored samples than this end the take
constexpr long kPauseDrop = 700;      // of which the take keeps only the first 300
constexpr long kLoudAfterRestart = 2;

using Buffer = std::array<std::uint8_t, kSampleBufferSize>;

bool IsLoud(double s, double border) noexcept {
  return s > border || s < -border;
}

// Index of the first zero byte at or after `from`, or the buffer's size: a zero ends the data.
std::size_t DataEnd(const Buffer& buffer, std::size_t from) noexcept {
  if (from >= buffer.size()) return buffer.size();
  const void* zero = std::memchr(buffer.data() + from, 0, buffer.size() - from);
  return zero == nullptr
             ? buffer.size()
             : static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - buffer.data());
}

// A set of byte values of the form {raw >= high} + {raw <= low}, high from 1 to 256 and low
// from -1 to 255 (256 and -1 take no byte). Levels grow with the byte, so "level above x" and
// "level below y" are such sets.
struct ByteRange {
  int low = -1;
  int high = 256;
  // Compared as bytes, without short-circuit, so that loops over many bytes test sixteen at a
  // time: raw >= high is raw > high - 1, and raw <= low is raw < low + 1 (every byte when low
  // is 255, whose low + 1 does not fit a byte).
  bool Contains(std::uint8_t raw) const noexcept {
    const auto above = static_cast<std::uint8_t>(high - 1);
    const auto below = static_cast<std::uint8_t>(low + 1);
    return (raw > above) | (raw < below) | (low >= 255);
  }
};

#if defined(__SSE2__)
// ByteRange sixteen bytes at a time: a lane is all ones when its byte lies in the set. Bytes
// compare unsigned as signed ones with the top bit flipped.
class ByteRangeLanes {
 public:
  explicit ByteRangeLanes(ByteRange set) noexcept
      : above_(_mm_set1_epi8(static_cast<char>((set.high - 1) ^ 0x80))),
        below_(_mm_set1_epi8(static_cast<char>((set.low + 1) ^ 0x80))),
        every_(set.low >= 255 ? _mm_set1_epi8(-1) : _mm_setzero_si128()) {}

  __m128i Contains(__m128i raw) const noexcept {
    const __m128i level = _mm_xor_si128(raw, _mm_set1_epi8(static_cast<char>(0x80)));
    return _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi8(level, above_), _mm_cmpgt_epi8(below_, level)),
                        every_);
  }

 private:
  __m128i above_;
  __m128i below_;
  __m128i every_;
};

constexpr std::size_t kLanes = 16;

__m128i LoadLanes(const Buffer& buffer, std::size_t i) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(buffer.data() + i));
}
#endif

// Index of the first byte in [from, to) that lies in `set`, or `to`. Looks at a block at a
// time so that many bytes are tested per instruction.
std::size_t FindFirst(const Buffer& buffer, std::size_t from, std::size_t to, ByteRange set) {
  std::size_t i = from;
#if defined(__SSE2__)
  const ByteRangeLanes lanes(set);
  for (; i + kLanes <= to; i += kLanes) {
    if (_mm_movemask_epi8(lanes.Contains(LoadLanes(buffer, i))) != 0) break;
  }
#else
  constexpr std::size_t kBlock = 64;
  for (; i + kBlock <= to; i += kBlock) {
    int any = 0;
    for (std::size_t j = 0; j < kBlock; ++j) any |= set.Contains(buffer[i + j]) ? 1 : 0;
    if (any != 0) break;
  }
#endif
  for (; i < to; ++i) {
    if (set.Contains(buffer[i])) return i;
  }
  return to;
}

struct GainPassResult {
  double PeakLevel = 0;
  std::size_t first = 0;  // index of the first loud sample, 0 if none
  long loud = 0;
  std::size_t data_end = 0;  // DataEnd from index 1
};

// The loud bytes and the extremes of all bytes, over whole blocks from `from` up to the first
// block that holds a stop byte (or that would pass `end`); `next` is where the blocks ended.
struct BlockCounts {
  std::size_t next = 0;
  unsigned loud = 0;
  std::uint8_t lowest = 255;
  std::uint8_t highest = 0;
};

#if defined(__SSE2__)
// Loud bytes are counted down in byte lanes (a true comparison is -1) and summed before a lane
// can wrap: a byte lane counts up to 255.
constexpr std::size_t kRounds = 255;

BlockCounts CountBlocksBaseline(const Buffer& buffer, std::size_t from, std::size_t end,
                                ByteRange loud_bytes, ByteRange stop_bytes) noexcept {
  const ByteRangeLanes loud_lanes(loud_bytes);
  const ByteRangeLanes stop_lanes(stop_bytes);
  __m128i low = _mm_set1_epi8(-1);
  __m128i high = _mm_setzero_si128();
  BlockCounts result;
  std::size_t i = from;
  bool stopped = false;
  while (!stopped && i + kLanes <= end) {
    __m128i counts = _mm_setzero_si128();
    for (std::size_t round = 0; round < kRounds && i + kLanes <= end; ++round, i += kLanes) {
      const __m128i raw = LoadLanes(buffer, i);
      if (_mm_movemask_epi8(stop_lanes.Contains(raw)) != 0) {
        stopped = true;
        break;
      }
      counts = _mm_sub_epi8(counts, loud_lanes.Contains(raw));
      low = _mm_min_epu8(low, raw);
      high = _mm_max_epu8(high, raw);
    }
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    result.loud +=
        static_cast<unsigned>(_mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
  alignas(16) std::array<std::uint8_t, kLanes> lanes;
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes.data()), low);
  result.lowest = *std::min_element(lanes.begin(), lanes.end());
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes.data()), high);
  result.highest = *std::max_element(lanes.begin(), lanes.end());
  result.next = i;
  return result;
}

// ByteRangeLanes thirty-two bytes at a time.
class WideByteRangeLanes {
 public:
  __attribute__((target("avx2"))) explicit WideByteRangeLanes(ByteRange set) noexcept
      : above_(_mm256_set1_epi8(static_cast<char>((set.high - 1) ^ 0x80))),
        below_(_mm256_set1_epi8(static_cast<char>((set.low + 1) ^ 0x80))),
        every_(set.low >= 255 ? _mm256_set1_epi8(-1) : _mm256_setzero_si256()) {}

  __attribute__((target("avx2"))) __m256i Contains(__m256i raw) const noexcept {
    const __m256i level = _mm256_xor_si256(raw, _mm256_set1_epi8(static_cast<char>(0x80)));
    return _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpgt_epi8(level, above_), _mm256_cmpgt_epi8(below_, level)),
        every_);
  }

 private:
  __m256i above_;
  __m256i below_;
  __m256i every_;
};

// CountBlocksBaseline, thirty-two bytes at a time.
__attribute__((target("avx2"))) BlockCounts CountBlocksAvx2(const Buffer& buffer, std::size_t from,
                                                            std::size_t end, ByteRange loud_bytes,
                                                            ByteRange stop_bytes) noexcept {
  constexpr std::size_t kWide = 32;
  const WideByteRangeLanes loud(loud_bytes);
  const WideByteRangeLanes stop(stop_bytes);
  __m256i low = _mm256_set1_epi8(-1);
  __m256i high = _mm256_setzero_si256();
  BlockCounts result;
  std::size_t i = from;
  bool stopped = false;
  while (!stopped && i + kWide <= end) {
    __m256i counts = _mm256_setzero_si256();
    for (std::size_t round = 0; round < kRounds && i + kWide <= end; ++round, i += kWide) {
      const __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(buffer.data() + i));
      if (_mm256_movemask_epi8(stop.Contains(raw)) != 0) {
        stopped = true;
        break;
      }
      counts = _mm256_sub_epi8(counts, loud.Contains(raw));
      low = _mm256_min_epu8(low, raw);
      high = _mm256_max_epu8(high, raw);
    }
    const __m256i sums = _mm256_sad_epu8(counts, _mm256_setzero_si256());
    alignas(32) std::array<std::uint64_t, 4> parts;
    _mm256_store_si256(reinterpret_cast<__m256i*>(parts.data()), sums);
    result.loud += static_cast<unsigned>(parts[0] + parts[1] + parts[2] + parts[3]);
  }
  alignas(32) std::array<std::uint8_t, kWide> lanes;
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.data()), low);
  result.lowest = *std::min_element(lanes.begin(), lanes.end());
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.data()), high);
  result.highest = *std::max_element(lanes.begin(), lanes.end());
  result.next = i;
  return result;
}
#endif

// The gain pass over indices 1 to 30000: centred on 127, it counts the loud samples and keeps
// the peak of their levels, and it stops after the first sample that lifts the peak above 110.
GainPassResult GainPass(const Buffer& buffer, double border) {
  // The loud bytes, by the pass's own comparisons on the level raw - 127.
  ByteRange loud_bytes;
  for (int raw = 255; raw >= 1; --raw) {
    if (raw - 127.0 > border) loud_bytes.high = raw;
  }
  for (int raw = 1; raw <= 255; ++raw) {
    if (raw - 127.0 < -border) loud_bytes.low = raw;
  }
  // Loud bytes whose level is beyond 110: 238 and up (+111), 16 and down (-111).
  const ByteRange stop_bytes{std::min(loud_bytes.low, 127 - kPeakStop - 1),
                             std::max(loud_bytes.high, 127 + kPeakStop + 1)};

  GainPassResult result;
  result.data_end = DataEnd(buffer, 1);
  const std::size_t end = result.data_end;
  BlockCounts blocks;
  blocks.next = 1;
#if defined(__SSE2__)
  blocks = ActiveInstructionSet() == InstructionSet::kAvx2
               ? CountBlocksAvx2(buffer, 1, end, loud_bytes, stop_bytes)
               : CountBlocksBaseline(buffer, 1, end, loud_bytes, stop_bytes);
#endif
  // The rest one byte at a time, up to and including the stopping sample.
  unsigned loud = blocks.loud;
  std::uint8_t lowest = blocks.lowest;
  std::uint8_t highest = blocks.highest;
  std::size_t limit = blocks.next;
  while (limit < end) {
    const std::uint8_t raw = buffer[limit++];
    loud += loud_bytes.Contains(raw) ? 1u : 0u;
    lowest = std::min(lowest, raw);
    highest = std::max(highest, raw);
    if (stop_bytes.Contains(raw)) break;
  }
  result.loud = loud;
  if (result.loud > 0) {
    // Every byte at least as far from 127 as a loud one is loud, so the loudest byte of the
    // stretch is the peak.
    result.PeakLevel = std::max(highest - 127, 127 - lowest);
    result.first = FindFirst(buffer, 1, limit, loud_bytes);
  }
  return result;
}

// What the main pass makes of one byte value: the gained sample, whether it counts as loud
// for starting the take and whether, once stored, it counts as quiet.
struct MainPassTable {
  std::array<double, 256> s;
  std::array<std::uint8_t, 256> loud;
  std::array<std::uint8_t, 256> quiet;
};

// Written once and compiled twice: the AVX2 form rounds down with one instruction, four
// values at a time, where the baseline has no such instruction.
inline __attribute__((always_inline)) void FillMainPassTableBody(MainPassTable& table, double gain,
                                                                 double border,
                                                                 double clip) noexcept {
  for (int raw = 0; raw < 256; ++raw) {
    const double s = std::floor((raw - 128) * gain);
    table.s[raw] = s;
    table.loud[raw] = IsLoud(s, border) && s > clip ? 1 : 0;
    table.quiet[raw] = (-border < s && s < border) || s == clip ? 1 : 0;
  }
}

void FillMainPassTableBaseline(MainPassTable& table, double gain, double border,
                               double clip) noexcept {
  FillMainPassTableBody(table, gain, border, clip);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void FillMainPassTableAvx2(MainPassTable& table, double gain,
                                                           double border, double clip) noexcept {
  FillMainPassTableBody(table, gain, border, clip);
}
#endif

void FillMainPassTable(MainPassTable& table, double gain, double border, double clip) noexcept {
#if defined(__x86_64__)
  if (ActiveInstructionSet() == InstructionSet::kAvx2) {
    FillMainPassTableAvx2(table, gain, border, clip);
    return;
  }
#endif
  FillMainPassTableBaseline(table, gain, border, clip);
}

// Whether the sample at `index`, stored in `slot`, counts as quiet. A slot past the store
// cannot be stored or read back, and so counts as quiet.
bool QuietAt(const Buffer& buffer, const MainPassTable& table, std::size_t index,
             std::size_t slot) noexcept {
  return slot > kLastSlot || table.quiet[buffer[index]] != 0;
}

// Index of the sample that completes a run of 1001 quiet stored samples, for a stretch stored
// from `from` (into slot `first_slot` on) with no quiet run before it; `end` if none does.
// Tests the sample where a run would complete and looks back only to the last loud one, so a
// waveform is mostly skipped 1000 samples at a time, and no sample is looked at more than twice.
std::size_t FindPause(const Buffer& buffer, const MainPassTable& table, std::size_t from,
                      std::size_t end, std::size_t first_slot) noexcept {
  const auto pause = static_cast<std::size_t>(kPauseLength) + 1;
  std::size_t run_start = from;
  while (end - run_start >= pause) {
    const std::size_t target = run_start + pause - 1;
    std::size_t k = target + 1;
    while (k > run_start && QuietAt(buffer, table, k - 1, first_slot + (k - 1 - from))) --k;
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
  double gain = 0;  // Gain / 3, the factor of the table
};

TakeDestination ChooseDestination(SampleStore& store, const MainPassTable& table, double Gain,
                                  double gain) {
  const bool fits = std::all_of(table.s.begin(), table.s.end(), [](double s) {
    return -kNarrowSampleLimit <= s && s <= kNarrowSampleLimit;
  });
  if (!fits) return {nullptr, store.WideSlotsToStore(), std::nullopt, gain};
  return {store.NarrowSlotsToStore(), nullptr, WholeGainFor(Gain, table.s), gain};
}

// Stores the samples from `from` to `last` into slots `first_slot` on, as far as the store goes.
void StoreStretch(const Buffer& buffer, const MainPassTable& table, std::size_t from,
                  std::size_t last, std::size_t first_slot, const TakeDestination& to) noexcept {
  if (first_slot > kLastSlot) return;
  const std::size_t count = std::min(last - from + 1, kSampleSlots - first_slot);
  const std::uint8_t* bytes = buffer.data() + from;
  if (to.wide != nullptr) {
    for (std::size_t j = 0; j < count; ++j) to.wide[first_slot + j] = table.s[bytes[j]];
  } else if (to.whole_gain) {
    ScaleBytes(bytes, count, *to.whole_gain, to.narrow + first_slot);
  } else {
    std::size_t j = ScaleBytesInDoubles(bytes, count, to.gain, to.narrow + first_slot);
    for (; j < count; ++j) to.narrow[first_slot + j] = static_cast<std::int16_t>(table.s[bytes[j]]);
  }
}

}  // namespace

void LoadSamples() {
  auto& m = Shared();

  // 1-2. No file named, no take.
  m.SampleCount = 0;
  m.TakeStart = 0;
  m.TakeEnd = 0;
  if (m.DataFileName.empty()) return;

  // 3-4.
  m.AutoGain = m.Gain == 0 ? 1 : 0;
  if (m.Gain == 0) m.Gain = 3;
  m.MinSamples = kIntakeMinimum;
  m.DefaultMinSamples = kIntakeMinimum;

  // 5. Bytes 50 to 30050 of the file; what the file lacks stays 0, which ends the data.
  Buffer SampleBuffer;
  std::size_t got =
      pellix::CurrentFileSystem().ReadBlock(m.DataFileName, kSkippedBytes, std::span(SampleBuffer));
  got = std::min(got, SampleBuffer.size());
  std::memset(SampleBuffer.data() + got, 0, SampleBuffer.size() - got);

  // 6. Taken at the gain in force now: in automatic mode that is still 3, not the gain the
  // gain pass below computes, so an automatic take always clips at -128.
  const double ClipLevel = pellix::Int(pellix::CheckedResult(-128 * pellix::Divide(m.Gain, 3)));

  // 7. Automatic gain. This pass centres on 127, not 128, and starts at index 1.
  std::size_t start = 0;
  std::size_t end = 0;
  if (m.AutoGain == 1) {
    const GainPassResult pass = GainPass(SampleBuffer, m.BackgroundBorder);
    m.PeakLevel = pass.PeakLevel;
    if (pass.loud < kMinLoudForGain) {
      m.SampleCount = 0;
      return;
    }
    // A zero peak (a negative border and a run of 127s) fails with Division by zero.
    m.Gain = pellix::Int(pellix::Divide(360, m.PeakLevel));
    if (m.Gain > kMaxAutoGain) m.Gain = kMaxAutoGain;
    start = pass.first;
    end = pass.data_end;  // the first loud sample lies before it
  } else {
    end = DataEnd(SampleBuffer, 0);
  }

  // 8. Main pass. Its statements resume on error: a failing one is skipped and its target
  // keeps its value. Only the store can fail here. s cannot overflow: |raw - 128| is at most
  // 128, and the gain is either the one whose 128 x Gain/3 the clip level has just checked or
  // an automatic gain of at most 50. A slot past the store (Subscript out of range) is not
  // stored; the quiet test that reads it back fails too, and resuming after a failed condition
  // enters its branch, so that slot counts as quiet.
  const double border = m.BackgroundBorder;
  MainPassTable table;
  const double gain = m.Gain / 3;
  FillMainPassTable(table, gain, border, ClipLevel);
  const double MinSamples = m.MinSamples;
  const TakeDestination destination = ChooseDestination(m.Samples, table, m.Gain, gain);
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
    const std::size_t stop = FindPause(SampleBuffer, table, i, end, static_cast<std::size_t>(n));
    const std::size_t last = stop < end ? stop : end - 1;
    StoreStretch(SampleBuffer, table, i, last, static_cast<std::size_t>(n), destination);
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

  // 9.
  m.SampleCount = static_cast<double>(n);
  if (n > 0) {
    m.TakeStart = take_start;
    m.TakeEnd = take_start + static_cast<std::size_t>(n);
  }
}

}  // namespace Tarvo_alg1
