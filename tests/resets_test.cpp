// ResetCal and ResetAll: what they clear, what they keep, and the order of their steps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "control/alg_v1s.h"
#include "platform/error.h"
#include "recording_site.h"
#include "tests/support/memory_file_system.h"

namespace pellix {
namespace {

using testing::RecordingSite;

// A take that Check analyses to the end: the 49 header bytes, then a loud wave with short
// flat stretches, never a 0 byte.
std::vector<std::uint8_t> SpokenTake() {
  std::vector<std::uint8_t> bytes(49, 'H');
  for (int i = 0; i < 6000; ++i) {
    int phase = i % 40;
    double wave = 90 * std::sin(2 * 3.141592653589793 * i / 37.0);
    if (phase >= 10 && phase < 15) wave = 20;  // a jump: five equal samples
    bytes.push_back(static_cast<std::uint8_t>(128 + std::lround(wave) + (i % 7 == 0 ? 9 : 0)));
  }
  return bytes;
}

class ResetsTest : public ::testing::Test {
 protected:
  ResetsTest() : control(&site, files) {
    control.InitProperties();
    files.Add("take", SpokenTake());
  }

  void FillGrid(const std::string& text) {
    for (std::size_t i = 0; i < kGridRows; ++i) {
      control.panel().SPT[i].set_caption(text);
      control.panel().SPJ[i].set_caption(text);
      control.panel().JQ[i].set_caption(text);
      control.panel().AVJ[i].set_caption(text);
    }
  }

  // Records `count` rows in the history through Check.
  void RecordChecks(int count) {
    control.put_DATAstr(
        "xxx"
        "02"
        "30"
        "00"
        "0"
        "00"
        "00"
        "00"
        "00");
    control.Initalize();
    control.put<"CAL_spT">("30");
    control.put<"CAL_spJ">("30");
    control.put<"CAL_JQ">("5");
    control.put<"CAL_AVJ">("4");
    for (int i = 0; i < count; ++i) {
      control.put_DATAstr("take");
      control.Check();
    }
    site.notified.clear();
  }

  RecordingSite site;
  MemoryFileSystem files;
  ALG_V1S control;
};

void ExpectGridAfterReset(const Panel& p, const char* break_points) {
  for (std::size_t i = 0; i < kGridRows; ++i) {
    const char* expected = i == kBreakPointsRow ? break_points : "0";
    EXPECT_EQ(p.SPT[i].caption(), expected) << "SPT(" << i << ")";
    EXPECT_EQ(p.SPJ[i].caption(), expected) << "SPJ(" << i << ")";
    EXPECT_EQ(p.JQ[i].caption(), expected) << "JQ(" << i << ")";
  }
}

TEST_F(ResetsTest, ResetCalClearsTheGridWithBreakPoints110) {
  FillGrid("77");
  EXPECT_TRUE(control.ResetCal().is_empty());
  ExpectGridAfterReset(control.panel(), "110");
  EXPECT_EQ(control.get<"CAL_spT">(), "0");
  EXPECT_EQ(control.get<"CR_JQ">(), "0");
}

TEST_F(ResetsTest, ResetAllClearsTheGridWithBreakPoints120) {
  FillGrid("77");
  EXPECT_TRUE(control.ResetAll().is_empty());
  ExpectGridAfterReset(control.panel(), "120");
}

TEST_F(ResetsTest, AvjColumnAndEverythingElseSurvive) {
  FillGrid("77");
  control.put<"CAL_AVJ">("4.5");
  control.put<"CR_avJ">("6");
  control.put<"BGbord">("12");
  control.put<"LIEstress">("140");
  control.put<"CR_msgX">("3");
  control.put<"BGfilter">("4");
  control.put_DATAstr("path");
  control.put_Volume("9");
  control.ResetCal();
  control.ResetAll();
  EXPECT_EQ(control.get<"CAL_AVJ">(), "4.5");
  EXPECT_EQ(control.get<"CR_avJ">(), "6");
  EXPECT_EQ(control.panel().AVJ[3].caption(), "77");
  EXPECT_EQ(control.get<"BGbord">(), "12");
  EXPECT_EQ(control.get<"LIEstress">(), "140");
  EXPECT_EQ(control.get<"CR_msgX">(), "3");
  EXPECT_EQ(control.get<"BGfilter">(), "4");
  EXPECT_EQ(control.get_DATAstr(), "path");
  EXPECT_EQ(control.get_Volume(), "9");
}

TEST_F(ResetsTest, ResetsNotifyNobody) {
  FillGrid("5");
  site.notified.clear();
  control.ResetCal();
  control.ResetAll();
  EXPECT_TRUE(site.notified.empty());
}

TEST_F(ResetsTest, HistoryRowsFromOneAreClearedAndRowZeroStays) {
  RecordChecks(2);
  ASSERT_EQ(control.profile_count(), 2);
  const auto row0 = control.profile_table()[0];
  ASSERT_NE(control.profile_table()[1][1], 0) << "the check recorded no lie stress";

  control.ResetCal();
  EXPECT_EQ(control.profile_count(), 0);
  for (std::size_t column = 1; column <= 5; ++column) {
    EXPECT_EQ(control.profile_table()[1][column], 0);
  }
  EXPECT_EQ(control.profile_table()[0], row0);
}

TEST_F(ResetsTest, ProfilerFindsNoRowsAfterEitherReset) {
  for (auto reset : {&pellix::ALG_V1S::ResetCal, &pellix::ALG_V1S::ResetAll}) {
    RecordChecks(10);
    control.profiler();
    ASSERT_NE(control.get_DATAstr(), "0");
    (control.*reset)();
    control.profiler();
    EXPECT_EQ(control.get_DATAstr(), "0");
  }
}

TEST_F(ResetsTest, RefusedCaptionEndsTheResetWithEarlierStepsDone) {
  RecordChecks(2);
  FillGrid("9");
  control.panel().SPT[5].RefuseCaptionPuts(kPermissionDenied);
  try {
    control.ResetCal();
    FAIL() << "the refused caption put did not reach the caller";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), kPermissionDenied);
  }
  const Panel& p = control.panel();
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(p.JQ[i].caption(), "0");
  EXPECT_EQ(p.SPT[5].caption(), "9");
  EXPECT_EQ(p.SPJ[5].caption(), "9");  // the row is set column by column, SPT first
  EXPECT_EQ(p.SPT[6].caption(), "9");
  EXPECT_EQ(control.profile_count(), 2);  // the history comes after the grid
}

}  // namespace
}  // namespace pellix
