// Libraries loaded on first use: a function found once the library loads, and a reason that
// names the library or the function when either is missing.
#include <gtest/gtest.h>

#include <math.h>

#include <string>

#include "platform/on_demand_library.h"

namespace pellix {
namespace {

TEST(OnDemandLibrary, FindsFunctionsOrSaysWhatIsMissing) {
  OnDemandLibrary maths("libm.so.6");
  std::string problem;
  auto* cosine = reinterpret_cast<double (*)(double)>(maths.Find("cos", problem));
  ASSERT_NE(cosine, nullptr) << problem;
  EXPECT_EQ(cosine(0.0), 1.0);

  EXPECT_EQ(maths.Find("no_such_function_here", problem), nullptr);
  EXPECT_EQ(problem, "libm.so.6 has no function no_such_function_here");

  OnDemandLibrary missing("libpellix-not-installed.so.9");
  problem.clear();
  EXPECT_EQ(missing.Find("cos", problem), nullptr);
  EXPECT_EQ(problem.rfind("libpellix-not-installed.so.9 cannot be loaded: ", 0), 0u) << problem;
  // Asked again, it does not try again and says the same.
  std::string again;
  EXPECT_EQ(missing.Find("sin", again), nullptr);
  EXPECT_EQ(again, problem);
}

// Two sets of stand-ins with one error type: each loads its own library and fails with its own
// number and words.
struct StandInError {
  int number;
  std::string message;
};
StandInError MakeStandInError(int number, const std::string& message) {
  return {number, message};
}
constexpr OnDemandStandIns<StandInError> kMaths{"libm.so.6", MakeStandInError, 75,
                                                "cannot count: "};
constexpr OnDemandStandIns<StandInError> kMissing{"libpellix-not-installed.so.9", MakeStandInError,
                                                  5, "cannot resample: "};

float Cosine(float x) {
  PELLIX_ON_DEMAND_CALL(kMaths, cosf, x);
}

TEST(OnDemandLibrary, StandInsCallTheRealFunctionOrFailAsTheirLayerDoes) {
  EXPECT_EQ(Cosine(0.0f), 1.0f);
  try {
    FindOnDemand<kMaths>("no_such_function_here");
    ADD_FAILURE() << "found a function libm does not have";
  } catch (const StandInError& e) {
    EXPECT_EQ(e.number, 75);
    EXPECT_EQ(e.message, "cannot count: libm.so.6 has no function no_such_function_here");
  }
  try {
    FindOnDemand<kMissing>("cos");
    ADD_FAILURE() << "found a function in a library that is not installed";
  } catch (const StandInError& e) {
    EXPECT_EQ(e.number, 5);
    EXPECT_EQ(
        e.message.rfind("cannot resample: libpellix-not-installed.so.9 cannot be loaded: ", 0), 0u)
        << e.message;
  }
}

}  // namespace
}  // namespace pellix
