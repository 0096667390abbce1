// Labels that refuse caption puts, one label at a time, at every step of Initalize, the resets,
// Calibrate and Check.
//
// Each operation is written down below as the list of its caption puts in the order the rules
// give, with the text each put writes for the take and panel used here (worked out by hand).
// For every value cell of the panel in turn, that cell refuses puts and the operation runs;
// afterwards the whole control must be what the list says: in the steps that resume on error
// (all of Initalize, the last steps of Calibrate) the refused put is skipped and the rest runs;
// everywhere else the operation stops at the refused put with the toolkit's error, everything
// before it done and nothing after it. A cell the operation never writes changes nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis_fixture.h"
#include "control_snapshot.h"
#include "engine/tarvo_alg1.h"
#include "error_of.h"
#include "platform/error.h"
#include "take_builder.h"

namespace pellix::testing {
namespace {

// The error a refusing label raises (any toolkit error would do).
constexpr int kRefusal = kSetNotSupportedAtRuntime;

// One step of an operation: a caption put (with the notification the property setter sends
// after it), or another change of the control.
struct Step {
  std::string cell;  // empty for a step that puts no caption
  std::string text;
  std::string_view notify = {};
  bool resumes = false;  // a refused put is skipped and the operation goes on
  std::function<void(ControlSnapshot&)> other = nullptr;
};

// Calibrate and Check both begin alike: the message cell cleared, then the take's measures
// (thorn rate 60, jump rate 40, jump spread 3, mean jump length 4) into row 8; `rest` follows.
std::vector<Step> AfterTheTakesMeasures(std::vector<Step> rest) {
  std::vector<Step> steps = {
      {"LBL_MSG", "0"}, {"SPT(8)", "60"}, {"SPJ(8)", "40"}, {"JQ(8)", "3"}, {"AVJ(8)", "4"}};
  steps.insert(steps.end(), rest.begin(), rest.end());
  return steps;
}

struct Expected {
  ControlSnapshot state;
  std::vector<std::string> notified;
  int error = 0;
};

// What the steps leave when `refused` refuses every put.
Expected Apply(ControlSnapshot state, const std::vector<Step>& steps, std::string_view refused) {
  Expected e{std::move(state), {}, 0};
  for (const Step& step : steps) {
    if (!step.cell.empty() && step.cell == refused) {
      if (step.resumes) continue;
      e.error = kRefusal;
      break;
    }
    if (!step.cell.empty()) e.state.captions[CellIndex(step.cell)] = step.text;
    if (!step.notify.empty()) e.notified.emplace_back(step.notify);
    if (step.other) step.other(e.state);
  }
  return e;
}

std::vector<std::string_view> ValueCells() {
  std::vector<std::string_view> cells;
  for (const PanelEntry& entry : PanelLayout()) {
    if (entry.value_cell) cells.push_back(entry.name);
  }
  return cells;
}

Label& Cell(ALG_V1S& control, std::string_view name) {
  return PanelLayout()[CellIndex(name)].label(control.panel());
}

class RefusedPutTest : public ControlFixture, public ::testing::Test {
 protected:
  // Gives every value cell a caption of its own, so that a put that should not have happened
  // shows, and seeds the history.
  void DistinctCaptions() {
    int n = 0;
    for (std::string_view cell : ValueCells())
      Cell(control, cell).set_caption("c" + std::to_string(++n));
    auto& table = control.mutable_profile_table();
    for (std::size_t r = 0; r < 4; ++r) {
      for (std::size_t c = 0; c < kProfileColumns; ++c)
        table[r][c] = static_cast<std::int16_t>(10 * r + c + 1);
    }
    control.set_profile_count(3);
  }

