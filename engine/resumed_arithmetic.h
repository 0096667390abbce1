// The arithmetic of statements that resume on error, for a procedure that runs them in its
// ordinary course (ComputeStress, whose statements divide by the calibration: every check taken
// without one fails two of them). The checks are those of checked_arithmetic.h, but a failing
// operation gives NaN instead of raising, and every later operation of the statement passes the
// NaN on (Int, a floor, as well), while one that does not fail gives a finite number. A statement
// whose every operand goes through a checked operation therefore fails exactly when its result is
// NaN, whatever its operands hold, and Assign then leaves its target as it was, as ResumeNext
// does. It spares the exceptions, whose throw makes the unwinder search its tables: 2% of what
// a whole check without calibration costs to start and run.
#pragma once

#include <cmath>
#include <limits>

namespace Tarvo_alg1::resumed {

inline constexpr double kFailed = std::numeric_limits<double>::quiet_NaN();

// Overflow (6): a result that is not finite.
inline double Finite(double x) noexcept {
  return std::isfinite(x) ? x : kFailed;
}
inline double Add(double a, double b) noexcept {
  return Finite(a + b);
}
inline double Sub(double a, double b) noexcept {
  return Finite(a - b);
}
inline double Mul(double a, double b) noexcept {
  return Finite(a * b);
}
// Division by zero (11), then Overflow.
inline double Div(double a, double b) noexcept {
  return b == 0.0 ? kFailed : Finite(a / b);
}

// The statement `target = result`, skipped when the statement failed.
inline void Assign(double& target, double result) noexcept {
  if (!std::isnan(result)) target = result;
}

}  // namespace Tarvo_alg1::resumed
