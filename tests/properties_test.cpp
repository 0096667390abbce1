// The property accessors: what a new instance reports, what each put stores and notifies,
// and the puts that fail.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "control/alg_v1s.h"
#include "error_of.h"
#include "platform/error.h"
#include "put_by_name.h"
#include "recording_site.h"

namespace pellix {
namespace {

using testing::ErrorOf;
using testing::PutByName;
using testing::RecordingSite;

class PropertiesTest : public ::testing::Test {
 protected:
  PropertiesTest() : control(&site) { control.InitProperties(); }
  RecordingSite site;
  ALG_V1S control;
};

TEST_F(PropertiesTest, NewInstanceReportsItsDefaults) {
  EXPECT_EQ(control.get_DATAstr(), "");
  EXPECT_EQ(control.get_DensityLevel(), 0);
  EXPECT_EQ(control.get_Person(), 0);
  EXPECT_EQ(control.get_CAL_SFLC(), 0);
  EXPECT_EQ(control.get_CR_SFLC(), Value::Integer(0));
  EXPECT_EQ(control.get_Volume(), "0");
  EXPECT_EQ(control.get_Mode(), "0");
  EXPECT_EQ(control.get_MSGstring(), "\"");
  EXPECT_EQ(control.get<"BGfilter">(), "2");
  for (const std::string& caption :
       {control.get<"BGbord">(), control.get<"LIEstress">(), control.get<"GLBstress">(),
        control.get<"EXCstress">(), control.get<"CR_msgX">(), control.get<"CAL_AVJ">(),
        control.get<"CR_avJ">(), control.get<"ADDvolume">(), control.get<"CAL_spT">(),
        control.get<"CAL_spJ">(), control.get<"CAL_JQ">(), control.get<"CR_SPJ">(),
        control.get<"CR_spT">(), control.get<"CR_JQ">()}) {
    EXPECT_EQ(caption, "0");
  }
  EXPECT_TRUE(site.notified.empty());
}

TEST(PropertiesBeforeInitTest, ConstructedInstanceHoldsLanguageDefaults) {
  ALG_V1S control;
  EXPECT_EQ(control.get_Mode(), "");
  EXPECT_EQ(control.get_Volume(), "");
  EXPECT_EQ(control.get_MSGstring(), "");
  EXPECT_TRUE(control.get_CR_SFLC().is_empty());
  EXPECT_EQ(control.get<"BGfilter">(), "2");  // captions start at their design values
  EXPECT_EQ(control.panel().SPT[5].caption(), "120");
}

TEST_F(PropertiesTest, EveryPutNotifiesUnderThePropertyName) {
  control.put_DATAstr("a");
  control.put_DensityLevel(3);
  control.put_Person(-4);
  control.put_CAL_SFLC(5);
  PutByName(control, {{"BGbord", "6"},
                      {"LIEstress", "7"},
                      {"GLBstress", "8"},
                      {"EXCstress", "9"},
                      {"CR_msgX", "10"},
                      {"Volume", "11"},
                      {"MSGstring", "12"},
                      {"Mode", "13"},
                      {"CAL_AVJ", "14"},
                      {"CR_avJ", "15"},
                      {"BGfilter", "16"},
                      {"ADDvolume", "17"},
                      {"CAL_spT", "18"},
                      {"CAL_spJ", "19"},
                      {"CAL_JQ", "20"},
                      {"CR_SPJ", "21"},
                      {"CR_spT", "22"},
                      {"CR_JQ", "23"}});
  const std::vector<std::string> expected = {
      "DATAstr",   "DensityLevel", "Person",   "CAL_SFLC",  "BGbord",    "LIEstress",
      "GLBstress", "EXCstress",    "CR_MSGX",  "Volume",    "MSGstring", "Mode",
      "CAL_AVJ",   "CR_avJ",       "BGfilter", "ADDvolume", "CAL_spT",   "CAL_spJ",
      "CAL_JQ",    "CR_SPJ",       "CR_spT",   "CR_JQ"};
  EXPECT_EQ(site.notified, expected);
}

TEST_F(PropertiesTest, CaptionPropertiesLandInTheirCells) {
  control.put<"BGbord">("b");
  control.put<"LIEstress">("l");
  control.put<"GLBstress">("g");
  control.put<"EXCstress">("e");
  control.put<"CR_msgX">("m");
  control.put<"CAL_AVJ">("ca");
  control.put<"CR_avJ">("ra");
  control.put<"ADDvolume">("ad");
  control.put<"CAL_spT">("ct");
  control.put<"CAL_spJ">("cj");
  control.put<"CAL_JQ">("cq");
  control.put<"CR_SPJ">("rj");
  control.put<"CR_spT">("rt");
  control.put<"CR_JQ">("rq");
  const Panel& p = control.panel();
  EXPECT_EQ(p.BG_LEVEL.caption(), "b");
  EXPECT_EQ(p.LBL_LIE.caption(), "l");
  EXPECT_EQ(p.LBL_GLB.caption(), "g");
  EXPECT_EQ(p.LBL_EXC.caption(), "e");
  EXPECT_EQ(p.LBL_MSG.caption(), "m");
  EXPECT_EQ(p.AVJ[7].caption(), "ca");
  EXPECT_EQ(p.AVJ[8].caption(), "ra");
  EXPECT_EQ(p.Filters[2].caption(), "ad");
  EXPECT_EQ(p.SPT[7].caption(), "ct");
  EXPECT_EQ(p.SPJ[7].caption(), "cj");
  EXPECT_EQ(p.JQ[7].caption(), "cq");
  EXPECT_EQ(p.SPJ[8].caption(), "rj");
  EXPECT_EQ(p.SPT[8].caption(), "rt");
  EXPECT_EQ(p.JQ[8].caption(), "rq");
}

TEST_F(PropertiesTest, BGfilterIsTheMinimumJumpCellNotTheBackgroundFilterCell) {
  control.put<"BGfilter">("7");
  EXPECT_EQ(control.panel().Filters[3].caption(), "7");
  EXPECT_EQ(control.panel().Filters[0].caption(), "0");
}

TEST_F(PropertiesTest, VolumeAndModeAreMembersNotCells) {
  control.put_Volume("9");
  control.put_Mode("4");
  EXPECT_EQ(control.panel().Filters[1].caption(), "0");
  EXPECT_EQ(control.panel().Filters[5].caption(), "0");
  EXPECT_EQ(control.get_Volume(), "9");
  EXPECT_EQ(control.get_Mode(), "4");
}

TEST_F(PropertiesTest, CaptionsTakeTextThatIsNotANumber) {
  control.put<"CAL_spT">("abc");
  EXPECT_EQ(control.get<"CAL_spT">(), "abc");
  control.put<"CR_msgX">(" 1,5 ");
  EXPECT_EQ(control.get<"CR_msgX">(), " 1,5 ");
  control.put<"LIEstress">("");
  EXPECT_EQ(control.get<"LIEstress">(), "");
}

TEST_F(PropertiesTest, DesignModeRefusesDataAndMessageStrings) {
  control.put_DATAstr("run");
  control.put_MSGstring("run");
  site.notified.clear();
  site.user_mode = false;
  EXPECT_EQ(ErrorOf([&] { control.put_DATAstr("design"); }), 382);
  EXPECT_EQ(ErrorOf([&] { control.put_MSGstring("design"); }), 382);
  EXPECT_EQ(control.get_DATAstr(), "run");  // gets still work in design mode
  EXPECT_EQ(control.get_MSGstring(), "run");
  EXPECT_TRUE(site.notified.empty());

  // The other properties do not ask the mode.
  control.put_Volume("5");
  control.put<"CAL_spT">("6");
  EXPECT_EQ(site.notified, (std::vector<std::string>{"Volume", "CAL_spT"}));
}

TEST_F(PropertiesTest, CrSflcRefusesEveryPut) {
  EXPECT_EQ(ErrorOf([&] { control.put_CR_SFLC(Value::Integer(5)); }), 393);
  site.user_mode = false;
  EXPECT_EQ(ErrorOf([&] { control.put_CR_SFLC(Value::String("x")); }), 382);
  EXPECT_EQ(control.get_CR_SFLC(), Value::Integer(0));
  EXPECT_TRUE(site.notified.empty());
}

TEST_F(PropertiesTest, RefusedCaptionPutFailsWithoutNotifying) {
  control.put<"CAL_spT">("1");
  site.notified.clear();
  control.panel().SPT[7].RefuseCaptionPuts(kPermissionDenied);
  EXPECT_EQ(ErrorOf([&] { control.put<"CAL_spT">("2"); }), kPermissionDenied);
  EXPECT_TRUE(site.notified.empty());
  control.panel().SPT[7].RefuseCaptionPuts(std::nullopt);
  EXPECT_EQ(control.get<"CAL_spT">(), "1");
}

TEST_F(PropertiesTest, RefusedCaptionGetFailsTheGet) {
  control.panel().LBL_MSG.RefuseCaptionGets(kInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { (void)control.get<"CR_msgX">(); }), kInvalidProcedureCall);
}

TEST(PropertiesWithoutSiteTest, RunModeAndNobodyListening) {
  ALG_V1S control;
  control.InitProperties();
  control.put_DATAstr("path");  // run mode: accepted
  EXPECT_EQ(control.get_DATAstr(), "path");
  EXPECT_EQ(ErrorOf([&] { control.put_CR_SFLC(Value()); }), 393);
}

TEST(PropertiesInstancesTest, TwoControlsKeepSeparatePanels) {
  ALG_V1S a;
  ALG_V1S b;
  a.put<"CAL_spT">("42");
  EXPECT_EQ(b.get<"CAL_spT">(), "0");
}

// The panel behind the caption-backed properties.

const PanelEntry* Find(std::string_view name) {
  for (const PanelEntry& entry : PanelLayout()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

TEST(PanelTest, ValueCellsInHostOrder) {
  std::vector<std::string> cells;
  for (const PanelEntry& entry : PanelLayout()) {
    if (entry.value_cell) cells.emplace_back(entry.name);
  }
  std::vector<std::string> expected;
  for (const char* column : {"SPT", "SPJ", "JQ", "AVJ"}) {
    for (int i = 0; i <= 8; ++i)
      expected.push_back(std::string(column) + "(" + std::to_string(i) + ")");
  }
  for (int i = 0; i <= 5; ++i) expected.push_back("Filters(" + std::to_string(i) + ")");
  for (const char* name : {"BG_LEVEL", "LBL_LIE", "LBL_GLB", "LBL_EXC", "LBL_MSG"}) {
    expected.emplace_back(name);
  }
  EXPECT_EQ(cells, expected);
  EXPECT_EQ(PanelLayout().size(), 47u + 21u);  // and 21 static captions
}

TEST(PanelTest, StaticCaptions) {
  const std::vector<std::pair<const char*, const char*>> expected = {
      {"Label2", "Stereo Algorithem V2.00"},
      {"Label1(0)", "Calibration det."},
      {"Label1(1)", "Break points"},
      {"Label1(2)", "Resolution"},
      {"Label1(3)", "SPT"},
      {"Label1(4)", "SPJ"},
      {"Label1(5)", "Filters"},
      {"Label1(6)", "BG filter"},
      {"Label1(7)", "Volume"},
      {"Label1(8)", "Added vol."},
      {"Label1(9)", "Min J."},
      {"Label1(10)", "CONSTANTS"},
      {"Label1(11)", "Max J."},
      {"Label1(12)", "JQ"},
      {"Label1(13)", "Results"},
      {"Label1(14)", "LIE STRESS"},
      {"Label1(15)", "GLB STRESS"},
      {"Label1(16)", "EXCITE"},
      {"Label1(17)", "MSG"},
      {"Label1(18)", "AVJ"},
      {"Llll(19)", "MODE"}};
  Panel panel;
  for (const auto& [name, caption] : expected) {
    const PanelEntry* entry = Find(name);
    ASSERT_NE(entry, nullptr) << name;
    EXPECT_FALSE(entry->value_cell);
    EXPECT_EQ(entry->design_caption, caption);
    EXPECT_EQ(entry->label(panel).caption(), caption);
  }
  for (std::size_t i = 0; i < panel.Label1.size(); ++i) {
    EXPECT_EQ(panel.Label1[i].caption(), Find("Label1(" + std::to_string(i) + ")")->design_caption);
  }
  EXPECT_EQ(panel.Llll19.caption(), "MODE");
}

TEST(PanelTest, PositionsInTwips) {
  auto at = [](std::string_view name) {
    const TwipsRect& r = Find(name)->position;
    return std::vector{r.left, r.top, r.width, r.height};
  };
  EXPECT_EQ(at("Label2"), (std::vector{3360, 2790, 1995, 375}));
  EXPECT_EQ(at("Llll(19)"), (std::vector{3270, 1440, 855, 285}));
  EXPECT_EQ(at("SPT(0)"), (std::vector{150, 690, 675, 255}));
  EXPECT_EQ(at("SPT(6)"), (std::vector{150, 3030, 675, 255}));
  EXPECT_EQ(at("SPT(7)"), (std::vector{165, 3660, 675, 255}));
  EXPECT_EQ(at("SPT(8)"), (std::vector{165, 4320, 675, 255}));
  EXPECT_EQ(at("SPJ(7)"), (std::vector{975, 3660, 675, 255}));
  EXPECT_EQ(at("SPJ(4)"), (std::vector{960, 1770, 675, 255}));
  EXPECT_EQ(at("JQ(8)"), (std::vector{1740, 4320, 675, 255}));
  EXPECT_EQ(at("AVJ(5)"), (std::vector{2520, 2400, 675, 255}));
  EXPECT_EQ(at("Filters(3)"), (std::vector{4830, 390, 615, 285}));
  EXPECT_EQ(at("Filters(5)"), (std::vector{4170, 1440, 1275, 285}));
  EXPECT_EQ(at("BG_LEVEL"), (std::vector{4410, 420, 375, 285}));
  EXPECT_EQ(at("LBL_MSG"), (std::vector{4350, 4290, 1095, 285}));
  Panel panel;
  EXPECT_EQ(panel.SPJ[8].position().left, 975);
  EXPECT_EQ(panel.LBL_EXC.position().top, 4290);
}

TEST(PanelTest, EveryEntryIsItsOwnLabelAndWithinTheSurface) {
  Panel panel;
  std::set<const Label*> seen;
  for (const PanelEntry& entry : PanelLayout()) {
    EXPECT_TRUE(seen.insert(&entry.label(panel)).second) << entry.name;
    const TwipsRect& r = entry.position;
    EXPECT_LE(r.left + r.width, kPanelWidthTwips) << entry.name;
    EXPECT_LE(r.top + r.height, kPanelHeightTwips) << entry.name;
  }
  EXPECT_EQ(seen.size(), 21u + 4 * 9 + 6 + 5);
}

TEST(PanelTest, DesignCaptionsOfTheValueCells) {
  Panel panel;
  for (std::size_t i = 0; i < kGridRows; ++i) {
    const char* expected = i == 5 ? "120" : "0";
    EXPECT_EQ(panel.SPT[i].caption(), expected);
    EXPECT_EQ(panel.SPJ[i].caption(), expected);
    EXPECT_EQ(panel.JQ[i].caption(), expected);
    EXPECT_EQ(panel.AVJ[i].caption(), "0");
  }
  EXPECT_EQ(panel.Filters[3].caption(), "2");
  EXPECT_EQ(panel.Filters[4].caption(), "30");
  for (std::size_t i : {0, 1, 2, 5}) EXPECT_EQ(panel.Filters[i].caption(), "0");
}

}  // namespace
}  // namespace pellix
