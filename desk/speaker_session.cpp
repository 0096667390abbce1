#include "desk/speaker_session.h"

#include <QDir>
#include <QFileInfo>
#include <exception>
#include <filesystem>
#include <optional>

#include "analysis/converted_take_files.h"
#include "analysis/result_meanings.h"
#include "analysis/state_file.h"
#include "platform/error.h"
#include "platform/file_error.h"
#include "platform/file_system.h"

namespace pellix::desk {
namespace {

// What a folder contributes: the files whose names say they are recordings or sample files.
const QStringList kRecordingPatterns = {"*.wav", "*.flac", "*.ogg",  "*.oga",
                                        "*.aif", "*.aiff", "*.aifc", "*.smp"};

std::string ErrorText(const PlatformError& e) {
  return "error " + std::to_string(e.number()) + ": " +
         std::string(e.description().empty() ? e.what() : e.description());
}

std::string Text(const QString& text) {
  return text.toStdString();
}

analysis::Measures ReadMeasures(const ALG_V1S& control) {
  return {control.get_CR_spT(), control.get_CR_SPJ(), control.get_CR_JQ(), control.get_CR_avJ()};
}

// A refused take's measures are its own only when it changed the Results row; a take refused
// as too short leaves an earlier take's row in place.
std::optional<analysis::Measures> RefusedTakeMeasures(const analysis::Measures& before,
                                                      const analysis::Measures& after) {
  if (after != before) return after;
  return std::nullopt;
}

// The files a path names: itself, or the recordings in a folder, by name.
QStringList Expand(const QString& path) {
  const QFileInfo info(path);
  if (!info.isDir()) return {path};
  QStringList files;
  const QDir folder(path);
  for (const QString& name :
       folder.entryList(kRecordingPatterns, QDir::Files | QDir::Readable, QDir::Name)) {
    files << folder.filePath(name);
  }
  return files;
}

}  // namespace

SpeakerSession::SpeakerSession(ContainerSite* site, ShowControl show_control)
    : site_(site), show_control_(std::move(show_control)) {}

SpeakerSession::~SpeakerSession() = default;

template <typename Work>
void SpeakerSession::Job(const QString& what, int steps, Work work) {
  emit jobStarted(what, steps);
  bool cancelled = cancel_.load();
  try {
    if (!cancelled) cancelled = !work();
  } catch (const PlatformError& e) {
    Error(Text(what) + " failed (" + ErrorText(e) + ")");
  } catch (const std::exception& e) {
    Error(Text(what) + " failed: " + e.what());
  }
  emit jobFinished(cancelled);
}

void SpeakerSession::NewControl(std::unique_ptr<ALG_V1S> control) {
  // The window lets go of the old control before it goes.
  show_control_(control.get());
  control_ = std::move(control);
  checks_recorded_ = 0;
  emit controlReplaced();
}

void SpeakerSession::start() {
  Job("New speaker", 0, [this] {
    auto control = std::make_unique<ALG_V1S>(site_);
    control->InitProperties();
    NewControl(std::move(control));
    return true;
  });
}

void SpeakerSession::finish() {
  Job("Closing", 0, [this] {
    show_control_(nullptr);
    control_.reset();
    source_.Clear();
    return true;
  });
}

void SpeakerSession::withControl(const std::function<void(ALG_V1S&)>& work) {
  work(*control_);
}

void SpeakerSession::open(const QStringList& paths) {
  QStringList files;
  for (const QString& path : paths) files << Expand(path);
  Job("Opening", static_cast<int>(files.size()), [&] {
    int done = 0;
    for (const QString& file : files) {
      if (cancel_.load()) return false;
      const std::string name = Text(file);
      try {
        if (takes_.count(file) == 0) {
          takes_[file] = source_.Prepare(analysis::Take{name, name});
        }
        emit takeOpened(file);
      } catch (const PlatformError& e) {
        Error(NamesItsFile(e) ? std::string(e.what()) + " (" + ErrorText(e) + ")"
                              : name + ": " + ErrorText(e));
      }
      emit progressed(++done, static_cast<int>(files.size()));
    }
    return true;
  });
}

void SpeakerSession::initialise(const QString& params) {
  Job("Initialise", 0, [&] {
    control_->put_DATAstr(Text(params));
    control_->Initalize();
    emit initialised();
    return true;
  });
}

void SpeakerSession::calibrate(const QStringList& takes) {
  AnalyseEach("Calibrate", takes, true);
}

void SpeakerSession::check(const QStringList& takes) {
  AnalyseEach("Check", takes, false);
}

void SpeakerSession::AnalyseEach(const QString& what, const QStringList& takes, bool calibration) {
  const auto steps = static_cast<int>(takes.size());
  Job(what, steps, [&] {
    int done = 0;
    for (const QString& take : takes) {
      if (cancel_.load()) return false;
      Analyse(take, calibration);
      emit progressed(++done, steps);
    }
    return true;
  });
}

// One take through Calibrate or Check, read back as pellix analyze reads it.
void SpeakerSession::Analyse(const QString& take, bool calibration) {
  const std::string name = Text(take);
  const auto prepared = takes_.find(take);
  if (prepared == takes_.end()) {
    Error(name + ": not opened");
    return;
  }
  ALG_V1S& control = *control_;
  // A converted recording is read from memory under its scratch name, as pellix analyze
  // reads it.
  analysis::ConvertedTakeFiles files(CurrentFileSystem());
  if (!prepared->second.converted.empty()) {
    files.Hold(prepared->second.sample_file.string(), prepared->second.converted);
  }
  const ScopedFileSystem reading_converted_take(files);
  analysis::Measures before;
  try {
    before = ReadMeasures(control);
    control.put_DATAstr(prepared->second.sample_file.string());
    if (calibration) {
      control.Calibrate();
    } else {
      control.Check();
    }
  } catch (const PlatformError& e) {
    Error(name + (calibration ? ": calibration failed (" : ": check failed (") + ErrorText(e) +
          ")");
    return;
  }
  const analysis::Measures after = ReadMeasures(control);
  const std::string code = control.get_CR_msgX();

  if (calibration) {
    analysis::CalibrationRecord record;
    record.file = name;
    record.code = code;
    if (record.accepted()) {
      record.measures = after;
      record.constants = analysis::Constants{control.get_CAL_spT(), control.get_CAL_spJ(),
                                             control.get_CAL_JQ(), control.get_CAL_AVJ()};
    } else {
      record.measures = RefusedTakeMeasures(before, after);
      Note(name + ": calibration take rejected: " + std::string(analysis::kCalibrationRejected));
    }
    emit recorded(analysis::Record(std::move(record)));
    return;
  }

  analysis::CheckRecord record;
  record.file = name;
  record.code = code;
  if (code == "-1" || code == "-2") {
    record.measures = RefusedTakeMeasures(before, after);
    const std::string meaning(analysis::ResultCodeMeaning(code == "-1" ? -1 : -2)->description);
    if (code == "-1") {
      Note(name + ": check take rejected: " + meaning);
    } else {
      Error(name + ": check not analysed: " + meaning);
    }
  } else {
    record.measures = after;
    record.stress = analysis::StressLevels{control.get_LIEstress(), control.get_GLBstress(),
                                           control.get_EXCstress()};
    ++checks_recorded_;
  }
  emit recorded(analysis::Record(std::move(record)));
}

void SpeakerSession::profile() {
  Job("Profile", 0, [this] {
    control_->profiler();
    emit recorded(
        analysis::Record(analysis::ProfileRecord{"", control_->get_DATAstr(), checks_recorded_}));
    return true;
  });
}

void SpeakerSession::loadBag(const QString& path) {
  Job("Load bag", 0, [&] {
    const std::filesystem::path file = Text(path);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
      Error("cannot read bag '" + file.string() + "' (" + ErrorText(PlatformError(kFileNotFound)) +
            ")");
      return true;
    }
    auto control = std::make_unique<ALG_V1S>(site_);
    try {
      analysis::LoadState(*control, file);
    } catch (const analysis::StateError& e) {
      Error(e.what());
      return true;
    }
    NewControl(std::move(control));
    Note("loaded '" + file.string() + "': a new control for this speaker; initialise it");
    return true;
  });
}

void SpeakerSession::saveBag(const QString& path) {
  Job("Save bag", 0, [&] {
    try {
      analysis::SaveState(*control_, Text(path));
      Note("saved '" + Text(path) + "'");
    } catch (const analysis::StateError& e) {
      Error(e.what());
    }
    return true;
  });
}

}  // namespace pellix::desk
