// The gain pass over takes whose loud, stopping and ending bytes sit at hand-picked places:
// at the first byte the pass reads, on either side of a block and a group boundary of the
// vector forms, and at the buffer's last byte; the border changes from row to row, so that
// the loud bytes worked out for one border are never used for another.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "engine/gain_pass.h"
#include "engine/limits.h"
#include "instruction_set_names.h"
#include "platform/instruction_set.h"

namespace {

using Tarvo_alg1::GainPass;
using Tarvo_alg1::GainPassResult;
using Tarvo_alg1::SampleBytes;

class GainPassTest : public testing::TestWithParam<pellix::InstructionSet> {
 protected:
  void SetUp() override { pellix::LimitInstructionSet(GetParam()); }
  void TearDown() override { pellix::LimitInstructionSet(pellix::kWidestInstructionSet); }
};

// Every byte 127 (level 0) but the ones listed. 140 is level 13, 240 level 113 and 10 level
// -117: the last two lie beyond 110 and stop the pass after counting themselves. A border of
// -1 makes every byte loud, level 0 included. Loud samples are counted exactly up to the ten a
// take needs; beyond that, a form may count some or all of the rest.
TEST_P(GainPassTest, CountsUpToAndWithTheStoppingByte) {
  const struct Row {
    double border;
    std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes;
    long loud;
    double peak;
    std::size_t first;
    std::size_t data_end;
    std::size_t loud_from_1 = 0;  // bytes 1 to this are 140
  } rows[] = {
      {5, {{5, 140}, {300, 140}, {301, 140}, {1000, 240}}, 4, 113, 5, 30001},
      {20, {{5, 140}, {300, 140}, {301, 140}, {1000, 240}}, 1, 113, 1000, 30001},
      {5, {{5, 140}, {257, 10}, {2000, 140}}, 2, 117, 5, 30001},
      {5, {{5, 140}, {256, 10}, {257, 240}}, 2, 117, 5, 30001},
      {5, {{1, 240}, {2, 140}}, 1, 113, 1, 30001},
      {5, {{0, 240}, {256, 140}}, 1, 13, 256, 30001},
      {5, {{100, 140}, {500, 0}, {600, 240}}, 1, 13, 100, 500},
      {-1, {}, 30000, 0, 1, 30001},
      {5, {}, 0, 0, 0, 30001},
      {5, {{30000, 140}}, 1, 13, 30000, 30001},
      // Ten loud samples from the start are enough; the extremes and the stop are still found.
      {5, {{7000, 60}}, 11, 67, 1, 30001, 10},
      {5, {{5000, 200}, {9000, 240}, {9001, 10}}, 12, 113, 1, 30001, 10},
  };
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    SCOPED_TRACE(r);
    SampleBytes bytes;
    bytes.fill(127);
    std::fill_n(bytes.begin() + 1, rows[r].loud_from_1, 140);
    for (const auto& [at, value] : rows[r].bytes) bytes[at] = value;
    const GainPassResult pass = GainPass(bytes, rows[r].border);
    if (rows[r].loud < Tarvo_alg1::limits::kLoudForGain) {
      EXPECT_EQ(pass.loud, rows[r].loud);
    } else {
      EXPECT_GE(pass.loud, Tarvo_alg1::limits::kLoudForGain);
      EXPECT_LE(pass.loud, rows[r].loud);
    }
    EXPECT_EQ(pass.PeakLevel, rows[r].peak);
    EXPECT_EQ(pass.first, rows[r].first);
    EXPECT_EQ(pass.data_end, rows[r].data_end);
  }
}

PELLIX_INSTANTIATE_FOR_EACH_INSTRUCTION_SET(GainPassTest);

}  // namespace
