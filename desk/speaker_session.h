// One speaker's session at the desk: a control and the takes opened for it, worked on one
// thread of its own. The engine's analysis state belongs to the thread that runs it, so the
// control is made, driven and destroyed on the session's thread only; the window asks for
// work with queued calls and hears of it through queued signals.
//
//   auto* session = new SpeakerSession(&widget->site(), attach);
//   session->moveToThread(&thread);
//   QMetaObject::invokeMethod(session, [=] { session->initialise(params); });
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <map>
#include <memory>

#include "analysis/records.h"
#include "analysis/sample_source.h"
#include "platform/container_site.h"
#include "shell/alg_v1s.h"

namespace pellix::desk {

class SpeakerSession : public QObject {
  Q_OBJECT

 public:
  // Called on the session's thread with every control the session makes (to show it), and
  // with nullptr before the control goes.
  using ShowControl = std::function<void(ALG_V1S*)>;

  // Controls are made with `site` (which must outlive the session). Call start() on the
  // session's thread before anything else, and finish() there before the thread ends.
  SpeakerSession(ContainerSite* site, ShowControl show_control);
  ~SpeakerSession() override;

  // Asks the job in hand to stop after the take it is working on, so that the control is
  // left between two takes as after any whole job, and the jobs queued after it not to start.
  // Safe from any thread.
  void cancel() { cancel_.store(true); }
  // Lets jobs run again; queued after the last job that cancel() was meant for.
  void resume() { cancel_.store(false); }

  // The jobs: each runs on the session's thread, emits jobStarted() first and jobFinished()
  // last, and reports failures through message(), never by throwing.

  // Makes a new control (InitProperties).
  void start();
  // Prepares takes for the control: sample files as they are, recordings converted (WAV,
  // FLAC, Ogg, AIFF, ...); a folder stands for the recordings in it. Takes are named by path.
  void open(const QStringList& paths);
  // DATAstr := params, then Initalize.
  void initialise(const QString& params);
  // Calibrate, then Check, on each opened take named, in order.
  void calibrate(const QStringList& takes);
  void check(const QStringList& takes);
  // Runs the profiler and reports the profile.
  void profile();
  // A new control loaded from the JSON property bag at `path` (ReadProperties): that
  // speaker's session starts afresh. On failure the control in hand stays as it was.
  void loadBag(const QString& path);
  // Saves the control's properties (WriteProperties) as a JSON bag; a failed save leaves
  // the file that was there as it was.
  void saveBag(const QString& path);
  // Lets the control go; the last job.
  void finish();

  // Runs `work` with the control, on the session's thread (tests reach it this way).
  void withControl(const std::function<void(ALG_V1S&)>& work);

 signals:
  void jobStarted(const QString& what, int steps);
  void progressed(int done, int steps);
  void jobFinished(bool cancelled);
  // A take is ready to be calibrated or checked.
  void takeOpened(const QString& take);
  // A calibration, check or profile record, as pellix analyze reports them.
  void recorded(const pellix::analysis::Record& record);
  // A note (a warning, a file saved), or an error in words with the platform error number.
  void message(bool error, const QString& text);
  // A new control came (a new speaker): no takes analysed on it yet, Initalize still to run.
  void controlReplaced();
  // After Initalize ran.
  void initialised();

 private:
  template <typename Work>
  void Job(const QString& what, int steps, Work work);
  void AnalyseEach(const QString& what, const QStringList& takes, bool calibration);
  void Analyse(const QString& take, bool calibration);
  void NewControl(std::unique_ptr<ALG_V1S> control);
  void Error(const std::string& text) { emit message(true, QString::fromStdString(text)); }
  void Note(const std::string& text) { emit message(false, QString::fromStdString(text)); }

  ContainerSite* site_;
  ShowControl show_control_;
  std::unique_ptr<ALG_V1S> control_;
  analysis::SampleSource source_;
  std::map<QString, analysis::PreparedTake> takes_;
  int checks_recorded_ = 0;  // checks of this control that reached the verdict
  std::atomic<bool> cancel_{false};
};

}  // namespace pellix::desk
