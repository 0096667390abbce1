// The intake at the gain 3, which stores each byte less 128 and classifies the scan's positions
// on the bytes themselves, in each form: the stored slots, and the classes of hand-built
// neighbourhoods on the rules' edges, where a comparison on bytes could slip by one.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/forms.h"
#include "engine/position_bits.h"
#include "instruction_set_names.h"

namespace {

using Tarvo_alg1::Bit;
using Tarvo_alg1::InstructionSet;
using Tarvo_alg1::PositionBits;

class UnitGainTest : public testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override { Tarvo_alg1::LimitInstructionSet(GetParam()); }
  void TearDown() override { Tarvo_alg1::LimitInstructionSet(Tarvo_alg1::kWidestInstructionSet); }

  // 300 bytes of 128 (sample 0: flat, no thorns), classified from slot `first_slot` on.
  Tarvo_alg1::ScaledAndClassified Run(std::size_t first_slot) {
    thorn.fill(0);
    nonflat.fill(0);
    return Tarvo_alg1::ActiveForms().scale_and_classify_unit_gain(
        bytes.data(), bytes.size(), slots.data(), first_slot, thorn, nonflat);
  }

  std::array<std::uint8_t, 300> bytes = MiddleBytes();
  std::array<std::int16_t, 301> slots{};
  PositionBits thorn;
  PositionBits nonflat;

 private:
  static std::array<std::uint8_t, 300> MiddleBytes() {
    std::array<std::uint8_t, 300> middle;
    middle.fill(128);
    return middle;
  }
};

// Three bytes a, b, c (samples a - 128 and so on) and what the position they start is.
struct Neighbourhood {
  std::uint8_t a, b, c;
  bool thorn, nonflat;
};

constexpr Neighbourhood kNeighbourhoods[] = {
    {134, 140, 134, true, true},     // a peak with both neighbours at 6
    {133, 140, 134, false, true},    // a neighbour at exactly 5 is not above 5
    {122, 100, 122, true, true},     // a trough with both neighbours at -6
    {123, 100, 122, false, true},    // a neighbour at exactly -5
    {200, 201, 200, true, false},    // a peak 1 above its neighbours: a thorn, and flat
    {2, 1, 2, true, false},          // the same trough near the bottom of the range
    {130, 132, 130, false, false},   // neighbours 2 away: flat
    {130, 133, 130, false, true},    // 3 away: not flat
    {131, 131, 128, false, true},    // 3 away on one side only
    {255, 1, 255, false, true},      // a trough far above -5 is no thorn
    {1, 255, 1, false, true},        // a peak far below 5 is no thorn
    {140, 140, 140, false, false}};  // equal samples: no thorn, flat

TEST_P(UnitGainTest, SlotsAreTheBytesLess128AndEdgesClassifyAsTheRulesSay) {
  for (std::size_t i = 0; i < std::size(kNeighbourhoods); ++i) {
    const Neighbourhood& n = kNeighbourhoods[i];
    bytes[3 + 5 * i] = n.a;
    bytes[4 + 5 * i] = n.b;
    bytes[5 + 5 * i] = n.c;
  }
  const Tarvo_alg1::ScaledAndClassified done = Run(0);
  ASSERT_GE(done.classified_end, 64u);  // every neighbourhood lies in the positions classified
  for (std::size_t j = 0; j < done.scaled; ++j) ASSERT_EQ(slots[j], bytes[j] - 128) << j;
  for (std::size_t i = 0; i < std::size(kNeighbourhoods); ++i) {
    const Neighbourhood& n = kNeighbourhoods[i];
    EXPECT_EQ(Bit(thorn, 3 + 5 * i), n.thorn) << int{n.a} << " " << int{n.b} << " " << int{n.c};
    EXPECT_EQ(Bit(nonflat, 3 + 5 * i), n.nonflat) << int{n.a} << " " << int{n.b} << " " << int{n.c};
  }
}

TEST_P(UnitGainTest, AfterARestartTheFirstPositionReadsTheSlotStoredBefore) {
  bytes[0] = 140;
  bytes[1] = 134;
  slots[0] = 6;  // byte 134, stored by the take's first stretch
  Tarvo_alg1::ScaledAndClassified done = Run(1);
  EXPECT_GE(done.classified_end, 64u);
  EXPECT_EQ(slots[1], 12);
  EXPECT_TRUE(Bit(thorn, 0));  // 6, 12, 6
  EXPECT_FALSE(Bit(thorn, 1));
  EXPECT_TRUE(Bit(nonflat, 1));  // 12, 6, 0

  slots[0] = 300;  // no byte less 128: nothing is classified, everything still stored
  done = Run(1);
  EXPECT_EQ(done.classified_end, 0u);
  EXPECT_GE(done.scaled, 288u);  // whole blocks of up to 32 bytes
}

PELLIX_INSTANTIATE_FOR_EACH_INSTRUCTION_SET(UnitGainTest);

}  // namespace
