// Initalize: the packed parameter string, field by field, and the analysis constants.
#include <gtest/gtest.h>

#include <string>

#include "engine/tarvo_alg1.h"
#include "platform/error.h"
#include "recording_site.h"
#include "shell/alg_v1s.h"

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

TEST_F(InitializeTest, EveryFieldReachesItsTarget) {
  //          1-3    4-5  6-7  8-9  10  11-12 13-14 15-16 17-18 19-
  Initialize(
      "XYZ"
      "05"
      "30"
      "12"
      "3"
      "45"
      "06"
      "07"
      "08"
      "REST");
  EXPECT_EQ(panel().Filters[3].caption(), "5");
  EXPECT_EQ(panel().Filters[4].caption(), "30");
  EXPECT_EQ(control.get_DensityLevel(), 12);
  EXPECT_EQ(control.get_Mode(), "3");
  EXPECT_EQ(panel().BG_LEVEL.caption(), "45");
  EXPECT_EQ(panel().Filters[0].caption(), "6");
  EXPECT_EQ(panel().Filters[1].caption(), "7");
  EXPECT_EQ(panel().Filters[2].caption(), "8");
  EXPECT_EQ(control.get_BGfilter(), "5");
  EXPECT_EQ(control.get_BGbord(), "45");
  EXPECT_EQ(control.get_ADDvolume(), "8");
}

TEST_F(InitializeTest, TheFirstThreeCharactersAreNotRead) {
  Initialize(
      "999"
      "05"
      "30");
  EXPECT_EQ(panel().Filters[3].caption(), "5");
  EXPECT_EQ(panel().Filters[4].caption(), "30");
  Initialize(
      "-7."
      "05"
      "30");
  EXPECT_EQ(panel().Filters[3].caption(), "5");
}

TEST_F(InitializeTest, FieldsAreReadLenientlyAndWrittenAsNumberText) {
  //          1-3    4-5  6-7  8-9  10  11-12 13-14 15-16 17-18
  Initialize(
      "abc"
      "7 "
      " 4"
      ".5"
      "A"
      "-3"
      "1e"
      "ab"
      "&H");
  EXPECT_EQ(panel().Filters[3].caption(), "7");  // blank skipped
  EXPECT_EQ(panel().Filters[4].caption(), "4");
  EXPECT_EQ(control.get_DensityLevel(), 0);  // 0.5 rounds to the even 0
  EXPECT_EQ(control.get_Mode(), "0");        // a letter is no number
  EXPECT_EQ(panel().BG_LEVEL.caption(), "-3");
  EXPECT_EQ(panel().Filters[0].caption(), "1");  // "1e" reads 1
  EXPECT_EQ(panel().Filters[1].caption(), "0");
  EXPECT_EQ(panel().Filters[2].caption(), "0");  // "&H" alone reads 0
}

TEST_F(InitializeTest, FractionsAndDensityRounding) {
  Initialize(
      "abc"
      ".5"
      "9."
      "15"
      "9");
  EXPECT_EQ(panel().Filters[3].caption(), "0.5");
  EXPECT_EQ(panel().Filters[4].caption(), "9");
  EXPECT_EQ(control.get_DensityLevel(), 15);
  EXPECT_EQ(control.get_Mode(), "9");
  Initialize(
      "abc"
      "00"
      "00"
      "-2");
  EXPECT_EQ(control.get_DensityLevel(), -2);
}

TEST_F(InitializeTest, EmptyStringGivesZeroEverywhere) {
  Initialize(
      "XYZ"
      "05"
      "30"
      "12"
      "3"
      "45"
      "06"
      "07"
      "08");
  Initialize("");
  for (std::size_t i = 0; i <= 4; ++i) {
    EXPECT_EQ(panel().Filters[i].caption(), "0") << "Filters(" << i << ")";
  }
  EXPECT_EQ(panel().BG_LEVEL.caption(), "0");
  EXPECT_EQ(control.get_DensityLevel(), 0);
  EXPECT_EQ(control.get_Mode(), "0");
}

