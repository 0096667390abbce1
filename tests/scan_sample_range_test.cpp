// The scan counts the same whatever values the samples hold: a take of small whole numbers
// (what the intake stores) and the same take with one sample out of the ordinary (very large,
// very small, or not whole) give the same thorns, jumps and jump lengths. The out-of-the-way
// samples sit in the steep background, where they change nothing the rules look at.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "engine/tarvo_alg1.h"
#include "take_builder.h"

namespace {

using pellix::testing::TakeBuilder;

// Three flics with two thorns each and jumps of 4 and 6, 4 and 6, 5 and 5: thorn rate
// Int(6 / 3 / 300 * 3000) = 20, jump rate 20, mean jump length 30 / 6 = 5, spread
// sqrt(2 x 1 + 2 x 0 + 2 x 1) = 2.
std::vector<double> Take() {
  const std::vector<std::uint8_t> file =
      TakeBuilder().Flic(2, {4, 6}).Flic(2, {4, 6}).Flic(2, {5, 5}).File();
  std::vector<double> slots;
  for (std::size_t i = 49 + 3; i < file.size(); ++i) slots.push_back(file[i] - 128.0);
  return slots;
}

// Two background slots of flics 1 and 2, after their thorns and jumps: a 0 between two 4s.
// Whatever replaces it (unless it lies within 2 of 4, or above 5 with both neighbours) leaves
// its three positions steep and without a thorn.
std::vector<std::size_t> BackgroundSlots(const std::vector<double>& slots) {
  std::vector<std::size_t> found;
  for (std::size_t near : {200, 500}) {
    std::size_t k = near;
    while (!(slots[k] == 0 && slots[k - 1] == 4 && slots[k + 1] == 4)) ++k;
    found.push_back(k);
  }
  return found;
}

// The state the scan of `slots` leaves.
std::unique_ptr<Tarvo_alg1::SharedState> Scan(const std::vector<double>& slots) {
  auto state = std::make_unique<Tarvo_alg1::SharedState>();
  auto& s = *state;
  for (std::size_t k = 0; k < slots.size(); ++k) s.Samples[k] = slots[k];
  s.SampleCount = static_cast<double>(slots.size());
  s.MinJump = 2;
  s.MaxJump = 30;
  Tarvo_alg1::ScanThornsJumps(s);
  return state;
}

void ExpectTheTakesMeasures(const Tarvo_alg1::SharedState& s) {
  EXPECT_EQ(s.ThornRate, 20);
  EXPECT_EQ(s.JumpRate, 20);
  EXPECT_EQ(s.AvgJumpLen, 5);
  EXPECT_EQ(s.JumpSpread, 2);
}

TEST(ScanSampleRange, SmallWholeNumbers) {
  ExpectTheTakesMeasures(*Scan(Take()));
}

TEST(ScanSampleRange, LargeWholeNumbersAndFractionsInTheBackground) {
  for (double value : {16000.0, -16000.0, 16001.0, -16001.0, 40000.0, 1e18, 0.5, -0.25, 1e-300}) {
    SCOPED_TRACE(value);
    std::vector<double> slots = Take();
    for (std::size_t k : BackgroundSlots(slots)) slots[k] = value;
    ExpectTheTakesMeasures(*Scan(slots));
  }
}

// Slot 0 is never read by the rules, whatever it holds.
TEST(ScanSampleRange, WhateverSlotZeroHolds) {
  for (double value : {16001.0, 0.5, -1e300}) {
    SCOPED_TRACE(value);
    std::vector<double> slots = Take();
    slots[0] = value;
    ExpectTheTakesMeasures(*Scan(slots));
  }
}

// Near the 16-bit edge the rules still see differences of 1 exactly. In the background of flic 3
// (slots 700 to 704, after its content) 15998 15999 16000 15999 15998 make three flat positions
// (a jump of length 3) and a thorn on the peak.
TEST(ScanSampleRange, LargeValuesCompareExactly) {
  std::vector<double> slots = Take();
  const double stretch[] = {15998, 15999, 16000, 15999, 15998};
  for (std::size_t i = 0; i < std::size(stretch); ++i) slots[700 + i] = stretch[i];
  const auto state = Scan(slots);
  const auto& s = *state;
  // 7 thorns and 7 jumps over 3 flics: Int(7 / 3 / 300 * 3000) = 23 each; lengths 3 once and
  // 4, 5, 6 twice each: mean 33 / 7.
  EXPECT_EQ(s.ThornRate, 23);
  EXPECT_EQ(s.JumpRate, 23);
  EXPECT_EQ(s.AvgJumpLen, 33.0 / 7);
}

}  // namespace
