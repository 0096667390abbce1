#include "desk/speaker_session.h"

#include <QDir>
#include <QFileInfo>
#include <exception>
#include <filesystem>
#include <variant>

#include "analysis/inputs.h"
#include "analysis/memory_take.h"
#include "analysis/state_file.h"
#include "files/file_error.h"
#include "platform/error.h"

namespace pellix::desk {
namespace {

std::string ErrorText(const PlatformError& e) {
  return "error " + std::to_string(e.number()) + ": " +
         std::string(e.description().empty() ? e.what() : e.description());
}

std::string Text(const QString& text) {
  return text.toStdString();
}

analysis::Take TakeOf(const QString& path) {
  return analysis::Take{Text(path), Text(path)};
}

}  // namespace

SpeakerSession::SpeakerSession(ShowControl show_control)
    : show_control_(std::move(show_control)),
      painter_([this](const QString& take, const Drawing& picture) {
        if (take.isEmpty()) {
          emit trendDrawn(picture);
        } else {
          emit takeDrawn(take, picture);
        }
      }) {}

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
  emit calibrationKnown(session_ != nullptr && session_->calibrated());
  emit jobFinished(cancelled);
}

void SpeakerSession::Report(analysis::Session& session) {
  for (analysis::Event& event : session.TakeEvents()) {
    if (auto* m = std::get_if<analysis::Message>(&event)) {
      emit message(m->error, QString::fromStdString(m->text));
    } else {
      emit recorded(std::get<analysis::Record>(event));
    }
  }
}

bool SpeakerSession::Replace(std::unique_ptr<analysis::Session> session) {
  if (!session->Start()) {
    // Only the failure's message: its row belongs to no take of this desk.
    for (analysis::Event& event : session->TakeEvents()) {
      if (auto* m = std::get_if<analysis::Message>(&event)) Error(m->text);
    }
    return false;
  }
  // The window lets go of the old control before it goes.
  show_control_(&session->control());
  session_ = std::move(session);
  Report(*session_);
  return true;
}

void SpeakerSession::start(const QString& params) {
  Job("New speaker", 0, [&] {
    analysis::SessionSettings settings;
    settings.params = Text(params);
    settings.plotter = &painter_;
    if (Replace(std::make_unique<analysis::Session>("", settings, source_))) {
      emit sessionStarted("a new speaker, initialised with " + params);
    }
    return true;
  });
}

void SpeakerSession::finish() {
  Job("Closing", 0, [this] {
    show_control_(nullptr);
    session_.reset();
    source_.Clear();
    return true;
  });
}

void SpeakerSession::withControl(const std::function<void(ALG_V1S&)>& work) {
  work(session_->control());
}

void SpeakerSession::open(const QStringList& paths) {
  // A folder stands for the recordings in it, by the names pellix analyze takes in.
  QStringList files;
  for (const QString& path : paths) {
    if (!QFileInfo(path).isDir()) {
      files << path;
      continue;
    }
    const QDir folder(path);
    int found = 0;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Readable, QDir::Name)) {
      if (!analysis::IsRecordingName(Text(name))) continue;
      files << folder.filePath(name);
      ++found;
    }
    if (found == 0) Note(Text(path) + ": no recordings in this folder");
  }
  Job("Opening", static_cast<int>(files.size()), [&] {
    int done = 0;
    for (const QString& file : files) {
      if (cancel_.load()) return false;
      const std::string name = Text(file);
      try {
        if (readable_.count(file) == 0) {
          source_.Prepare(TakeOf(file));
          readable_.insert(file);
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
    // The two steps a session starts with; the rest of the control stays as it is.
    ALG_V1S& control = session_->control();
    control.put_DATAstr(Text(params));
    control.Initalize();
    // Checks made with other parameters do not compare with the ones to come.
    const std::size_t checks = session_->History().size();
    session_->ClearHistory();
    emit trendDrawn({});
    Note("initialised with " + Text(params) +
         (checks == 0 ? std::string()
                      : "; the " + std::to_string(checks) + (checks == 1 ? " check" : " checks") +
                            " made before are set aside: the profile counts the checks from now "
                            "on"));
    return true;
  });
}

void SpeakerSession::calibrate(const QStringList& takes) {
  AnalyseEach("Calibrate", takes, true);
}

void SpeakerSession::check(const QStringList& takes) {
  AnalyseEach("Check", takes, false);
}

analysis::Take SpeakerSession::TakeNamed(const QString& name) const {
  const auto found = recorded_.find(name);
  return found != recorded_.end() ? found->second : TakeOf(name);
}

void SpeakerSession::analyseRecorded(const QString& name, const std::vector<std::int16_t>& samples,
                                     std::uint32_t rate, bool calibration) {
  recorded_.insert_or_assign(name, analysis::PcmTake(samples, rate, 1, Text(name)));
  emit takeOpened(name);
  AnalyseEach(calibration ? "Calibrate" : "Check", {name}, calibration);
}

void SpeakerSession::AnalyseEach(const QString& what, const QStringList& takes, bool calibration) {
  const auto steps = static_cast<int>(takes.size());
  Job(what, steps, [&] {
    int done = 0;
    bool cancelled = false;
    for (const QString& take : takes) {
      if (cancel_.load()) {
        cancelled = true;
        break;
      }
      if (calibration) {
        session_->Calibrate(TakeNamed(take));
      } else {
        session_->Check(TakeNamed(take));
      }
      Report(*session_);
      emit progressed(++done, steps);
    }
    if (!calibration)
      painter_.DrawTrend("", session_->Checks(), session_->control().engine_state());
    return !cancelled;
  });
}

void SpeakerSession::profile() {
  Job("Profile", 0, [this] {
    session_->Profile();
    Report(*session_);
    return true;
  });
}

void SpeakerSession::loadBag(const QString& path, const QString& params) {
  Job("Load bag", 0, [&] {
    const std::filesystem::path file = Text(path);
    std::error_code ec;
    // A session makes a new speaker where no state is yet; a bag to load must be there.
    if (!std::filesystem::exists(file, ec)) {
      Error("cannot read bag '" + file.string() + "' (" + ErrorText(PlatformError(kFileNotFound)) +
            ")");
      return true;
    }
    analysis::SessionSettings settings;
    settings.params = Text(params);
    settings.state = file;
    settings.plotter = &painter_;
    if (!Replace(std::make_unique<analysis::Session>("", settings, source_))) return true;
    const auto checks = session_->History().size();
    emit sessionStarted("the speaker of '" + path + "' (" + QString::number(checks) +
                        (checks == 1 ? " check" : " checks") +
                        " in its history), initialised with " + params);
    if (checks > 0) painter_.DrawTrend("", session_->History(), session_->control().engine_state());
    return true;
  });
}

void SpeakerSession::saveBag(const QString& path) {
  Job("Save bag", 0, [&] {
    const std::filesystem::path file = Text(path);
    try {
      // Saved over the bag it was loaded from, what other runs saved there meanwhile stays;
      // saved anywhere else, only this speaker's history goes beside it.
      const analysis::StateLock lock(file, {});
      session_->Save(file);
      const std::size_t checks = session_->History().size();
      Note("saved '" + file.string() + "' with " + std::to_string(checks) +
           (checks == 1 ? " check" : " checks") + " in its history");
    } catch (const analysis::StateError& e) {
      Error(e.what());
    }
    return true;
  });
}

}  // namespace pellix::desk
