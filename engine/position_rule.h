// The scan's rules for a position, on lanes of whole-number values, written once for the kernels
// that classify 16-bit samples (classify_kernel.h) and those that classify the bytes of a gain
// whose rules hold on them (byte_classify_kernel.h); literal_model.h states the same rules
// sample by sample, and the tests hold the two together.
//
// V gives the values (Values) and truths (Mask) of its lanes, and these operations: Load, the
// lanes of samples (Value) from a place on, loaded here rather than handed in, which keeps plain
// lanes in registers; Min and Max; Greater(x, y), the lanes where x > y; Compare(x, y), both the
// lanes where x < y (below) and x - y wherever x >= y (excess; elsewhere anything not above it,
// so that the larger of two excesses is b's distance from the farther neighbour), in one
// operation, as some lanes get both from one difference; And and Or of truths.
#pragma once

namespace Tarvo_alg1::kernels {

// The rules' numbers in the values' own terms: 5, -5 and the largest distance that is flat.
template <class V>
struct PositionBounds {
  typename V::Values above_five;
  typename V::Values below_minus_five;
  typename V::Values flat_distance;
};

template <class V>
struct Comparison {
  typename V::Mask below;
  typename V::Values excess;
};

template <class V>
struct PositionTruths {
  typename V::Mask thorn;
  typename V::Mask nonflat;
};

// The positions from `at`, whose samples a, b and c are at[0], at[1] and at[2] on. Low and high
// are the smaller and larger neighbour of b. A thorn is b above both with both above 5, or b
// below both with both below -5 (a > 5 and b > a already give b > 5); a position is not flat
// when b lies farther than the flat distance from either neighbour.
template <class V>
[[gnu::always_inline]] inline PositionTruths<V> ClassifyPosition(
    const typename V::Value* at, const PositionBounds<V>& bounds) noexcept {
  const auto a = V::Load(at);
  const auto b = V::Load(at + 1);
  const auto c = V::Load(at + 2);
  const auto low = V::Min(a, c);
  const auto high = V::Max(a, c);
  const Comparison<V> up = V::Compare(high, b);   // below: b above both
  const Comparison<V> down = V::Compare(b, low);  // below: b below both
  const auto positive = V::And(up.below, V::Greater(low, bounds.above_five));
  const auto negative = V::And(down.below, V::Greater(bounds.below_minus_five, high));
  const auto farther = V::Max(up.excess, down.excess);
  return {V::Or(positive, negative), V::Greater(farther, bounds.flat_distance)};
}

}  // namespace Tarvo_alg1::kernels
