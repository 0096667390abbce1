// The module's sample store, Samples(0 To 21000).
//
// Every stored sample is a whole number. Most takes hold numbers of a few thousand at most, and
// those the store keeps in 16 bits: the intake writes a quarter of the bytes and the scan reads
// them as they are. A take whose gain could store something wider is kept in doubles. Reading a
// slot gives the same number either way.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "engine/position_bits.h"

namespace Tarvo_alg1 {

inline constexpr std::size_t kSampleSlots = 21001;  // Samples(0 To 21000)

// Every sample of a 16-bit take lies within this limit, so that the differences of two samples
// fit in 16 bits too.
inline constexpr std::int16_t kNarrowSampleLimit = 16000;

class SampleStore {
 public:
  // One slot to write from outside the intake (tests, the literal model): widens the store first.
  class Slot {
   public:
    operator double() const noexcept { return std::as_const(store_)[index_]; }
    Slot& operator=(double value) noexcept {
      store_.Widen();
      store_.classified_end_ = 0;
      store_.wide_[index_] = value;
      store_.high_water_ = std::max(store_.high_water_, index_ + 1);
      return *this;
    }

   private:
    friend class SampleStore;
    Slot(SampleStore& store, std::size_t index) noexcept : store_(store), index_(index) {}
    SampleStore& store_;
    std::size_t index_;
  };

  double operator[](std::size_t k) const noexcept {
    return narrow_ ? static_cast<double>(narrow_values_[k]) : wide_[k];
  }
  Slot operator[](std::size_t k) noexcept { return Slot(*this, k); }
  static constexpr std::size_t size() noexcept { return kSampleSlots; }

  bool is_narrow() const noexcept { return narrow_; }
  const std::int16_t* narrow_slots() const noexcept { return narrow_values_.data(); }
  const double* wide_slots() const noexcept { return wide_.data(); }

  // One past the highest slot that may hold something other than 0.
  std::size_t high_water() const noexcept { return high_water_; }

  // The classes of the scan's positions (thorn, not flat) that the intake worked out while it
  // stored the take, valid for the positions below classified_end(); any other write to the
  // store forgets them. The bits of later positions are of no use.
  struct PositionClasses {
    PositionBits thorn;
    PositionBits nonflat;
  };
  const PositionClasses& classes() const noexcept { return classes_; }
  std::size_t classified_end() const noexcept { return classified_end_; }
  // The intake's way to record them: the bits to write, then how far they hold.
  PositionClasses& ClassesToStore() noexcept {
    classified_end_ = 0;
    return classes_;
  }
  void SetClassifiedEnd(std::size_t end) noexcept { classified_end_ = narrow_ ? end : 0; }

  // The intake's way in: the slots to store a take into, in 16 bits (every value within
  // kNarrowSampleLimit) or in doubles. Slots keep an earlier take's values until written or
  // cleared; switching between the two forms clears the earlier take at once. Once the take is
  // stored, KeepBelow(one past its highest slot) clears what is left of the earlier one.
  std::int16_t* NarrowSlotsToStore() noexcept {
    classified_end_ = 0;
    if (!narrow_) {
      std::fill_n(wide_.begin(), high_water_, 0.0);
      high_water_ = 0;
      narrow_ = true;
    }
    return narrow_values_.data();
  }
  double* WideSlotsToStore() noexcept {
    classified_end_ = 0;
    if (narrow_) {
      std::fill_n(narrow_values_.begin(), high_water_, std::int16_t{0});
      high_water_ = 0;
      narrow_ = false;
    }
    return wide_.data();
  }

  // Every slot from `end` on reads 0 afterwards; the slots below it hold the take just stored.
  void KeepBelow(std::size_t end) noexcept {
    // A position reads its slot and the two after it.
    if (end < classified_end_ + 2) classified_end_ = 0;
    if (end < high_water_) {
      if (narrow_) {
        std::fill(narrow_values_.begin() + end, narrow_values_.begin() + high_water_, 0);
      } else {
        std::fill(wide_.begin() + end, wide_.begin() + high_water_, 0.0);
      }
    }
    high_water_ = end;
  }

 private:
  // The slots of the form not in use are all 0.
  void Widen() noexcept {
    if (!narrow_) return;
    for (std::size_t k = 0; k < high_water_; ++k) {
      wide_[k] = narrow_values_[k];
      narrow_values_[k] = 0;
    }
    narrow_ = false;
  }

  bool narrow_ = true;
  std::size_t high_water_ = 0;
  std::size_t classified_end_ = 0;
  PositionClasses classes_{};
  std::array<std::int16_t, kSampleSlots> narrow_values_{};
  std::array<double, kSampleSlots> wide_{};
};

}  // namespace Tarvo_alg1