  // Runs `operation` with `refused` refusing puts, on a fresh copy of the set-up, and compares
  // the whole control and the notifications with what the steps say.
  // `adjust` corrects what the steps cannot know: a later step that reads a refused cell.
  void ExpectEveryRefusal(
      const std::function<void()>& set_up, const std::function<void()>& operation,
      const std::vector<Step>& steps,
      const std::function<void(std::string_view, Expected&)>& adjust = nullptr) {
    std::vector<std::string_view> cells = ValueCells();
    cells.push_back("");  // no cell refuses
    for (std::string_view refused : cells) {
      SCOPED_TRACE(refused.empty() ? std::string("no refusal") : "refused " + std::string(refused));
      control.engine_state() = Tarvo_alg1::SharedState{};
      Tarvo_alg1::LoadAnalysisConstants(control.engine_state());
      control.InitProperties();
      set_up();
      Expected expected = Apply(Snapshot(control), steps, refused);
      if (adjust) adjust(refused, expected);
      if (!refused.empty()) Cell(control, refused).RefuseCaptionPuts(kRefusal);
      site.names.clear();
      EXPECT_EQ(ErrorOf(operation), expected.error);
      if (!refused.empty()) Cell(control, refused).RefuseCaptionPuts(std::nullopt);
      EXPECT_EQ(Snapshot(control), expected.state);
      EXPECT_EQ(site.names, expected.notified);
    }
  }
};

TEST_F(RefusedPutTest, InitalizeSkipsOnlyTheRefusedCell) {
  auto set_up = [&] {
    DistinctCaptions();
    control.put_DATAstr("abc0531 7122634445rest");
  };
  // Positions 4-5, 6-7, 11-12, 13-14, 15-16, 17-18 go to captions; 8-9 and 10 to members.
  std::vector<Step> steps = {
      {"Filters(3)", "5", {}, true},
      {"Filters(4)", "31", {}, true},
      {"", "", {}, true, [](ControlSnapshot& s) { s.DensityLevel = 7; }},
      {"", "", {}, true, [](ControlSnapshot& s) { s.Mode = "1"; }},
      {"BG_LEVEL", "22", {}, true},
      {"Filters(0)", "63", {}, true},
      {"Filters(1)", "44", {}, true},
      {"Filters(2)", "45", {}, true},
  };
  ExpectEveryRefusal(
      set_up,
      [&] {
        control.engine_state().AltBandLow = 0;
        control.Initalize();
        // The constants load whatever the captions did.
        EXPECT_EQ(control.engine_state().AltBandLow, 100);
      },
      steps);
}

// The history cleared as both resets clear it: rows 1 to 1000, columns 1 to 5.
void ClearHistory(ControlSnapshot& s) {
  for (std::size_t r = 1; r < kProfileRows; ++r) {
    for (std::size_t c = 1; c <= 5; ++c) s.ProfileTable[r * kProfileColumns + c] = 0;
  }
}

std::vector<Step> ClearGrid() {
  std::vector<Step> steps;
  for (int i = 0; i <= 8; ++i) {
    for (const char* column : {"SPT", "SPJ", "JQ"}) {
      steps.push_back({std::string(column) + "(" + std::to_string(i) + ")", "0"});
    }
  }
  return steps;
}

std::vector<Step> BreakPoints(const char* text) {
  return {{"SPT(5)", text}, {"SPJ(5)", text}, {"JQ(5)", text}};
}

TEST_F(RefusedPutTest, ResetCalStopsAtTheRefusedCell) {
  std::vector<Step> steps = ClearGrid();
  steps.push_back({"", "", {}, false, ClearHistory});
  steps.push_back({"", "", {}, false, [](ControlSnapshot& s) { s.ProfileCount = 0; }});
  for (Step& step : BreakPoints("110")) steps.push_back(step);
  ExpectEveryRefusal([&] { DistinctCaptions(); }, [&] { control.ResetCal(); }, steps);
}

TEST_F(RefusedPutTest, ResetAllStopsAtTheRefusedCell) {
  std::vector<Step> steps = ClearGrid();
  for (Step& step : BreakPoints("120")) steps.push_back(step);
  steps.push_back({"", "", {}, false, ClearHistory});
  steps.push_back({"", "", {}, false, [](ControlSnapshot& s) { s.ProfileCount = 0; }});
  ExpectEveryRefusal([&] { DistinctCaptions(); }, [&] { control.ResetAll(); }, steps);
}

// Three flics of 6 thorns and jumps of lengths 3, 3, 5 and 5, then an empty flic: thorn rate
// 6 / 300 x 3000 = 60, jump rate 40, mean jump length 4, spread sqrt(6 x 1 + 6 x 1) = sqrt(12).
std::vector<std::uint8_t> KnownTake() {
  TakeBuilder take;
  for (int f = 0; f < 3; ++f) take.Flic(6, {3, 3, 5, 5});
  take.EmptyFlic();
  return take.File();
}

// Two recorded calibration rows and the constants row; the rest of the grid keeps captions of
// its own.
void CalibrationGrid(ALG_V1S& control) {
  const char* rows[][4] = {{"50", "40", "2", "5"}, {"100", "50", "4", "3"}};
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 4; ++c) {
      const char* column[] = {"SPT", "SPJ", "JQ", "AVJ"};
      Cell(control, std::string(column[c]) + "(" + std::to_string(r) + ")").set_caption(rows[r][c]);
    }
  }
  for (int r = 2; r <= 4; ++r) {
    for (const char* column : {"SPT", "SPJ", "JQ", "AVJ"}) {
      Cell(control, std::string(column) + "(" + std::to_string(r) + ")").set_caption("0");
    }
  }
  control.panel().SPT[7].set_caption("50");
  control.panel().SPJ[7].set_caption("20");
  control.panel().JQ[7].set_caption("1");
  control.panel().AVJ[7].set_caption("6");
}

