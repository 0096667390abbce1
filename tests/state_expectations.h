// Expected values of the analysis state for table-driven tests: each row names the fields it
// checks and the range each must fall in.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "engine/tarvo_alg1.h"

namespace pellix::testing {

using StateField = double Tarvo_alg1::SharedState::*;

// What a table row changes before the call: each field and the value it is set to.
using StateChange = std::vector<std::pair<StateField, double>>;

inline void Apply(Tarvo_alg1::SharedState& s, const StateChange& change) {
  for (const auto& [field, value] : change) s.*field = value;
}

struct StateExpectation {
  StateField field;
  double low;
  double high;
};

inline StateExpectation Is(StateField field, double value) {
  return {field, value, value};
}
// Within four units in the last place, as gtest's EXPECT_DOUBLE_EQ.
inline StateExpectation Close(StateField field, double value) {
  double low = value;
  double high = value;
  for (int i = 0; i < 4; ++i) {
    low = std::nextafter(low, -std::numeric_limits<double>::infinity());
    high = std::nextafter(high, std::numeric_limits<double>::infinity());
  }
  return {field, low, high};
}
inline StateExpectation Near(StateField field, double value, double tolerance) {
  return {field, value - tolerance, value + tolerance};
}
inline StateExpectation AtLeast(StateField field, double value) {
  return {field, value, std::numeric_limits<double>::infinity()};
}
inline StateExpectation Above(StateField field, double value) {
  return AtLeast(field, std::nextafter(value, std::numeric_limits<double>::infinity()));
}
inline StateExpectation Below(StateField field, double value) {
  return {field, -std::numeric_limits<double>::infinity(),
          std::nextafter(value, -std::numeric_limits<double>::infinity())};
}

inline void ExpectState(const Tarvo_alg1::SharedState& s,
                        const std::vector<StateExpectation>& expected) {
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const StateExpectation& e = expected[i];
    const double value = s.*e.field;
    EXPECT_TRUE(value >= e.low && value <= e.high)
        << "expectation " << i << ": " << value << " is not in [" << e.low << ", " << e.high << "]";
  }
}

}  // namespace pellix::testing
