#include "engine/gain_pass.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "engine/instruction_set.h"

namespace Tarvo_alg1 {

std::size_t DataEnd(const SampleBytes& buffer, std::size_t from) noexcept {
  if (from >= buffer.size()) return buffer.size();
  const void* zero = std::memchr(buffer.data() + from, 0, buffer.size() - from);
  return zero == nullptr
             ? buffer.size()
             : static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - buffer.data());
}

namespace {

constexpr int kPeakStop = 110;  // the gain pass has seen enough once a peak passes this

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

__m128i LoadLanes(const SampleBytes& buffer, std::size_t i) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(buffer.data() + i));
}
#endif

// Index of the first byte in [from, to) that lies in `set`, or `to`. Looks at a block at a
// time so that many bytes are tested per instruction.
std::size_t FindFirst(const SampleBytes& buffer, std::size_t from, std::size_t to, ByteRange set) {
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

BlockCounts CountBlocksBaseline(const SampleBytes& buffer, std::size_t from, std::size_t end,
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
__attribute__((target("avx2"))) BlockCounts CountBlocksAvx2(const SampleBytes& buffer,
                                                            std::size_t from, std::size_t end,
                                                            ByteRange loud_bytes,
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

}  // namespace

GainPassResult GainPass(const SampleBytes& buffer, double border) {
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

}  // namespace Tarvo_alg1
