// Initalize: the packed parameter string, field by field, and the analysis constants.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "control/alg_v1s.h"
#include "engine/tarvo_alg1.h"
#include "platform/error.h"
#include "recording_site.h"

namespace pellix {
namespace {

using testing::RecordingSite;

class InitializeTest : public ::testing::Test {
 protected:
  InitializeTest() : control(&site) { control.InitProperties(); }

  void Initialize(const std::string& parameters) {
    control.put_DATAstr(parameters);
    site.notified.clear();
    EXPECT_TRUE(control.Initalize().is_empty());
  }

  const Panel& panel() const { return control.panel(); }

  RecordingSite site;
  ALG_V1S control;
};

// What Initalize leaves in its eight targets, in the order of the fields.
struct Targets {
  const char* min_jump;           // Filters(3), also the BGfilter property
  const char* max_jump;           // Filters(4)
  std::int16_t density;           // DensityLevel
  const char* mode;               // the Mode member
  const char* border;             // BG_LEVEL, also the BGbord property
  const char* background_filter;  // Filters(0)
  const char* volume;             // Filters(1)
  const char* added_volume;       // Filters(2), also the ADDvolume property
};

struct ParameterCase {
  const char* what;
  std::string before;  // a string initialised first, when not empty
  std::string parameters;
  Targets expected;
};

// Fields by position: 1-3 not read, 4-5 shortest jump, 6-7 longest jump, 8-9 density, 10 mode,
// 11-12 border, 13-14 background filter, 15-16 volume, 17-18 added volume, 19- not read.
const std::string kFull = "XYZ053012345060708";

const ParameterCase kParameterCases[] = {
    {"every field reaches its target",
     "",
     kFull + "REST",
     {"5", "30", 12, "3", "45", "6", "7", "8"}},
    {"the first three characters are not read",
     "",
     "9990530",
     {"5", "30", 0, "0", "0", "0", "0", "0"}},
    {"not even when they look like a number",
     "",
     "-7.0530",
     {"5", "30", 0, "0", "0", "0", "0", "0"}},
    // "7 ": a blank is skipped; ".5" rounds to the even 0; "A" is no number; "1e" reads 1;
    // "ab" and "&H" alone read 0.
    {"fields are read leniently and written as number text",
     "",
     "abc7  4.5A-31eab&H",
     {"7", "4", 0, "0", "-3", "1", "0", "0"}},
    {"fractions", "", "abc.59.159", {"0.5", "9", 15, "9", "0", "0", "0", "0"}},
    {"a negative density", "", "abc0000-2", {"0", "0", -2, "0", "0", "0", "0", "0"}},
    {"an empty string gives zero everywhere", kFull, "", {"0", "0", 0, "0", "0", "0", "0", "0"}},
    {"a field cut short is read as it stands, the missing ones as zero",
     "",
     "XYZ053",
     {"5", "3", 0, "0", "0", "0", "0", "0"}},
    {"positions count characters: three two-byte ones first",
     "",
     std::string("\xC3\x84\xC3\x96\xC3\x9C") + "053012" + "3",
     {"5", "30", 12, "3", "0", "0", "0", "0"}},
    // Fields 4-5 and 6-7 are "€5" and "😀7": no leading number.
    {"a three-byte and a four-byte character inside the fields",
     "",
     std::string("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC") + "5\xF0\x9F\x98\x80" + "744",
     {"0", "0", 44, "0", "0", "0", "0", "0"}},
    {"broken UTF-8 counts one character per bad byte",
     "",
     std::string("\xFF\xFE\xFD") + "0530",
     {"5", "30", 0, "0", "0", "0", "0", "0"}},
    {"each call parses the current string",
     "XYZ0530123",
     "XYZ0920014",
     {"9", "20", 1, "4", "0", "0", "0", "0"}},
};

TEST_F(InitializeTest, EachFieldReachesItsTargetWithoutNotification) {
  for (const ParameterCase& c : kParameterCases) {
    SCOPED_TRACE(c.what);
    if (!c.before.empty()) Initialize(c.before);
    Initialize(c.parameters);
    const Targets& e = c.expected;
    EXPECT_EQ(panel().Filters[3].caption(), e.min_jump);
    EXPECT_EQ(panel().Filters[4].caption(), e.max_jump);
    EXPECT_EQ(control.get_DensityLevel(), e.density);
    EXPECT_EQ(control.get_Mode(), e.mode);
    EXPECT_EQ(panel().BG_LEVEL.caption(), e.border);
    EXPECT_EQ(panel().Filters[0].caption(), e.background_filter);
    EXPECT_EQ(panel().Filters[1].caption(), e.volume);
    EXPECT_EQ(panel().Filters[2].caption(), e.added_volume);
    EXPECT_EQ(control.get<"BGfilter">(), e.min_jump);
    EXPECT_EQ(control.get<"BGbord">(), e.border);
    EXPECT_EQ(control.get<"ADDvolume">(), e.added_volume);
    EXPECT_TRUE(site.notified.empty());
  }
}

TEST_F(InitializeTest, ModeCellAndOtherMembersAreLeftAlone) {
  control.panel().Filters[5].set_caption("M");
  control.put_MSGstring("msg");
  control.put_Volume("vol");
  Initialize(kFull);
  EXPECT_EQ(panel().Filters[5].caption(), "M");
  EXPECT_EQ(control.get_Mode(), "3");
  EXPECT_EQ(control.get_DATAstr(), kFull);
  EXPECT_EQ(control.get_MSGstring(), "msg");
  EXPECT_EQ(control.get_Volume(), "vol");
  EXPECT_EQ(panel().SPT[5].caption(), "120");
  EXPECT_EQ(panel().LBL_MSG.caption(), "0");
}

TEST_F(InitializeTest, RefusedCaptionIsSkippedAndTheRestGoesOn) {
  control.panel().Filters[4].RefuseCaptionPuts(kPermissionDenied);
  control.panel().Filters[2].RefuseCaptionPuts(kInvalidProcedureCall);
  control.engine_state().AltBandLow = 0;
  Initialize("XYZ053112345060708");
  control.panel().Filters[4].RefuseCaptionPuts(std::nullopt);
  control.panel().Filters[2].RefuseCaptionPuts(std::nullopt);
  EXPECT_EQ(panel().Filters[3].caption(), "5");
  EXPECT_EQ(panel().Filters[4].caption(), "30");  // its design value
  EXPECT_EQ(control.get_DensityLevel(), 12);
  EXPECT_EQ(control.get_Mode(), "3");
  EXPECT_EQ(panel().BG_LEVEL.caption(), "45");
  EXPECT_EQ(panel().Filters[0].caption(), "6");
  EXPECT_EQ(panel().Filters[1].caption(), "7");
  EXPECT_EQ(panel().Filters[2].caption(), "0");
  EXPECT_EQ(control.engine_state().AltBandLow, 100);  // the last step still ran
}

TEST_F(InitializeTest, LoadsTheAnalysisConstants) {
  auto& shared = control.engine_state();
  shared.TruthFloor = shared.BandLow = shared.BandHigh = shared.AltBandLow = 0;
  shared.SarcasmLow = shared.SarcasmHigh = shared.ConfusionLimit = 0;
  shared.ManipulationLimit = shared.ScaleProfile = 0;
  Initialize("");
  EXPECT_EQ(shared.TruthFloor, 50);
  EXPECT_EQ(shared.BandLow, 120);
  EXPECT_EQ(shared.BandHigh, 160);
  EXPECT_EQ(shared.AltBandLow, 100);
  EXPECT_EQ(shared.SarcasmLow, 0.15);
  EXPECT_EQ(shared.SarcasmHigh, 0.45);
  EXPECT_EQ(shared.ConfusionLimit, 0.6);
  EXPECT_EQ(shared.ManipulationLimit, 0.9);
  EXPECT_EQ(shared.ScaleProfile, 1);
}

TEST_F(InitializeTest, EachCallParsesTheCurrentString) {
  Initialize(
      "XYZ"
      "05"
      "30"
      "12"
      "3");
  Initialize(
      "XYZ"
      "09"
      "20"
      "01"
      "4");
  EXPECT_EQ(panel().Filters[3].caption(), "9");
  EXPECT_EQ(panel().Filters[4].caption(), "20");
  EXPECT_EQ(control.get_DensityLevel(), 1);
  EXPECT_EQ(control.get_Mode(), "4");
}

}  // namespace
}  // namespace pellix
