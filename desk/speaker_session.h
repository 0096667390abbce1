// One speaker's session at the desk: an analysis::Session (the same sessions pellix analyze
// runs) and the takes opened for it, worked on one thread of its own, which keeps the window
// responsive during an analysis. The session and its control are made, driven and destroyed on
// the session's thread only, so that nothing of theirs needs a lock; the window asks for work
// with queued calls and hears of it through queued signals.
//
//   auto* session = new SpeakerSession(show);
//   session->moveToThread(&thread);
//   QMetaObject::invokeMethod(session, [=] { session->start(params); });
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "analysis/records.h"
#include "analysis/sample_source.h"
#include "analysis/session.h"
#include "control/alg_v1s.h"
#include "desk/take_pictures.h"

namespace pellix::desk {

class SpeakerSession : public QObject {
  Q_OBJECT

 public:
  // Called on the session's thread with every control the session starts (to show it), and
  // with nullptr before the control goes.
  using ShowControl = std::function<void(ALG_V1S*)>;

  // Call start() on the session's thread before anything else, and finish() there before the
  // thread ends.
  explicit SpeakerSession(ShowControl show_control);
  ~SpeakerSession() override;

  // Asks the job in hand to stop after the take it is working on, so that the control is
  // left between two takes as after any whole job, and the jobs queued after it not to start.
  // Safe from any thread.
  void cancel() { cancel_.store(true); }
  // Lets jobs run again; queued after the last job that cancel() was meant for.
  void resume() { cancel_.store(false); }

  // The jobs: each runs on the session's thread, emits jobStarted() first and jobFinished()
  // last, and reports failures through message(), never by throwing.

  // A new speaker: a session on a new control, started with the parameter string `params`.
  void start(const QString& params);
  // Checks that takes can be read (sample files as they are, recordings converted: WAV,
  // FLAC, Ogg, AIFF, MP3, ...); a folder stands for the recordings in it. Takes are named by
  // path.
  void open(const QStringList& paths);
  // New parameters for the speaker in hand: DATAstr := params, then Initalize, as a session
  // does when it starts. The calibration stays; the check history is set aside, so that the
  // profile counts only checks made with the parameters in force.
  void initialise(const QString& params);
  // Calibrate or Check each take named, in order, through the session.
  void calibrate(const QStringList& takes);
  void check(const QStringList& takes);
  // A recorded utterance (16-bit mono at `rate`) becomes the take `name`, held in memory, and
  // is calibrated on or checked at once.
  void analyseRecorded(const QString& name, const std::vector<std::int16_t>& samples,
                       std::uint32_t rate, bool calibration);
  // Runs the profiler over the speaker's history (the loaded bag's checks and this session's)
  // and reports the profile.
  void profile();
  // A new session for the speaker whose state is the JSON property bag at `path`, with the
  // check history in its sidecar (as pellix analyze --state keeps them), started with
  // `params`. On failure the session in hand stays as it was.
  void loadBag(const QString& path, const QString& params);
  // Saves the control's properties as a JSON bag and the speaker's check history in its
  // sidecar, so that pellix analyze --state carries on from there; a failed save leaves the
  // files that were there as they were. Saved over the bag the speaker was loaded from, it
  // keeps what other runs (pellix analyze, another desk) saved there since (see
  // analysis::Session::Save); saved over any other bag, nothing of that bag's history stays.
  void saveBag(const QString& path);
  // Lets the session go; the last job.
  void finish();

  // Runs `work` with the control, on the session's thread (tests reach it this way).
  void withControl(const std::function<void(ALG_V1S&)>& work);

 signals:
  void jobStarted(const QString& what, int steps);
  void progressed(int done, int steps);
  void jobFinished(bool cancelled);
  // A take can be read, and so calibrated on or checked.
  void takeOpened(const QString& take);
  // A calibration, check, profile or failure record, as pellix analyze reports them.
  void recorded(const pellix::analysis::Record& record);
  // A note (a warning, a file saved), or an error in words with the platform error number.
  void message(bool error, const QString& text);
  // A new session started (a new speaker, or one loaded from a bag).
  void sessionStarted(const QString& what);
  // Before every jobFinished(): whether the speaker has a calibration (a take accepted in this
  // session, or constants loaded from a bag).
  void calibrationKnown(bool calibrated);
  // The picture of a take just analysed: its waveform, stretch, thorns and jumps.
  void takeDrawn(const QString& take, const pellix::desk::Drawing& picture);
  // The speaker's checks so far, drawn after every check job; an empty drawing when there are
  // none any more.
  void trendDrawn(const pellix::desk::Drawing& picture);

 private:
  template <typename Work>
  void Job(const QString& what, int steps, Work work);
  void AnalyseEach(const QString& what, const QStringList& takes, bool calibration);
  // The take named `name`: a recorded one from memory, else the file of that name.
  analysis::Take TakeNamed(const QString& name) const;
  // Starts `session` and makes it the one in hand; false (and the session in hand kept) when
  // its state could not be used.
  bool Replace(std::unique_ptr<analysis::Session> session);
  // Passes on the records and messages the session produced since the last call.
  void Report(analysis::Session& session);
  void Error(const std::string& text) { emit message(true, QString::fromStdString(text)); }
  void Note(const std::string& text) { emit message(false, QString::fromStdString(text)); }

  ShowControl show_control_;
  analysis::SampleSource source_;
  TakePainter painter_;
  std::unique_ptr<analysis::Session> session_;
  std::set<QString> readable_;                  // the takes open() found readable
  std::map<QString, analysis::Take> recorded_;  // utterances recorded, by name
  std::atomic<bool> cancel_{false};
};

}  // namespace pellix::desk
