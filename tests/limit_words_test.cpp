// The words that name an engine limit to people (reports, `--help`, the README's table, which a
// report test holds to `--help`) say the limit the engine applies.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "analysis/result_meanings.h"
#include "engine/limits.h"
#include "engine/result_codes.h"

namespace {

using namespace Tarvo_alg1::limits;

std::string Whole(double value) {
  return std::to_string(static_cast<long>(value));
}

TEST(LimitWordsTest, RefusalsNameTheMinimumsTheOperationsApply) {
  const struct {
    std::string_view words;
    std::string says;
  } kRows[] = {
      {pellix::analysis::ResultCodeMeaning(Tarvo_alg1::kRefused)->description,
       "a check needs " + Whole(kCheckMinimum) + ")"},
      {pellix::analysis::kCalibrationRejected, "fewer than " + Whole(kCalibrateMinimum) + " "},
  };
  for (const auto& row : kRows)
    EXPECT_NE(row.words.find(row.says), std::string_view::npos) << row.words;
}

}  // namespace
