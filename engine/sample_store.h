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
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

#include "engine/position_bits.h"

namespace Tarvo_alg1 {

inline constexpr std::size_t kSampleSlots = 21001;  // Samples(0 To 21000)

// Every sample of a 16-bit take lies within this limit, so that the differences of two samples
// fit in 16 bits too.
inline constexpr std::int16_t kNarrowSampleLimit = 16000;

class SampleStore {
 public:
  SampleStore() = default;
  // A copy holds the same take in slots of its own; every slot above the high water is 0 in
  // both, as is every slot of the form not in use.
  SampleStore(const SampleStore& other)
      : narrow_(other.narrow_),
        high_water_(other.high_water_),
        classified_end_(other.classified_end_),
        classes_(other.classes_) {
    if (narrow_) {
      std::copy_n(other.slots_->narrow.begin(), high_water_, slots_->narrow.begin());
    } else {
      std::copy_n(other.slots_->wide.begin(), high_water_, slots_->wide.begin());
    }
  }
  SampleStore& operator=(SampleStore other) noexcept {
    std::swap(narrow_, other.narrow_);
    std::swap(high_water_, other.high_water_);
    std::swap(classified_end_, other.classified_end_);
    std::swap(classes_, other.classes_);
    std::swap(slots_, other.slots_);
    return *this;
  }
  ~SampleStore() = default;

  // One slot to write from outside the intake (tests, the literal model): widens the store first.
  class Slot {
   public:
    operator double() const noexcept { return std::as_const(store_)[index_]; }
    Slot& operator=(double value) noexcept {
      store_.Widen();
      store_.classified_end_ = 0;
      store_.slots_->wide[index_] = value;
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
    return narrow_ ? static_cast<double>(slots_->narrow[k]) : slots_->wide[k];
  }
  Slot operator[](std::size_t k) noexcept { return Slot(*this, k); }
  static constexpr std::size_t size() noexcept { return kSampleSlots; }

  bool is_narrow() const noexcept { return narrow_; }
  const std::int16_t* narrow_slots() const noexcept { return slots_->narrow.data(); }
  const double* wide_slots() const noexcept { return slots_->wide.data(); }

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
      std::fill_n(slots_->wide.begin(), high_water_, 0.0);
      high_water_ = 0;
      narrow_ = true;
    }
    return slots_->narrow.data();
  }
  double* WideSlotsToStore() noexcept {
    classified_end_ = 0;
    if (narrow_) {
      std::fill_n(slots_->narrow.begin(), high_water_, std::int16_t{0});
      high_water_ = 0;
      narrow_ = false;
    }
    return slots_->wide.data();
  }

  // Every slot from `end` on reads 0 afterwards; the slots below it hold the take just stored.
  void KeepBelow(std::size_t end) noexcept {
    // A position reads its slot and the two after it.
    if (end < classified_end_ + 2) classified_end_ = 0;
    if (end < high_water_) {
      if (narrow_) {
        std::fill(slots_->narrow.begin() + end, slots_->narrow.begin() + high_water_, 0);
      } else {
        std::fill(slots_->wide.begin() + end, slots_->wide.begin() + high_water_, 0.0);
      }
    }
    high_water_ = end;
  }

 private:
  // The slots of the form not in use are all 0.
  void Widen() noexcept {
    if (!narrow_) return;
    for (std::size_t k = 0; k < high_water_; ++k) {
      slots_->wide[k] = slots_->narrow[k];
      slots_->narrow[k] = 0;
    }
    narrow_ = false;
  }

  // The slots of both forms, in a block calloc hands over zeroed. Memory fresh from the system
  // is zero already and calloc leaves it untouched, so the store of a new process touches none
  // of its pages until a take is written into it, and the doubles, which most takes never use,
  // cost nothing at all: a one-check command faults in 45 pages fewer than with slots zeroed in
  // place.
  struct Slots {
    std::array<std::int16_t, kSampleSlots> narrow;
    std::array<double, kSampleSlots> wide;
  };
  struct FreeSlots {
    void operator()(Slots* block) const noexcept { std::free(block); }
  };
  static std::unique_ptr<Slots, FreeSlots> ZeroedSlots() {
    auto* block = static_cast<Slots*>(std::calloc(1, sizeof(Slots)));
    if (block == nullptr) throw std::bad_alloc();
    return std::unique_ptr<Slots, FreeSlots>(block);
  }

  bool narrow_ = true;
  std::size_t high_water_ = 0;
  std::size_t classified_end_ = 0;
  PositionClasses classes_{};
  std::unique_ptr<Slots, FreeSlots> slots_ = ZeroedSlots();
};

}  // namespace Tarvo_alg1
