// pellix params: what Initalize makes of a parameter string, read back from a control, and the
// warnings about strings with which every take is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/parameter_string.h"
#include "analysis/session.h"
#include "analysis_fixture.h"

namespace pellix::analysis {
namespace {

std::vector<std::string> Values(const ParameterReading& reading) {
  std::vector<std::string> values;
  for (const FieldReading& f : reading.fields) values.push_back(f.value);
  return values;
}

TEST(ParameterString, EachFieldAsInitalizeStoresIt) {
  // Order: shortest jump, longest jump, density, mode, border, filter, volume, added volume.
  const struct {
    std::string parameters;
    std::string head;
    std::vector<std::string> values;
    std::string tail;
  } cases[] = {
      {"000023000005000000", "000", {"2", "30", "0", "0", "5", "0", "0", "0"}, ""},
      {"xyz053007120090304extra", "xyz", {"5", "30", "7", "1", "20", "9", "3", "4"}, "extra"},
      {"abc", "abc", {"0", "0", "0", "0", "0", "0", "0", "0"}, ""},
      {"", "", {"0", "0", "0", "0", "0", "0", "0", "0"}, ""},
      {"0007 9", "000", {"7", "9", "0", "0", "0", "0", "0", "0"}, ""},  // "7 " is 7
  };
  for (const auto& c : cases) {
    const ParameterReading reading = ReadParameters(c.parameters);
    EXPECT_EQ(reading.head, c.head) << c.parameters;
    EXPECT_EQ(Values(reading), c.values) << c.parameters;
    EXPECT_EQ(reading.tail, c.tail) << c.parameters;
  }
  EXPECT_EQ(ReadParameters("xyz053007120090304extra").fields[4].text, "20");
}

// A parameter string with the given shortest and longest jump, border and volume fields.
std::string Params(const char* min, const char* max, const char* border, const char* volume) {
  return std::string("000") + min + max + "000" + border + "00" + volume + "00";
}

TEST(ParameterString, WarnsWhereEveryTakeIsRefused) {
  // What each string's warnings must say; nothing for the usable ones. Automatic gain (volume
  // 0) lets a level reach 128; a given gain g, Int(127 g / 3).
  const struct {
    std::string parameters;
    std::vector<std::string> warnings;
  } cases[] = {
      {Params("02", "30", "05", "00"), {}},
      {kDefaultParams, {}},  // the commands do not read it back at all
      {Params("02", "11", "05", "00"), {}},
      {Params("02", "99", "05", "00"), {}},
      {Params("30", "02", "05", "00"), {"shortest jump (30) is longer than the longest (2)"}},
      {Params("00", "01", "05", "00"), {"longest jump is 1", "shortest jump is 0"}},
      {Params("00", "12", "05", "00"), {"shortest jump is 0"}},
      {Params("12", "30", "05", "00"), {"shortest jump is 12"}},
      {"abc", {"longest jump is 0", "shortest jump is 0"}},
      {Params("02", "30", "99", "00"), {}},
      {Params("02", "30", "-5", "00"), {"background border is -5"}},
      {Params("02", "30", "42", "01"), {"background border is 42"}},
      {Params("02", "30", "41", "01"), {}},
      {Params("02", "30", "05", "-3"), {"volume is -3"}},
  };
  for (const auto& c : cases) {
    const ParameterReading reading = ReadParameters(c.parameters);
    std::string all;
    for (const std::string& w : reading.warnings) all += w + "\n";
    for (const std::string& expected : c.warnings)
      EXPECT_NE(all.find(expected), std::string::npos) << c.parameters << ": " << all;
    EXPECT_EQ(reading.warnings.size(), c.warnings.size()) << c.parameters << ": " << all;
  }
}

}  // namespace
}  // namespace pellix::analysis
