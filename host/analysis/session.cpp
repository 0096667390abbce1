#include "host/analysis/session.h"

#include <cstdio>
#include <exception>

#include "host/analysis/converted_take_files.h"
#include "host/analysis/result_meanings.h"
#include "host/analysis/state_file.h"
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

std::string ErrorText(const PlatformError& e) {
  return "error " + std::to_string(e.number()) + ": " +
         std::string(e.description().empty() ? e.what() : e.description());
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

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
    for (const Take& take : takes_.checks) {
      Check(control, take);
      Done();
    }
    if (settings_.profile) Profile(control);
    if (settings_.state) {
      try {
        SaveState(control, *settings_.state);
      } catch (const StateError& e) {
        Error(e.what());
      }
    }
    return std::move(outcome_);
  }

 private:
  // The state (or a new instance), then the parameters. False when the state is unusable.
  bool Start(ALG_V1S& control) {
    if (settings_.state) {
      try {
        LoadState(control, *settings_.state);
      } catch (const StateError& e) {
        Error(e.what());
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
    std::optional<PreparedTake> prepared = Prepare(take);
    if (!prepared) return;
    const Measures before = ReadMeasures(control);
    try {
      control.put_DATAstr(prepared->sample_file.string());
      control.Calibrate();
    } catch (const PlatformError& e) {
      Error(take.name + ": calibration failed (" + ErrorText(e) + ")");
      return;
    }
    CalibrationRecord record{Speaker(), take.name, control.get_CR_msgX(), {}, {}};
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
    std::optional<PreparedTake> prepared = Prepare(take);
    if (!prepared) return;
    const Measures before = ReadMeasures(control);
    try {
      control.put_DATAstr(prepared->sample_file.string());
      control.Check();
    } catch (const PlatformError& e) {
      Error(take.name + ": check failed (" + ErrorText(e) + ")");
      return;
    }
    CheckRecord record{Speaker(), take.name, control.get_CR_msgX(), {}, {}};
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
    }
    outcome_.events.emplace_back(Record(std::move(record)));
  }

  void Profile(ALG_V1S& control) {
    try {
      control.profiler();
    } catch (const PlatformError& e) {
      Error(std::string(takes_.speaker.empty() ? "" : takes_.speaker + ": ") + "profiler failed (" +
            ErrorText(e) + ")");
      return;
    }
    outcome_.events.emplace_back(
        Record(ProfileRecord{Speaker(), control.get_DATAstr(), checks_recorded_}));
  }

  std::optional<PreparedTake> Prepare(const Take& take) {
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
      Error(std::string(e.what()) + " (" + ErrorText(e) + ")");
    } catch (const PlatformError& e) {
      Error(take.name + ": " + ErrorText(e));
    } catch (const std::exception& e) {
      Error(take.name + ": " + e.what());
    }
    return std::nullopt;
  }

  std::string Speaker() const { return settings_.show_speaker ? takes_.speaker : std::string(); }

  void Warning(std::string text) { outcome_.events.emplace_back(Message{false, std::move(text)}); }

  void Error(std::string text) {
    outcome_.failed = true;
    outcome_.events.emplace_back(Message{true, std::move(text)});
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
};

}  // namespace

SessionOutcome RunSession(const SpeakerTakes& takes, const SessionSettings& settings,
                          SampleSource& source, const std::function<void()>& take_done) {
  return Session(takes, settings, source, take_done).Run();
}

}  // namespace pellix::analysis