TEST_F(RefusedPutTest, CalibrateStopsBeforeItsLastStepsAndSkipsWithinThem) {
  auto set_up = [&] {
    DistinctCaptions();
    UseTakeSettings();
    CalibrationGrid(control);
    UseFile("take.smp", KnownTake());
  };
  // Rows 0, 1 and the current (60 40 3 4) give k = 2: sums 210 130 9 12 over three, minimums
  // 50 40 2 and maximums 100 50 4 of the recorded rows.
  const std::vector<Step> steps = AfterTheTakesMeasures({
      {"SPT(2)", "60"},
      {"SPJ(2)", "40"},
      {"JQ(2)", "3"},
      {"AVJ(2)", "4"},
      {"SPT(6)", "2", {}, true},     // 100 / 50
      {"SPJ(6)", "1.25", {}, true},  // 50 / 40
      {"JQ(6)", "2", {}, true},      // 4 / 2
      {"SPT(7)", "70", "CAL_spT", true},
      {"SPJ(7)", "43.3333333333333", "CAL_spJ", true},
      {"JQ(7)", "3", "CAL_JQ", true},
      {"AVJ(7)", "4", "CAL_AVJ", true},
      {"SPT(7)", "70", {}, true},
      {"SPJ(7)", "43", {}, true},
      {"JQ(7)", "3", {}, true},
      {"AVJ(7)", "4", {}, true},
      {"SPT(5)", "142", {}, true},  // 100 / 70
      {"SPJ(5)", "116", {}, true},  // 50 / 43
      {"JQ(5)", "133", {}, true},   // 4 / 3
  });
  // When a constants cell refuses, its constant stays what it was (50, 20, 1), and the break
  // point is measured against that: 100 / 50, 50 / 20, 4 / 1.
  auto adjust = [](std::string_view refused, Expected& e) {
    const struct {
      std::string_view refused, break_point, text;
    } kept[] = {
        {"SPT(7)", "SPT(5)", "200"}, {"SPJ(7)", "SPJ(5)", "250"}, {"JQ(7)", "JQ(5)", "400"}};
    for (const auto& k : kept) {
      if (refused == k.refused) e.state.captions[CellIndex(k.break_point)] = std::string(k.text);
    }
  };
  ExpectEveryRefusal(
      set_up, [&] { control.Calibrate(); }, steps, adjust);
}

TEST_F(RefusedPutTest, CheckStopsAtTheRefusedCell) {
  auto set_up = [&] {
    DistinctCaptions();
    UseTakeSettings();
    // Constants equal to the take's measures times 1.1 (66, 44) and its mean jump length (4):
    // both deviations 0, so the verdict stops at its first test and the code is 0.
    control.panel().SPT[5].set_caption("120");
    control.panel().SPJ[5].set_caption("120");
    control.panel().SPT[6].set_caption("2");
    control.panel().SPJ[6].set_caption("2");
    control.panel().SPT[7].set_caption("66");
    control.panel().SPJ[7].set_caption("44");
    control.panel().JQ[7].set_caption("3");
    control.panel().AVJ[7].set_caption("4");
    UseFile("take.smp", KnownTake());
  };
  // Global stress Int(sqrt(12) / 3 x 100) = 115; lie stress 100; excitement 100; both
  // resolutions 2 - 0.1. Drift: (66 x 5 + 60) \ 6 = 65, (44 x 5 + 40) \ 6 = 43,
  // (3 x 5 + 3.46...) rounds to 18, \ 6 = 3.
  const std::vector<Step> steps = AfterTheTakesMeasures({
      {"SPT(8)", "60"},
      {"SPJ(8)", "40"},
      {"AVJ(8)", "4"},
      {"JQ(8)", "3.46410161513775"},
      {"SPT(6)", "1.9"},
      {"SPJ(6)", "1.9"},
      {"LBL_LIE", "100"},
      {"LBL_GLB", "115"},
      {"LBL_EXC", "100"},
      {"LBL_MSG", "0"},
      {"",
       "",
       {},
       false,
       [](ControlSnapshot& s) {
         const std::int16_t row[] = {100, 115, 100, 0, 4};
         for (std::size_t c = 1; c <= 5; ++c) s.ProfileTable[3 * kProfileColumns + c] = row[c - 1];
         s.ProfileCount = 4;
       }},
      {"SPT(7)", "65", "CAL_spT"},
      {"SPJ(7)", "43", "CAL_spJ"},
      {"JQ(7)", "3", "CAL_JQ"},
      {"SPT(7)", "65"},
      {"SPJ(7)", "43"},
      {"JQ(7)", "3"},
  });
  ExpectEveryRefusal(
      set_up, [&] { control.Check(); }, steps);
}

}  // namespace
}  // namespace pellix::testing