TEST_F(InitializeTest, ShortStringLeavesTheMissingFieldsAtZero) {
  Initialize(
      "XYZ"
      "05"
      "3");
  EXPECT_EQ(panel().Filters[3].caption(), "5");
  EXPECT_EQ(panel().Filters[4].caption(), "3");  // a field cut short is read as it stands
  EXPECT_EQ(control.get_DensityLevel(), 0);
  EXPECT_EQ(control.get_Mode(), "0");
  EXPECT_EQ(panel().BG_LEVEL.caption(), "0");
  EXPECT_EQ(panel().Filters[2].caption(), "0");
}

TEST_F(InitializeTest, PositionsCountCharactersNotBytes) {
  // Three two-byte characters, then the fields.
  Initialize(
      "\xC3\x84\xC3\x96\xC3\x9C"
      "05"
      "30"
      "12"
      "3");
  EXPECT_EQ(panel().Filters[3].caption(), "5");
  EXPECT_EQ(panel().Filters[4].caption(), "30");
  EXPECT_EQ(control.get_DensityLevel(), 12);
  EXPECT_EQ(control.get_Mode(), "3");

  // A three-byte and a four-byte character inside the fields.
  Initialize(
      "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
      "\xE2\x82\xAC"
      "5"
      "\xF0\x9F\x98\x80"
      "7"
      "44");
  EXPECT_EQ(panel().Filters[3].caption(), "0");  // "€5": no leading number
  EXPECT_EQ(panel().Filters[4].caption(), "0");  // "😀7"
  EXPECT_EQ(control.get_DensityLevel(), 44);
}

TEST_F(InitializeTest, BrokenUtf8CountsOneCharacterPerBadByte) {
  Initialize(
      "\xFF\xFE\xFD"
      "05"
      "30");
  EXPECT_EQ(panel().Filters[3].caption(), "5");
  EXPECT_EQ(panel().Filters[4].caption(), "30");
}

TEST_F(InitializeTest, SendsNoNotification) {
  Initialize(
      "XYZ"
      "05"
      "30"
      "12"
      "3"
      "45"
      "06"
      "07"
      "08");
  EXPECT_TRUE(site.notified.empty());
}

TEST_F(InitializeTest, ModeCellAndOtherMembersAreLeftAlone) {
  control.panel().Filters[5].set_caption("M");
  control.put_MSGstring("msg");
  control.put_Volume("vol");
  const std::string parameters =
      "XYZ"
      "05"
      "30"
      "12"
      "3"
      "45"
      "06"
      "07"
      "08";
  Initialize(parameters);
  EXPECT_EQ(panel().Filters[5].caption(), "M");
  EXPECT_EQ(control.get_Mode(), "3");
  EXPECT_EQ(control.get_DATAstr(), parameters);
  EXPECT_EQ(control.get_MSGstring(), "msg");
  EXPECT_EQ(control.get_Volume(), "vol");
  EXPECT_EQ(panel().SPT[5].caption(), "120");
  EXPECT_EQ(panel().LBL_MSG.caption(), "0");
}

TEST_F(InitializeTest, RefusedCaptionIsSkippedAndTheRestGoesOn) {
  control.panel().Filters[4].RefuseCaptionPuts(kPermissionDenied);
  control.panel().Filters[2].RefuseCaptionPuts(kInvalidProcedureCall);
  Tarvo_alg1::Shared().AltBandLow = 0;
  Initialize(
      "XYZ"
      "05"
      "31"
      "12"
      "3"
      "45"
      "06"
      "07"
      "08");
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
  EXPECT_EQ(Tarvo_alg1::Shared().AltBandLow, 100);  // the last step still ran
}

TEST_F(InitializeTest, LoadsTheAnalysisConstants) {
  auto& shared = Tarvo_alg1::Shared();
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
