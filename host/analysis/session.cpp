#include "host/analysis/session.h"

#include <cstdio>
#include <exception>

#include "host/analysis/check_history.h"
#include "host/analysis/converted_take_files.h"
#include "host/analysis/report.h"
#include "host/analysis/result_meanings.h"
#include "host/analysis/session_plots.h"
#include "host/analysis/state_file.h"
#include "host/analysis/take_facts.h"
#include "host/audio/audio_error.h"
#include "host/audio/sample_file.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace pellix::analysis {
namespace {

// The leading number of a caption, as the control itself reads its cells; 0 for anything
// that is no number.
double Lenient(const std::string& text) {
  try {
    return Val(text);
  } catch (const PlatformError&) {
    return 0;
  }
}

Measures ReadMeasures(const ALG_V1S& control) {
  return {control.get_CR_spT(), control.get_CR_SPJ(), control.get_CR_JQ(), control.get_CR_avJ()};
}

Constants ReadConstants(const ALG_V1S& control) {
  return {control.get_CAL_spT(), control.get_CAL_spJ(), control.get_CAL_JQ(),
          control.get_CAL_AVJ()};
}

// The measures of a refused take. A take refused as silent has its (whole-number) measures
// written to the Results row; a take refused as too short leaves the row as an earlier take
// left it. So only a row that changed is this take's (a silent take that measures exactly as
// the take before it goes unshown, which is the price of never showing another take's values).
std::optional<Measures> RefusedTakeMeasures(const Measures& before, const Measures& after) {
  if (after != before) return after;
  return std::nullopt;
}

// The least samples each operation analyses: Calibrate's own minimum, then Check's.
constexpr double kCalibrateMinimum = 450;
constexpr double kCheckMinimum = 800;

std::string ErrorDescription(const PlatformError& e) {
  return std::string(e.description().empty() ? e.what() : e.description());
}

std::string ErrorText(const PlatformError& e) {
  return "error " + std::to_string(e.number()) + ": " + ErrorDescription(e);
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

// The cells a check moves and a later check reads: the break points, the resolutions it
// adapts and the calibration constants it drifts. Put back, they make the next check meet the
// control as it was.
class CalibrationSnapshot {
 public:
  explicit CalibrationSnapshot(ALG_V1S& control) {
    Panel& p = control.panel();
    for (std::size_t row : {kBreakPointsRow, kResolutionRow, kConstantsRow}) {
      for (Label* cell : {&p.SPT[row], &p.SPJ[row], &p.JQ[row], &p.AVJ[row]})
        captions_.emplace_back(cell, cell->caption());
    }
  }
  void Restore() const {
    for (const auto& [cell, caption] : captions_) cell->set_caption(caption);
  }

 private:
  std::vector<std::pair<Label*, std::string>> captions_;
};

class Session {
 public:
  Session(const SpeakerTakes& takes, const SessionSettings& settings, SampleSource& source,
          const std::function<void()>& take_done)
      : takes_(takes),
        settings_(settings),
        source_(source),
        take_done_(take_done),
        files_(CurrentFileSystem()) {
    outcome_.control = std::make_unique<ALG_V1S>();
  }

  SessionOutcome Run() {
    const ScopedFileSystem reading_converted_takes(files_);
    ALG_V1S& control = *outcome_.control;
    if (!Start(control)) {
      for (std::size_t i = 0; i < takes_.calibrations.size() + takes_.checks.size(); ++i) Done();
      return std::move(outcome_);
    }
    for (const Take& take : takes_.calibrations) {
      Calibrate(control, take);
      Done();
    }
    if (settings_.fixed_calibration) frozen_.emplace(control);
    for (const Take& take : takes_.checks) {
      if (frozen_) frozen_->Restore();
      Check(control, take);
      Done();
    }
    if (settings_.profile) Profile(control);
    if (settings_.state) {
      try {
        if (frozen_) frozen_->Restore();
        SaveState(control, *settings_.state);
        // No sidecar until there is a history to keep.
        if (const std::vector<HistoryRow> rows = AllHistory(); !rows.empty())
          SaveHistory(HistoryPath(*settings_.state), rows);
      } catch (const StateError& e) {
        Fail("state", settings_.state->string(), e.number(), e.what());
      }
    }
    if (settings_.plot_folder) DrawTrend();
    return std::move(outcome_);
  }

 private:
  // The state (or a new instance), then the parameters. False when the state is unusable.
  bool Start(ALG_V1S& control) {
    if (settings_.state) {
      try {
        LoadState(control, *settings_.state);
        history_ = LoadHistory(HistoryPath(*settings_.state));
        ReplayHistory(control, history_);
      } catch (const StateError& e) {
        Fail("state", settings_.state->string(), e.number(), e.what());
        return false;
      }
    } else {
      control.InitProperties();
    }
    // Calibrate always leaves a whole-number CAL_AVJ of at least 1 and Check never changes
    // it, so a non-zero CAL_AVJ means the speaker was calibrated in an earlier run.
    calibrated_ = Lenient(control.get_CAL_AVJ()) != 0;
    control.put_DATAstr(settings_.params);
    control.Initalize();
    outcome_.started = true;
    return true;
  }

  void Calibrate(ALG_V1S& control, const Take& take) {
    std::optional<PreparedTake> prepared = Prepare(take, "calibrate");
    if (!prepared) return;
    const Measures before = ReadMeasures(control);
    try {
      control.put_DATAstr(prepared->sample_file.string());
      control.Calibrate();
    } catch (const PlatformError& e) {
      Fail("calibrate", take.name, e.number(), "calibration failed: " + ErrorDescription(e),
           take.name + ": calibration failed (" + ErrorText(e) + ")");
      return;
    }
    CalibrationRecord record{Speaker(), take.name, control.get_CR_msgX(), {}, {}, {}};
    const IntakeOutcome intake = ReadIntakeOutcome();
    record.facts = DescribeTake(*prepared, intake, kCalibrateMinimum, !record.accepted());
    Plot("calibrate", ++calibrations_drawn_, take.name, record.accepted() ? "accepted" : "rejected",
         *prepared, intake, intake.sample_count >= kCalibrateMinimum);
    const Measures after = ReadMeasures(control);
    if (record.accepted()) {
      record.measures = after;
      record.constants = ReadConstants(control);
      calibrated_ = true;
    } else {
      record.measures = RefusedTakeMeasures(before, after);
      Warning(take.name + ": calibration take rejected: " + std::string(kCalibrationRejected));
    }
    outcome_.events.emplace_back(Record(std::move(record)));
  }

  void Check(ALG_V1S& control, const Take& take) {
    if (!calibrated_ && !warned_uncalibrated_) {
      warned_uncalibrated_ = true;
      Warning(std::string(takes_.speaker.empty() ? "" : takes_.speaker + ": ") +
              "checking without calibration: no calibration take was accepted and no "
              "calibration constants were loaded, so the stress levels mean little");
    }
    std::optional<PreparedTake> prepared = Prepare(take, "check");
    if (!prepared) return;
    const Measures before = ReadMeasures(control);
    const std::int16_t count_before = control.profile_count();
    try {
      control.put_DATAstr(prepared->sample_file.string());
      control.Check();
    } catch (const PlatformError& e) {
      Fail("check", take.name, e.number(), "check failed: " + ErrorDescription(e),
           take.name + ": check failed (" + ErrorText(e) + ")");
      return;
    }
    CheckRecord record{Speaker(), take.name, control.get_CR_msgX(), {}, {}, {}};
    const IntakeOutcome intake = ReadIntakeOutcome();
    record.facts = DescribeTake(*prepared, intake, kCheckMinimum, record.code == "-1");
    Plot("check", ++checks_drawn_, take.name,
         "code " + record.code + " (" + CodeMeaningText(record.code, true) + ")", *prepared, intake,
         intake.sample_count >= kCheckMinimum && record.code != "-2");
    const Measures after = ReadMeasures(control);
    if (record.code == "-1" || record.code == "-2") {
      record.measures = RefusedTakeMeasures(before, after);
      const std::string meaning(ResultCodeMeaning(record.code == "-1" ? -1 : -2)->description);
      if (record.code == "-1") {
        Warning(take.name + ": check take rejected: " + meaning);
      } else {
        Error(take.name + ": check not analysed: " + meaning);
      }
    } else {
      record.measures = after;
      record.stress =
          StressLevels{control.get_LIEstress(), control.get_GLBstress(), control.get_EXCstress()};
      ++checks_recorded_;
      new_history_.push_back(LastHistoryRow(control, count_before, take.name));
    }
    outcome_.events.emplace_back(Record(std::move(record)));
  }

  void Profile(ALG_V1S& control) {
    try {
      control.profiler();
    } catch (const PlatformError& e) {
      Fail("profile", "", e.number(), "profiler failed: " + ErrorDescription(e),
           std::string(takes_.speaker.empty() ? "" : takes_.speaker + ": ") + "profiler failed (" +
               ErrorText(e) + ")");
      return;
    }
    outcome_.events.emplace_back(Record(ProfileRecord{
        Speaker(), control.get_DATAstr(), checks_recorded_ + static_cast<int>(history_.size())}));
  }

  std::optional<PreparedTake> Prepare(const Take& take, const char* role) {
    try {
      PreparedTake prepared = source_.Prepare(take);
      if (!prepared.converted.empty()) {
        files_.Hold(prepared.sample_file.string(), std::move(prepared.converted));
      }
      if (prepared.samples > kSampleWindow) {
        const double rate = prepared.rate != 0 ? prepared.rate : kDefaultSampleRate;
        Warning(take.name + " is " + Seconds(static_cast<double>(prepared.samples) / rate) +
                " long (" + std::to_string(prepared.samples) + " samples at " +
                std::to_string(static_cast<long>(rate)) +
                " Hz), longer than the analysis window of " + std::to_string(kSampleWindow) +
                " samples (" + Seconds(static_cast<double>(kSampleWindow) / rate) +
                "): only its first utterance is analysed");
      }
      return prepared;
    } catch (const AudioError& e) {
      Fail(role, take.name, e.number(), e.what(),
           std::string(e.what()) + " (" + ErrorText(e) + ")");
    } catch (const PlatformError& e) {
      Fail(role, take.name, e.number(), ErrorDescription(e), take.name + ": " + ErrorText(e));
    } catch (const std::exception& e) {
      Fail(role, take.name, 0, e.what(), take.name + ": " + e.what());
    }
    return std::nullopt;
  }

  void Plot(const std::string& role, int number, const std::string& file, const std::string& result,
            const PreparedTake& take, const IntakeOutcome& intake, bool scanned) {
    if (!settings_.plot_folder) return;
    char index[16];
    std::snprintf(index, sizeof index, "%02d", number);
    const std::string prefix = PlotPrefix(Speaker());
    const std::string name = (prefix.empty() ? "" : prefix + "-") + role + "-" + index + "-" +
                             PlotPrefix(std::filesystem::path(file).stem().string());
    try {
      DrawTakePlot(*settings_.plot_folder, name, settings_.plot_format,
                   file + ": " + role + ", " + result, take, intake, scanned);
    } catch (const PlatformError& e) {
      Fail("plot", file, e.number(), e.what());
    }
  }

  std::vector<HistoryRow> AllHistory() const {
    std::vector<HistoryRow> rows = history_;
    rows.insert(rows.end(), new_history_.begin(), new_history_.end());
    return rows;
  }

  void DrawTrend() {
    const std::vector<HistoryRow> rows = AllHistory();
    const std::string prefix = PlotPrefix(Speaker());
    try {
      DrawTrendPlot(*settings_.plot_folder, (prefix.empty() ? "" : prefix + "-") + "trend",
                    settings_.plot_format,
                    (Speaker().empty() ? std::string("Checks") : "Checks of " + Speaker()) +
                        ": stress levels and result codes",
                    rows);
    } catch (const PlatformError& e) {
      Fail("plot", "", e.number(), e.what());
    }
  }

  std::string Speaker() const { return settings_.show_speaker ? takes_.speaker : std::string(); }

  void Warning(std::string text) { outcome_.events.emplace_back(Message{false, std::move(text)}); }

  void Error(std::string text) {
    outcome_.failed = true;
    outcome_.events.emplace_back(Message{true, std::move(text)});
  }

  // A failure: its row in the report, and `text` (the row's message when empty) on stderr.
  void Fail(std::string role, std::string file, int number, std::string message,
            std::string text = {}) {
    Error(text.empty() ? message : std::move(text));
    outcome_.events.emplace_back(Record(FailureRecord{
        takes_.speaker, std::move(role), std::move(file), number, std::move(message)}));
  }

  void Done() {
    if (take_done_) take_done_();
  }

  const SpeakerTakes& takes_;
  const SessionSettings& settings_;
  SampleSource& source_;
  const std::function<void()>& take_done_;
  ConvertedTakeFiles files_;
  SessionOutcome outcome_;
  bool calibrated_ = false;
  bool warned_uncalibrated_ = false;
  int checks_recorded_ = 0;
  int calibrations_drawn_ = 0;
  int checks_drawn_ = 0;
  std::optional<CalibrationSnapshot> frozen_;  // with fixed_calibration: before the checks
  std::vector<HistoryRow> history_;            // loaded from the state's sidecar
  std::vector<HistoryRow> new_history_;        // this run's checks
};

}  // namespace

SessionOutcome RunSession(const SpeakerTakes& takes, const SessionSettings& settings,
                          SampleSource& source, const std::function<void()>& take_done) {
  return Session(takes, settings, source, take_done).Run();
}

}  // namespace pellix::analysis
