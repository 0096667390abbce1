// The sample store reads the same in either form, and no form change lets a take see another.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "engine/sample_store.h"

namespace {

using Tarvo_alg1::SampleStore;

TEST(SampleStoreTest, WritingASlotKeepsEveryOtherValue) {
  auto store = std::make_unique<SampleStore>();
  std::int16_t* narrow = store->NarrowSlotsToStore();
  for (std::size_t k = 0; k < 10; ++k)
    narrow[k] = static_cast<std::int16_t>(-100 * static_cast<int>(k));
  store->KeepBelow(10);
  (*store)[4] = 0.5;  // not a whole number: the store widens first
  EXPECT_FALSE(store->is_narrow());
  const SampleStore& read = *store;
  EXPECT_EQ(read[3], -300);
  EXPECT_EQ(read[4], 0.5);
  EXPECT_EQ(read[9], -900);
  EXPECT_EQ(read[10], 0);
  EXPECT_EQ(read.high_water(), 10u);
}

TEST(SampleStoreTest, ChangingFormClearsTheEarlierTake) {
  auto store = std::make_unique<SampleStore>();
  (*store)[20000] = 1e6;
  store->NarrowSlotsToStore()[0] = 7;
  store->KeepBelow(1);
  const SampleStore& read = *store;
  EXPECT_EQ(read[0], 7);
  EXPECT_EQ(read[20000], 0);
  store->WideSlotsToStore()[1] = 2e6;
  store->KeepBelow(2);
  EXPECT_EQ(read[0], 0);  // cleared with the change, not written by this take
  EXPECT_EQ(read[1], 2e6);
  EXPECT_EQ(read.high_water(), 2u);
}

TEST(SampleStoreTest, ACopyHoldsTheTakeInSlotsOfItsOwnInEitherForm) {
  for (const bool widened : {false, true}) {
    SampleStore store;
    std::int16_t* narrow = store.NarrowSlotsToStore();
    for (std::size_t k = 0; k < 10; ++k)
      narrow[k] = static_cast<std::int16_t>(-100 * static_cast<int>(k));
    store.KeepBelow(10);
    if (widened) store[9] = 0.5;
    SampleStore copy(store);
    store[3] = 1;  // the original's slots alone
    const SampleStore& read = copy;
    EXPECT_EQ(read.is_narrow(), !widened);
    EXPECT_EQ(read[3], -300) << widened;
    EXPECT_EQ(read[9], widened ? 0.5 : -900) << widened;
    EXPECT_EQ(read[10], 0) << widened;
    EXPECT_EQ(read.high_water(), 10u);
    copy = SampleStore();
    EXPECT_EQ(read[9], 0) << widened;
    EXPECT_EQ(read.high_water(), 0u);
  }
}

}  // namespace
