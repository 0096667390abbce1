// The scan's rules for a position, on lanes of whole-number values, written once for the kernels
// that classify 16-bit samples (classify_kernel.h) and those that classify the bytes of a gain
// whose rules hold on them (byte_classify_kernel.h); literal_model.h states the same rules
// sample by sample, and the tests hold the two together.
//
// V gives the values (Values) and truths (Mask) of its lanes and: Min, Max; Greater(x, y), the
// lanes where x > y; Distance(x, y), x - y wherever x >= y (elsewhere anything not above it, so
// that the larger of Distance(high, b) and Distance(b, low) is b's distance from the farther
// neighbour); And and Or of truths.
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
struct PositionTruths {
  typename V::Mask thorn;
  typename V::Mask nonflat;
};

// Low and high are the smaller and larger neighbour of b. A thorn is b above both with both
// above 5, or b below both with both below -5 (a > 5 and b > a already give b > 5); a position
// is not flat when b lies farther than the flat distance from either neighbour.
template <class V>
[[gnu::always_inline]] inline PositionTruths<V> ClassifyPosition(
    typename V::Values a, typename V::Values b, typename V::Values c,
    const PositionBounds<V>& bounds) noexcept {
  const auto low = V::Min(a, c);
  const auto high = V::Max(a, c);
  const auto positive = V::And(V::Greater(b, high), V::Greater(low, bounds.above_five));
  const auto negative = V::And(V::Greater(low, b), V::Greater(bounds.below_minus_five, high));
  const auto farther = V::Max(V::Distance(high, b), V::Distance(b, low));
  return {V::Or(positive, negative), V::Greater(farther, bounds.flat_distance)};
}

}  // namespace Tarvo_alg1::kernels
