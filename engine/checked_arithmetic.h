// Double arithmetic with the platform's checks, one operation at a time: an operation whose
// result is not finite raises Overflow (6), a division by zero raises Division by zero (11).
// The analysis checks every intermediate result, not just the final one, because the platform
// fails at the first operation that overflows even when a later one would bring the value back
// into range (x / (a / b) with a / b overflowing is an error, not 0).
#pragma once

#include "platform/conversions.h"

namespace Tarvo_alg1::checked {

inline double Add(double a, double b) {
  return pellix::CheckedResult(a + b);
}
inline double Sub(double a, double b) {
  return pellix::CheckedResult(a - b);
}
inline double Mul(double a, double b) {
  return pellix::CheckedResult(a * b);
}
inline double Div(double a, double b) {
  return pellix::Divide(a, b);
}

}  // namespace Tarvo_alg1::checked
