// The whole analysis as an automation host drives it, through the real `pellix script` binary
// and the bundled example recordings: parameters and Initalize, three calibrations, twelve
// checks, the profile. The recordings are real speech, so the exact figures are not known in
// advance; what is checked is everything the rules guarantee whatever the voice: the outcome
// codes, the ranges of the stress levels, which notifications arrive and in what order, how the
// calibration constants follow the recorded rows and the checks, what each verdict implies about
// the published levels, and the shape of the profile and its agreement with the verdicts.
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/program_run.h"

namespace {

using json = nlohmann::json;
using Names = std::vector<std::string>;

// The packed parameters: shortest jump 2, longest 30, background border 5, automatic gain.
constexpr const char* kParameters = "000023000005000000";

const Names kCalibrationNotices = {"CAL_spT", "CAL_spJ", "CAL_JQ", "CAL_AVJ"};
const Names kCheckNotices = {"CAL_spT", "CAL_spJ", "CAL_JQ"};

// The four columns of the grid, as the properties of its "CONSTANTS" and "Results" rows.
constexpr std::size_t kColumns = 4;
const std::vector<std::string> kConstants = {"CAL_spT", "CAL_spJ", "CAL_JQ", "CAL_AVJ"};
const std::vector<std::string> kResults = {"CR_spT", "CR_SPJ", "CR_JQ", "CR_avJ"};
enum Column : std::size_t { kSpT = 0, kSpJ = 1, kJQ = 2, kAvJ = 3 };

// A script under construction; every statement is one line, so its number is known.
class Script {
 public:
  int Add(const std::string& statement) {
    text_ += statement + "\n";
    return ++lines_;
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  int lines_ = 0;
};

// What one statement printed: its own line, preceded by the notifications it caused.
struct Printed {
  std::string op;
  std::string name;
  bool ok = false;
  json value;
  Names notified;
};

struct ScriptRun {
  int status = -1;
  std::string err;
  std::map<int, Printed> statements;  // by script line
};

// Runs `script` through `pellix script FILE` in `dir` and groups its JSON lines by statement.
// Structural faults (a line that is not JSON, a notification not followed by its statement's
// line, a statement printed twice) fail the test here.
ScriptRun RunScript(const std::filesystem::path& dir, const std::string& script) {
  std::ofstream(dir / "run.pellix", std::ios::binary) << script;
  const pellix::testing::ProgramRun ran = pellix::testing::RunLine(dir, "pellix script run.pellix");
  ScriptRun run;
  run.status = ran.status;
  run.err = ran.err;

  std::istringstream out(ran.out);
  std::string text;
  Names pending;
  int pending_line = 0;
  int last_line = 0;
  while (std::getline(out, text)) {
    const json line = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!line.is_object() || !line.contains("line") || !line.contains("op")) {
      ADD_FAILURE() << "not a statement or notification line: " << text;
      continue;
    }
    const int number = line["line"].get<int>();
    EXPECT_GE(number, last_line) << "lines out of order at " << text;
    last_line = number;
    if (line["op"] == "notify") {
      if (!pending.empty()) {
        EXPECT_EQ(number, pending_line) << text;
      }
      pending.push_back(line["name"].get<std::string>());
      pending_line = number;
      continue;
    }
    if (!pending.empty()) {
      EXPECT_EQ(number, pending_line) << "notification of another line";
    }
    Printed printed;
    printed.op = line["op"].get<std::string>();
    printed.name = line.value("name", "");
    printed.ok = line.value("ok", false);
    printed.value = line.value("value", json());
    printed.notified = std::move(pending);
    pending.clear();
    EXPECT_TRUE(run.statements.emplace(number, std::move(printed)).second)
        << "line " << number << " printed twice";
  }
  EXPECT_TRUE(pending.empty()) << "notifications after the last statement";
  return run;
}

bool IsWholeNumber(const std::string& text) {
  return std::regex_match(text, std::regex("-?[0-9]+"));
}

double Number(const std::string& text) {
  return std::stod(text);
}

// a \ b as the drift computes it: the dividend rounded half to even, the quotient truncated.
double DriftTowards(double old_value, double measure) {
  const double dividend = std::nearbyint(old_value * 5 + measure);
  return std::trunc(dividend / 6);
}

// Int(x / n * 100) with at least two digits.
std::string Percent(int count, int n) {
  const long value = std::lround(std::floor(static_cast<double>(count) / n * 100));
  return value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

// The lines of the statements about one sample file.
struct CalibrationLines {
  int set = 0;
  int call = 0;
  int msg = 0;
  std::array<int, kColumns> result{};
  std::array<int, kColumns> constant{};
};
struct CheckLines {
  int set = 0;
  int call = 0;
  int msg = 0;
  int lie = 0;
  int glb = 0;
  int exc = 0;
  std::array<int, kColumns> result{};
  std::array<int, kColumns> constant{};
};

// Adds the lines that read a take's result cells and the calibration constants, column by
// column, and notes where they stand.
template <typename Lines>
void AddColumnReads(Script& script, Lines& lines) {
  for (std::size_t col = 0; col < kColumns; ++col) {
    lines.result[col] = script.Add("get " + kResults[col]);
    lines.constant[col] = script.Add("get " + kConstants[col]);
  }
}

class AnalysisEndToEnd : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellix-e2e-XXXXXX");
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static std::string SampleFile(const std::string& name) {
    const auto path = std::filesystem::path(PELLIX_SOURCE_DIR) / "examples" / "samples" / name;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    return path.string();
  }

  // The text a get printed; fails when the get did not succeed or printed no text.
  std::string Text(int line) {
    const Printed& p = run_.statements.at(line);
    EXPECT_TRUE(p.value.is_string()) << "line " << line;
    return p.value.is_string() ? p.value.get<std::string>() : std::string();
  }
  std::array<std::string, kColumns> Texts(const std::array<int, kColumns>& lines) {
    return {Text(lines[0]), Text(lines[1]), Text(lines[2]), Text(lines[3])};
  }
  const Names& Notified(int line) { return run_.statements.at(line).notified; }

  // The lines of the whole script: the parameters, three calibrations, twelve checks and the
  // profile of one speaker's example takes.
  struct SpeakerLines {
    int parameters = 0;
    int initalize = 0;
    std::vector<CalibrationLines> calibrations;
    std::vector<CheckLines> checks;
    int profiler = 0;
    int profile = 0;
  };
  static SpeakerLines WriteScript(const std::string& speaker, Script& script);

  // What a host last read of the constants, the Results row and the stress levels; a new
  // instance's read "0".
  struct Seen {
    std::array<std::string, kColumns> constants = {"0", "0", "0", "0"};
    std::array<std::string, kColumns> results = {"0", "0", "0", "0"};
    std::array<std::string, 3> levels = {"0", "0", "0"};  // LIE, GLB, EXC
  };

  void ExpectEveryStatementRan(const SpeakerLines& lines);
  void ExpectCalibrations(const std::vector<CalibrationLines>& calibrations, Seen& seen);
  // Adds the code of a check that wrote a history row to `codes`.
  void ExpectCheck(const CheckLines& c, Seen& seen, std::vector<int>& codes);
  void ExpectProfile(int line, const std::vector<int>& codes);

  std::filesystem::path dir_;
  ScriptRun run_;
};

AnalysisEndToEnd::SpeakerLines AnalysisEndToEnd::WriteScript(const std::string& speaker,
                                                             Script& script) {
  SpeakerLines lines;
  lines.parameters = script.Add(std::string("set DATAstr \"") + kParameters + "\"");
  lines.initalize = script.Add("call Initalize");
  for (int i = 1; i <= 3; ++i) {
    CalibrationLines c;
    const std::string file = SampleFile(speaker + "_calibrate_" + std::to_string(i) + ".smp");
    c.set = script.Add("set DATAstr \"" + file + "\"");
    c.call = script.Add("call Calibrate");
    c.msg = script.Add("get CR_msgX");
    AddColumnReads(script, c);
    lines.calibrations.push_back(c);
  }
  for (int i = 1; i <= 12; ++i) {
    CheckLines c;
    const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
    c.set = script.Add("set DATAstr \"" + SampleFile(speaker + "_check_" + number + ".smp") + "\"");
    c.call = script.Add("call Check");
    c.msg = script.Add("get CR_msgX");
    c.lie = script.Add("get LIEstress");
    c.glb = script.Add("get GLBstress");
    c.exc = script.Add("get EXCstress");
    AddColumnReads(script, c);
    lines.checks.push_back(c);
  }
  lines.profiler = script.Add("call profiler");
  lines.profile = script.Add("get DATAstr");
  return lines;
}

// Every statement printed its line and succeeded; only the puts and the three analysis methods
// notify, each as checked where its results are.
void AnalysisEndToEnd::ExpectEveryStatementRan(const SpeakerLines& lines) {
  ASSERT_EQ(run_.statements.size(), static_cast<std::size_t>(lines.profile));
  for (const auto& [line, printed] : run_.statements) {
    EXPECT_TRUE(printed.ok) << "line " << line << " " << printed.op << " " << printed.name;
    if (printed.op == "get") {
      EXPECT_EQ(printed.notified, Names{}) << "line " << line;
    } else if (printed.op == "set") {
      EXPECT_EQ(printed.notified, Names{"DATAstr"}) << "line " << line;
    }
  }
  EXPECT_EQ(Notified(lines.parameters), Names{"DATAstr"});
  EXPECT_EQ(Notified(lines.initalize), Names{});
  EXPECT_EQ(Notified(lines.profiler), Names{});
}

// An accepted calibration records its whole-number results as the next row, and each constant
// is then the whole part of the mean of all recorded rows; a refused one changes no constant.
void AnalysisEndToEnd::ExpectCalibrations(const std::vector<CalibrationLines>& calibrations,
                                          Seen& seen) {
  std::array<double, kColumns> recorded_sum{};
  int recorded = 0;
  for (const CalibrationLines& c : calibrations) {
    SCOPED_TRACE("calibration at line " + std::to_string(c.call));
    const std::string msg = Text(c.msg);
    const auto now_results = Texts(c.result);
    const auto now_constants = Texts(c.constant);
    for (const std::string& text : now_constants) EXPECT_TRUE(IsWholeNumber(text)) << text;
    for (const std::string& text : now_results) EXPECT_TRUE(IsWholeNumber(text)) << text;
    if (msg == "0") {
      EXPECT_EQ(Notified(c.call), kCalibrationNotices);
      ++recorded;
      for (std::size_t col = 0; col < kColumns; ++col) {
        // A zero in any column would have refused the take.
        EXPECT_GE(Number(now_results[col]), 1) << kResults[col];
        recorded_sum[col] += Number(now_results[col]);
        EXPECT_EQ(Number(now_constants[col]), std::floor(recorded_sum[col] / recorded))
            << kConstants[col];
      }
    } else {
      EXPECT_EQ(msg, "-1");
      EXPECT_EQ(Notified(c.call), Names{});
      EXPECT_EQ(now_constants, seen.constants);
      // Refused for too few samples (results untouched) or for a zero result (shown).
      const bool has_zero =
          std::find(now_results.begin(), now_results.end(), "0") != now_results.end();
      EXPECT_TRUE(has_zero || now_results == seen.results);
    }
    seen.constants = now_constants;
    seen.results = now_results;
  }
  EXPECT_GE(recorded, 1) << "no example calibration was accepted";
}

// What each verdict says about the levels it was decided on (truth floor 50, band 120 to 160).
// A lie stress far below the floor is mirrored to 200 - x with x below 40.
void ExpectVerdictFitsLevels(int code, double lie, double exc) {
  switch (code) {
    case 8:  // inside the band, or mirrored
      EXPECT_GE(lie, 120);
      EXPECT_LE(lie, 170);
      break;
    case 7:  // above the band, or the sarcasm-or-lie reading below it
      EXPECT_TRUE(lie > 160 || (lie >= 50 && lie < 120)) << lie;
      break;
    case 2:  // just below the floor, or sarcasm below the band
      EXPECT_GE(lie, 40);
      EXPECT_LT(lie, 120);
      break;
    case 1:  // no flag beyond "no stress": excitement not above the band's low edge
      EXPECT_GE(lie, 50);
      EXPECT_LT(lie, 120);
      EXPECT_LE(exc, 120);
      break;
    case 3:  // excitement inside the band
      EXPECT_GE(lie, 50);
      EXPECT_LT(lie, 120);
      EXPECT_GE(exc, 120);
      EXPECT_LE(exc, 160);
      break;
    case 5:  // high excitement
      EXPECT_GE(lie, 50);
      EXPECT_LT(lie, 120);
      EXPECT_GE(exc, 160);
      break;
    case 4:  // confusion, without high excitement
      EXPECT_GE(lie, 50);
      EXPECT_LT(lie, 120);
      EXPECT_LE(exc, 160);
      break;
    case 6:  // voice manipulation alone
      EXPECT_GE(lie, 50);
      EXPECT_LT(lie, 120);
      EXPECT_LE(exc, 120);
      break;
    case 9:  // an extreme thorn deviation, or the strongest flags together
      EXPECT_GE(lie, 50);
      EXPECT_LT(lie, 120);
      break;
    default:
      break;
  }
}

void AnalysisEndToEnd::ExpectCheck(const CheckLines& c, Seen& seen, std::vector<int>& codes) {
  SCOPED_TRACE("check at line " + std::to_string(c.call));
  const std::string msg = Text(c.msg);
  ASSERT_TRUE(IsWholeNumber(msg)) << msg;
  const int code = std::stoi(msg);
  // -2 would mean no analysis constants, but Initalize has loaded them.
  EXPECT_TRUE(code == -1 || (code >= 0 && code <= 9)) << msg;
  const std::array<std::string, 3> now_levels = {Text(c.lie), Text(c.glb), Text(c.exc)};
  const auto now_results = Texts(c.result);
  const auto now_constants = Texts(c.constant);
  for (const std::string& text : now_constants) EXPECT_TRUE(IsWholeNumber(text)) << text;
  for (const std::string& text : now_levels) EXPECT_TRUE(IsWholeNumber(text)) << text;

  if (code == -1) {
    // Too short or silent: no history row, no drift, the levels of the previous check stay.
    EXPECT_EQ(Notified(c.call), Names{});
    EXPECT_EQ(now_levels, seen.levels);
    EXPECT_EQ(now_constants, seen.constants);
    const bool silent = now_results[kSpT] == "0" && now_results[kSpJ] == "0" &&
                        IsWholeNumber(now_results[kAvJ]) && Number(now_results[kAvJ]) < 2 &&
                        IsWholeNumber(now_results[kJQ]) && Number(now_results[kJQ]) < 3;
    EXPECT_TRUE(silent || now_results == seen.results);
    seen.results = now_results;
    return;
  }

  codes.push_back(code);
  EXPECT_EQ(Notified(c.call), kCheckNotices);

  // The full measures: whole rates, a mean jump length the scan accepted, a spread.
  EXPECT_TRUE(IsWholeNumber(now_results[kSpT])) << now_results[kSpT];
  EXPECT_TRUE(IsWholeNumber(now_results[kSpJ])) << now_results[kSpJ];
  EXPECT_GE(Number(now_results[kSpT]), 0);
  EXPECT_GE(Number(now_results[kSpJ]), 0);
  EXPECT_GE(Number(now_results[kAvJ]), 2);
  EXPECT_LE(Number(now_results[kAvJ]), 11);
  EXPECT_GE(Number(now_results[kJQ]), 0);

  // Stress levels: all 0 after a stopped computation, which concludes nothing; otherwise within
  // their ranges.
  const double lie = Number(now_levels[0]);
  const double glb = Number(now_levels[1]);
  const double exc = Number(now_levels[2]);
  const bool stopped = lie == 0 && glb == 0 && exc == 0;
  if (stopped) {
    EXPECT_EQ(code, 0);
  } else {
    EXPECT_GE(lie, 30);
    EXPECT_LE(lie, 250);
    EXPECT_GE(glb, 30);
    EXPECT_LE(glb, 300);
    EXPECT_GE(exc, 30);
    EXPECT_LE(exc, 250);
  }
  ExpectVerdictFitsLevels(code, lie, exc);

  // Drift: three constants move a sixth of the way towards the measures, CAL_AVJ stays. A
  // completed stress computation measures a zero rate as 1.
  auto measure = [&](std::size_t col) {
    const double value = Number(now_results[col]);
    return value == 0 && !stopped && col != kJQ ? 1.0 : value;
  };
  for (std::size_t col : {kSpT, kSpJ, kJQ}) {
    EXPECT_EQ(Number(now_constants[col]), DriftTowards(Number(seen.constants[col]), measure(col)))
        << kConstants[col];
  }
  EXPECT_EQ(now_constants[kAvJ], seen.constants[kAvJ]);

  seen.levels = now_levels;
  seen.constants = now_constants;
  seen.results = now_results;
}

// The profile: "0" below ten recorded checks, otherwise nine digits, each within the values its
// rules can give, and nine percentages; those of the verdict codes agree with the codes the
// checks published.
void AnalysisEndToEnd::ExpectProfile(int line, const std::vector<int>& codes) {
  EXPECT_EQ(Notified(line), Names{});
  const std::string text = Text(line);
  const int n = static_cast<int>(codes.size());
  if (n < 10) {
    EXPECT_EQ(text, "0");
    return;
  }
  auto count = [&](int code) {
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
  };
  const std::string pct = "([0-9]{2,3})";
  const std::regex shape("([1-4])([1-4])([1-3])([0-3])([0-3])([0-4])([0-2])([0-5])([01])" + pct +
                         pct + Percent(count(4), n) + Percent(count(2), n) + Percent(count(6), n) +
                         Percent(count(7), n) + Percent(count(8), n) + pct + pct);
  std::smatch parts;
  ASSERT_TRUE(std::regex_match(text, parts, shape)) << text;
  EXPECT_EQ(parts[4] == "0", count(2) == 0) << "digit 4 is 0 exactly when no check read 2";
  EXPECT_LE(std::stoi(parts[10]), 300);  // excitement counts up to 3 per row
  for (int group : {11, 12, 13}) EXPECT_LE(std::stoi(parts[group]), 100);
}

TEST_P(AnalysisEndToEnd, CalibrateCheckAndProfileAnExampleSpeaker) {
  Script script;
  const SpeakerLines lines = WriteScript(GetParam(), script);
  run_ = RunScript(dir_, script.text());
  ASSERT_EQ(run_.status, 0) << run_.err;
  EXPECT_EQ(run_.err, "");
  ExpectEveryStatementRan(lines);
  if (HasFatalFailure()) return;

  Seen seen;
  ExpectCalibrations(lines.calibrations, seen);
  std::vector<int> codes;
  for (const CheckLines& c : lines.checks) ExpectCheck(c, seen, codes);
  EXPECT_TRUE(std::any_of(codes.begin(), codes.end(), [](int code) { return code >= 1; }))
      << "no example check reached a verdict";
  ExpectProfile(lines.profile, codes);
}

INSTANTIATE_TEST_SUITE_P(Speakers, AnalysisEndToEnd, ::testing::Values("alex", "robin"));

}  // namespace
