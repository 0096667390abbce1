// Libraries loaded on first use: a function found once the library loads, and a reason that
// names the library or the function when either is missing.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pellix
