// pellix-desk driven as a person drives it: recordings dropped on the window, Initialise,
// Calibrate on three takes, Check the twelve others, Profile; the results list, the profile and
// the panel agree with pellix analyze on the same takes. A cancel in the middle leaves a
// session that carries on as if never interrupted; failures are shown in words with their
// numbers; a failed save keeps the old bag. A tone and a clipped take are flagged; a bag's
// check history goes from the desk to pellix analyze --state and back; recorded utterances
// become checked takes; and the rough edges a new user met stay smoothed. Run under xvfb-run
// with PELLIX_SCREENSHOTS set, it also writes pictures of the window and its views.
#include <QAudioDevice>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMediaDevices>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <cmath>
#include <numbers>
#include <thread>
#include <variant>

#include <signal.h>
#include <sndfile.h>
#include <unistd.h>

#include "analysis/session.h"
#include "analysis/take_facts.h"
#include "desk/desk_window.h"
#include "desk/job_summary.h"
#include "desk/picture_view.h"
#include "desk/profile_explanation.h"
#include "desk/recorder.h"
#include "desk/results_model.h"
#include "desk/speaker_session.h"
#include "desk/utterance_cutter.h"
#include "platform/error.h"
#include "plot/trend_plot.h"
#include "tests/example_stream.h"
#include "tests/voice_stream.h"
#include "widget/pellix_widget.h"

namespace pellix::desk {
namespace {

const QString kRecordings = PELLIX_SOURCE_DIR "/examples/recordings/";

QStringList Recordings(const QString& pattern) {
  QStringList files;
  for (const QString& name : QDir(kRecordings).entryList({pattern}, QDir::Files, QDir::Name)) {
    files << kRecordings + name;
  }
  return files;
}

const QStringList kCalibrations = Recordings("alex_calibrate_*.wav");
const QStringList kChecks = Recordings("alex_check_*.wav");

// What pellix analyze does with the same takes: one session on a fresh thread.
analysis::SessionOutcome Analyze() {
  analysis::SpeakerTakes takes;
  for (const QString& f : kCalibrations)
    takes.calibrations.push_back({f.toStdString(), f.toStdString()});
  for (const QString& f : kChecks) takes.checks.push_back({f.toStdString(), f.toStdString()});
  analysis::SessionSettings settings;
  settings.profile = true;
  analysis::SampleSource source;
  analysis::SessionOutcome outcome;
  std::thread([&] { outcome = analysis::RunSession(takes, settings, source); }).join();
  return outcome;
}

// A sine of `hz` at `amplitude` of full scale (clipped there beyond 1), 16-bit mono, written by
// libsndfile in `format` (a WAV or an MP3).
void WriteTone(const QString& path, double hz, double amplitude,
               int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
  SF_INFO info{};
  info.samplerate = 11025;
  info.channels = 1;
  info.format = format;
  SNDFILE* file = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
  QVERIFY2(file != nullptr, sf_strerror(nullptr));
  std::vector<double> samples(11025 * 3 / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = std::clamp(
        amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / info.samplerate),
        -1.0, 1.0);
  }
  QCOMPARE(sf_write_double(file, samples.data(), static_cast<sf_count_t>(samples.size())),
           static_cast<sf_count_t>(samples.size()));
  sf_close(file);
}

// The lines of a text file.
QStringList Lines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {"<cannot read " + path + ">"};
  return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// pellix analyze with `arguments`; its standard output.
QString Analyze(const QStringList& arguments) {
  QProcess pellix;
  pellix.start(PELLIX_COMMAND, QStringList{"analyze", "-q"} + arguments);
  if (!pellix.waitForFinished(120000) || pellix.exitCode() != 0) {
    return "<pellix failed: " + QString::fromUtf8(pellix.readAllStandardError()) + ">";
  }
  return QString::fromUtf8(pellix.readAllStandardOutput());
}

QString Caption(const PellixWidget& panel, std::string_view name) {
  const auto layout = PanelLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (layout[i].name == name) return panel.caption(i);
  }
  return "<no label " + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) + ">";
}

// A PulseAudio server of the test's own, on no sound card: a null sink "v", whose monitor
// "v.monitor" hears whatever is played into it, is the server's only input. Its runtime folder and
// home are the test's, so that no run shares another's, and this process talks to it from then on.
// Stopped by its process id.
class SoundServer {
 public:
  explicit SoundServer(const QString& folder) : folder_(folder) {
    QDir(folder).mkpath("run");
    QFile::setPermissions(folder + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder + "/run"));
    qputenv("HOME", QFile::encodeName(folder));
    const QStringList commands[] = {
        {"pulseaudio", "--daemonize=yes", "--exit-idle-time=-1", "--disallow-exit", "-n",
         "--load=module-native-protocol-unix", "--load=module-null-sink sink_name=v",
         "--load=module-always-sink"},
        {"pactl", "set-default-sink", "v"},
    };
    for (const QStringList& command : commands) {
      if (!Run(command, 20000)) return;
    }
    QFile pid(folder + "/run/pulse/pid");
    if (pid.open(QIODevice::ReadOnly)) pid_ = pid.readAll().trimmed().toInt();
  }
  ~SoundServer() { Stop(); }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 50 && ::kill(pid_, 0) == 0; ++i) QTest::qWait(100);
    if (::kill(pid_, 0) == 0) ::kill(pid_, SIGKILL);
    pid_ = 0;
  }

  // Runs `command` (a program of the server's, such as paplay) in the server's folder; false,
  // with what went wrong in problem(), when it fails or takes longer than `timeout_ms`.
  bool Run(const QStringList& command, int timeout_ms) {
    QProcess process;
    process.setWorkingDirectory(folder_);
    process.start(command[0], command.mid(1));
    if (process.waitForFinished(timeout_ms) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0) {
      return true;
    }
    problem_ = command.join(' ') + ": " + process.errorString() + " " +
               QString::fromUtf8(process.readAllStandardError());
    return false;
  }

  bool running() const { return pid_ > 0; }
  const QString& problem() const { return problem_; }

 private:
  QString folder_;
  pid_t pid_ = 0;
  QString problem_;
};

// 16-bit mono PCM, as a device or a file gives it.
QByteArray Pcm(const std::vector<short>& samples) {
  return QByteArray(reinterpret_cast<const char*>(samples.data()),
                    static_cast<qsizetype>(samples.size() * sizeof(short)));
}

}  // namespace

class DeskTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<DeskWindow> window_;

  DeskWindow& window() { return *window_; }

  void WaitIdle() { QTRY_VERIFY_WITH_TIMEOUT(!window().busy(), 120000); }

  QString statusBarText() { return window().statusBar()->currentMessage(); }

  void Click(const char* button) {
    auto* b = window().findChild<QPushButton*>(button);
    QVERIFY2(b != nullptr && b->isEnabled(), button);
    QTest::mouseClick(b, Qt::LeftButton);
    WaitIdle();
  }

  // Drops the files on the window, as from a file manager.
  void Drop(const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window(), &drop);
    WaitIdle();
  }

  void Select(const QStringList& files) {
    QListWidget& takes = window().takes();
    takes.clearSelection();
    for (int row = 0; row < takes.count(); ++row) {
      takes.item(row)->setSelected(files.contains(takes.item(row)->data(Qt::UserRole).toString()));
    }
  }

  // Opens the fifteen takes, initialises and calibrates on the three calibration takes.
  void Calibrated() {
    Drop(kCalibrations + kChecks);
    QVERIFY2(window().takes().count() == 15, qPrintable(window().messages()));
    Click("initialise");
    Select(kCalibrations);
    Click("calibrate");
    QVERIFY2(window().results().rowCount() == 3, qPrintable(window().messages()));
  }

  // Calibrated, checks the first three takes and saves the bag to `bag`.
  void ThreeChecksSaved(const QString& bag) {
    Calibrated();
    Select(kChecks.mid(0, 3));
    Click("check");
    window().saveBag(bag);
    WaitIdle();
  }

  void OnSessionThread(const std::function<void(ALG_V1S&)>& work) {
    SpeakerSession* session = &window().session();
    QMetaObject::invokeMethod(
        session, [&] { session->withControl(work); }, Qt::BlockingQueuedConnection);
  }

  // The results list, the profile and the panel against pellix analyze's records and control.
  void AgreesWithAnalyze() {
    const analysis::SessionOutcome expected = Analyze();
    QVERIFY(!expected.failed);
    std::vector<analysis::Record> records;
    for (const analysis::Event& e : expected.events) {
      if (const auto* r = std::get_if<analysis::Record>(&e)) records.push_back(*r);
    }
    QCOMPARE(records.size(), std::size_t{16});  // 3 calibrations, 12 checks, the profile
    ResultsModel& results = window().results();
    QCOMPARE(results.rowCount(), 15);
    for (int row = 0; row < 15; ++row) {
      const analysis::Record& want = records[static_cast<std::size_t>(row)];
      const analysis::Record& got = results.record(row);
      if (row < 3) {
        const auto& w = std::get<analysis::CalibrationRecord>(want);
        const auto& g = std::get<analysis::CalibrationRecord>(got);
        QCOMPARE(g.file, w.file);
        QCOMPARE(g.code, w.code);
        QVERIFY(g.measures == w.measures);
      } else {
        const auto& w = std::get<analysis::CheckRecord>(want);
        const auto& g = std::get<analysis::CheckRecord>(got);
        QCOMPARE(g.file, w.file);
        QCOMPARE(g.code, w.code);
        QVERIFY(g.measures == w.measures);
        QCOMPARE(g.stress.has_value(), w.stress.has_value());
        if (w.stress) {
          QCOMPARE(g.stress->lie, w.stress->lie);
          QCOMPARE(g.stress->global, w.stress->global);
          QCOMPARE(g.stress->excitement, w.stress->excitement);
        }
        QCOMPARE(results.data(results.index(row, ResultsModel::kCode)).toString(),
                 QString::fromStdString(w.code.caption()));
      }
    }
    const auto& profile = std::get<analysis::ProfileRecord>(records.back());
    const std::vector<ProfileLine> lines = ExplainProfile(profile.profile);
    QCOMPARE(lines.size(), std::size_t{9});
    QTableWidget& table = window().profileTable();
    QCOMPARE(table.rowCount(), 9);
    // The explanations wrap: nothing to scroll sideways for.
    QVERIFY(table.horizontalHeader()->length() <= table.viewport()->width());
    for (int row = 0; row < 9; ++row) {
      QCOMPARE(table.item(row, 1)->text(),
               QString(QChar(lines[static_cast<std::size_t>(row)].digit)));
      QCOMPARE(table.item(row, 3)->text(),
               QString::fromStdString(lines[static_cast<std::size_t>(row)].meaning));
    }
    // Every value cell of the panel as pellix analyze's control left it (DATAstr aside).
    for (const PanelEntry& entry : PanelLayout()) {
      const std::string& want = entry.label(expected.control->panel()).caption();
      QCOMPARE(Caption(window().panel(), entry.name), QString::fromStdString(want));
    }
  }

 private slots:
  void init() {
    window_ = std::make_unique<DeskWindow>();
    window_->show();
    WaitIdle();
  }
  void cleanup() { window_.reset(); }

  void aWholeSessionAgreesWithAnalyze() {
    Calibrated();
    Click("checkAll");
    QCOMPARE(window().results().rowCount(), 15);
    Click("profile");
    AgreesWithAnalyze();
    QVERIFY2(!window().messages().contains("Error"), qPrintable(window().messages()));
  }

  void aCancelInTheMiddleLeavesASessionThatCarriesOn() {
    Calibrated();
    // The worker waits at the first check's progress until the person has pressed Cancel.
    bool pressed = false;
    const QMetaObject::Connection press = connect(
        &window().session(), &SpeakerSession::progressed, this,
        [&] {
          if (pressed) return;
          pressed = true;
          QTest::mouseClick(window().findChild<QPushButton*>("cancel"), Qt::LeftButton);
        },
        Qt::BlockingQueuedConnection);
    Click("checkAll");
    disconnect(press);
    QCOMPARE(window().results().rowCount(), 4);  // three calibrations and one check
    // The control holds exactly that one check, and the panel shows it.
    std::int16_t history = -1;
    std::string code;
    OnSessionThread([&](ALG_V1S& control) {
      history = control.profile_count();
      code = control.get<"CR_msgX">();
    });
    QCOMPARE(history, std::int16_t{1});
    QCOMPARE(Caption(window().panel(), "LBL_MSG"), QString::fromStdString(code));
    QCOMPARE(window().results().data(window().results().index(3, ResultsModel::kCode)).toString(),
             QString::fromStdString(code));
    // Carrying on gives what an uninterrupted session gives.
    Click("checkAll");
    Click("profile");
    AgreesWithAnalyze();
  }

  void failuresAreShownInWordsWithTheirNumbers() {
    QTemporaryDir dir;
    const QString damaged = dir.filePath("damaged.wav");
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("RIFF\x10\0\0\0WAVEfmt ", 16);
    file.close();
    QFile list(dir.filePath("list.json"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("[1, 2]");
    list.close();

    const struct {
      std::function<void()> act;
      const char* shown;
    } cases[] = {
        {[&] { window().openFiles({dir.filePath("missing.wav")}); }, "error 53: File not found"},
        {[&] { window().openFiles({damaged}); }, "error 321: Invalid file format"},
        {[&] { window().loadBag(dir.filePath("missing.json")); }, "error 53: File not found"},
        {[&] { window().loadBag(dir.filePath("list.json")); }, "error 321: Invalid file format"},
        {[&] { window().saveBag(dir.filePath("no/such/folder/bag.json")); },
         "error 53: File not found"},
    };
    for (const auto& c : cases) {
      c.act();
      WaitIdle();
      QVERIFY2(window().messages().contains(c.shown), qPrintable(window().messages()));
    }
    QCOMPARE(window().takes().count(), 0);
  }

  void aFailedSaveKeepsTheOldBagAndALoadShowsIt() {
    QTemporaryDir dir;
    const QString bag = dir.filePath("alex.json");
    Calibrated();
    window().saveBag(bag);
    WaitIdle();
    QFile saved(bag);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray before = saved.readAll();
    saved.close();
    QVERIFY(before.contains("\"CAL_spT\""));
    const QString constant = Caption(window().panel(), "SPT(7)");
    // The whole value is in the panel's tooltip, however narrow its cell.
    const auto layout = PanelLayout();
    for (std::size_t i = 0; i < layout.size(); ++i) {
      if (layout[i].name != "SPT(7)") continue;
      QCOMPARE(DeskWindow::PanelTip(window().panel(), window().panel().labelRect(i).center()),
               "SPT(7): " + constant);
    }

    // A control that cannot hand out a caption cannot be saved: the file stays as it was.
    OnSessionThread([](ALG_V1S& control) {
      control.put<"CAL_spT">("99");
      control.panel().SPT[kConstantsRow].RefuseCaptionGets(kPermissionDenied);
    });
    window().saveBag(bag);
    WaitIdle();
    QVERIFY2(window().messages().contains("error 70: Permission denied"),
             qPrintable(window().messages()));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), before);
    saved.close();

    window().loadBag(bag);
    WaitIdle();
    QCOMPARE(Caption(window().panel(), "SPT(7)"), constant);
    QCOMPARE(window().results().rowCount(), 3);  // a new session; what was done stays listed
  }

  void aToneAndAClippedTakeAreFlaggedInTheirRows() {
    QTemporaryDir dir;
    const struct {
      const char* file;
      double amplitude;
      const char* flag;
    } cases[] = {
        {"tone.wav", 0.5, "steady_tone"},  // a steady 220 Hz: no speech at all
        {"clipped.wav", 4, "clipped"},     // most samples at full scale
    };
    QStringList files;
    for (const auto& c : cases) {
      files << dir.filePath(c.file);
      WriteTone(files.back(), 220, c.amplitude);
    }
    Drop(files);
    Click("initialise");
    Select(files);
    Click("check");
    ResultsModel& results = window().results();
    QCOMPARE(results.rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
      const QString flag = cases[row].flag;
      const QModelIndex flags = results.index(row, ResultsModel::kFlags);
      QVERIFY2(results.data(flags).toString().contains(flag), qPrintable(flag));
      const std::string_view words = analysis::TakeFlagWords(cases[row].flag);
      QVERIFY(results.data(flags, Qt::ToolTipRole)
                  .toString()
                  .contains(QString::fromUtf8(words.data(), static_cast<qsizetype>(words.size()))));
    }
    // The export is the command's CSV: its header, a row per take, the flags in their column.
    window().exportCsv(dir.filePath("results"));
    const QStringList csv = Lines(dir.filePath("results.csv"));
    QCOMPARE(csv.size(), 3);
    QVERIFY(csv[0].startsWith("speaker,role,file,code,meaning,"));
    QVERIFY(csv[1].contains("tone.wav") && csv[1].contains("steady_tone"));
    QVERIFY(csv[2].contains("clipped.wav") && csv[2].contains("clipped"));
    // The selected take's picture is drawn.
    QVERIFY(!window().takePicture().image().isNull());
  }

  void theHistoryTravelsDeskToCommandLineAndBack() {
    QTemporaryDir dir;
    const QString bag = dir.filePath("alex.json");
    const QString history = dir.filePath("alex.history.jsonl");
    ThreeChecksSaved(dir.filePath("alex"));  // the extension is added
    QCOMPARE(Lines(history).size(), 3);
    for (int i = 0; i < 3; ++i)
      QVERIFY(Lines(history)[i].contains(QFileInfo(kChecks[i]).fileName()));

    // The command carries on from the desk's bag: two more checks, five in the history.
    QString out = Analyze({"--state", bag, "--check", kChecks[3], kChecks[4]});
    QVERIFY2(!out.startsWith("<"), qPrintable(out));
    QCOMPARE(Lines(history).size(), 5);

    // And the desk from the command's: the five checks and one more.
    window().loadBag(bag);
    WaitIdle();
    QVERIFY2(window().messages().contains("(5 checks in its history)"),
             qPrintable(window().messages()));
    QVERIFY(!window().trendPicture().image().isNull());
    Select({kChecks[5]});
    Click("check");
    Click("profile");
    QVERIFY(window().findChild<QLabel*>("profileTitle")->text().contains("(6 checks)"));
    window().saveBag(bag);
    WaitIdle();
    const QStringList rows = Lines(history);
    QCOMPARE(rows.size(), 6);
    for (int i = 0; i < 6; ++i) QVERIFY(rows[i].contains(QFileInfo(kChecks[i]).fileName()));
    out = Analyze({"--state", bag, "--check", kChecks[6], "--profile"});
    QVERIFY2(out.contains("(7 checks)"), qPrintable(out));
  }

  void theDeskAndTheCommandSharingABagLoseNoCheck() {
    QTemporaryDir dir;
    const QString bag = dir.filePath("alex.json");
    const QString history = dir.filePath("alex.history.jsonl");
    ThreeChecksSaved(bag);

    // Loaded, the bag gets two checks from the command, then one from the desk.
    window().loadBag(bag);
    WaitIdle();
    const QString out = Analyze({"--state", bag, "--check", kChecks[3], kChecks[4]});
    QVERIFY2(!out.startsWith("<"), qPrintable(out));
    Select({kChecks[5]});
    Click("check");
    window().saveBag(bag);
    WaitIdle();
    const QStringList rows = Lines(history);
    QCOMPARE(rows.size(), 6);
    for (int i = 0; i < 6; ++i) QVERIFY(rows[i].contains(QFileInfo(kChecks[i]).fileName()));
  }

  void aNewSpeakerSavedOverABagLeavesNoneOfItsChecks() {
    QTemporaryDir dir;
    const QString bag = dir.filePath("alex.json");
    Calibrated();
    Select(kChecks.mid(0, 3));
    Click("check");
    window().saveBag(bag);
    WaitIdle();
    window_ = std::make_unique<DeskWindow>();
    window_->show();
    WaitIdle();
    window().saveBag(bag);
    WaitIdle();
    window().loadBag(bag);
    WaitIdle();
    QVERIFY2(window().messages().contains("(0 checks in its history)"),
             qPrintable(window().messages()));
  }

  void aBagSavedOverAnotherSpeakersLeavesNoneOfItsHistory() {
    // Another speaker's bag with two checks beside it; this speaker has none of its own yet.
    QTemporaryDir dir;
    const QString history = dir.filePath("bag.history.jsonl");
    QFile old(history);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("{\"file\":\"old_check_1.wav\"}\n{\"file\":\"old_check_2.wav\"}\n");
    old.close();
    window().saveBag(dir.filePath("bag.json"));
    WaitIdle();
    QCOMPARE(Lines(history), QStringList());
  }

  void recordedUtterancesBecomeCheckedTakes() {
    constexpr std::uint32_t kRate = 16000;
    testing::VoiceStream voice(kRate);
    voice.Noise(-60).Pause(1).Voice(1.2, -20).Pause(1).Voice(0.9, -20).Pause(1);
    QByteArray pcm;
    for (float v : voice.samples()) {
      const auto s = static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767));
      pcm.append(reinterpret_cast<const char*>(&s), sizeof s);
    }
    QBuffer source(&pcm);
    QVERIFY(source.open(QIODevice::ReadOnly));
    double loudest = -96;
    connect(&window().recorder(), &Recorder::level, this,
            [&](double dbfs) { loudest = std::max(loudest, dbfs); });
    Click("initialise");
    window().recorder().startSource(&source, kRate);
    QVERIFY(!window().recorder().recording());  // the buffer was read to its end
    WaitIdle();
    QVERIFY(loudest > -30);
    QCOMPARE(window().findChild<QProgressBar*>("level")->value(), -60);  // silent once stopped
    QCOMPARE(window().takes().count(), 2);
    QVERIFY(window().takes().item(0)->text().startsWith("Recording 1 "));
    ResultsModel& results = window().results();
    QCOMPARE(results.rowCount(), 2);
    const double lengths[] = {1.2, 0.9};
    for (int row = 0; row < 2; ++row) {
      const auto& check = std::get<analysis::CheckRecord>(results.record(row));
      QVERIFY2(check.facts.recording_s && std::abs(*check.facts.recording_s - lengths[row]) < 0.15,
               qPrintable(QString::number(check.facts.recording_s.value_or(-1))));
    }
    // A long silence holds no more than the segmenter may still need.
    UtteranceCutter cutter({}, kRate);
    const std::vector<std::int16_t> quiet(kRate * 10, 20);
    QVERIFY(cutter.Feed(quiet).empty());
    QVERIFY(cutter.held() < kRate);
  }

  void theStatusBarSaysWhatEachJobCameTo() {
    const struct {
      JobCounts counts;
      const char* says;
    } cases[] = {
        {{.what = "Calibrate", .accepted = 3}, "Calibrate: 3 calibrations accepted"},
        {{.what = "Calibrate", .accepted = 1, .rejected = 2},
         "Calibrate: 1 calibration accepted, 2 calibration takes rejected"},
        {{.what = "Check", .checked = 2, .refused = 1}, "Check: 2 takes checked, 1 refused"},
        {{.what = "Check", .cancelled = true, .checked = 1}, "Check cancelled: 1 take checked"},
        {{.what = "Opening", .opened = 1, .failed = 1, .errors = 1},
         "Opening: 1 take opened, 1 take failed, 1 error (see Messages)"},
        {{.what = "Profile", .profile = "4110 (12 checks)"}, "Profile: 4110 (12 checks)"},
        {{.what = "Initialise"}, ""},                                             // its note stays
        {{.what = "Check", .opened = 1, .checked = 1}, "Check: 1 take checked"},  // recorded
    };
    for (const auto& c : cases) QCOMPARE(JobSummary(c.counts), QString(c.says));
    // At the desk: what was done last, not the new speaker the session began with.
    Calibrated();
    QCOMPARE(statusBarText(), QString("Calibrate: 3 calibrations accepted"));
    Click("checkAll");
    QCOMPARE(statusBarText(), QString("Check: 12 takes checked"));
    Click("profile");
    QVERIFY2(statusBarText().startsWith("Profile: ") && statusBarText().endsWith(" (12 checks)"),
             qPrintable(statusBarText()));
  }

  void initialiseSetsTheHistoryAside() {
    QTemporaryDir dir;
    Calibrated();
    Select(kChecks.mid(0, 2));
    Click("check");
    QVERIFY(window().trendPicture().hasDrawing());
    Click("initialise");
    QVERIFY2(window().messages().contains("the 2 checks made before are set aside"),
             qPrintable(window().messages()));
    QVERIFY(!window().trendPicture().hasDrawing());
    Select({kChecks[2]});
    Click("check");
    Click("profile");
    QVERIFY(window().findChild<QLabel*>("profileTitle")->text().contains("(1 check)"));
    window().saveBag(dir.filePath("alex.json"));
    WaitIdle();
    const QStringList history = Lines(dir.filePath("alex.history.jsonl"));
    QCOMPARE(history.size(), 1);
    QVERIFY(history[0].contains(QFileInfo(kChecks[2]).fileName()));
    // The calibration stays: the others can be checked against it.
    QVERIFY(window().findChild<QPushButton*>("checkAll")->isEnabled());
    // A bag of a single check draws its trend when loaded, as any other.
    Click("initialise");
    QVERIFY(!window().trendPicture().hasDrawing());
    window().loadBag(dir.filePath("alex.json"));
    WaitIdle();
    QVERIFY2(window().messages().contains("(1 check in its history)"),
             qPrintable(window().messages()));
    QVERIFY(window().trendPicture().hasDrawing());
  }

  void aSessionKeepsItsRefusedChecksForTheTrend() {
    QTemporaryDir dir;
    const QString silent = dir.filePath("silence.wav");
    WriteTone(silent, 220, 0);
    std::vector<analysis::HistoryRow> history, checks, cleared;
    std::int16_t count = -1;
    std::thread([&] {
      analysis::SampleSource source;
      analysis::Session session("", {}, source);
      session.Start();
      for (const QString& take : {kChecks[0], silent, kChecks[1]})
        session.Check({take.toStdString(), take.toStdString()});
      history = session.History();
      checks = session.Checks();
      session.ClearHistory();
      cleared = session.Checks();
      count = session.control().profile_count();
    }).join();
    QCOMPARE(history.size(), std::size_t{2});
    QCOMPARE(checks.size(), std::size_t{3});
    QCOMPARE(checks[0].code, history[0].code);
    QCOMPARE(checks[1].code, std::int16_t{-1});  // too short or silent
    QCOMPARE(checks[2].code, history[1].code);
    QVERIFY(cleared.empty());
    QCOMPARE(count, std::int16_t{0});
  }

  void theTrendKeepsItsLegendClearAndShowsRefusedChecks() {
    // The last check at the top right, where a legend beside the plot would sit on it, and a
    // refused check between the others.
    const plot::TrendPicture picture{
        "checks", {{100, 110, 90, 1}, {0, 0, 0, -1}, {250, 240, 230, 3}}, {{"band high", 160}}};
    const QStringList names = {"lie stress", "global stress", "excitement", "refused check"};
    const auto strongly_coloured = [](QRgb p) {
      return std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) >
             100;
    };
    for (const QSize size : {QSize(900, 420), QSize(480, 200)}) {
      plot::TrendLayout layout;
      const QImage image = PaintImage(size.width(), size.height(), [&](cairo_t* cr) {
        plot::DrawTrend(cr, picture, size.width(), size.height());
        layout = plot::LayOutTrend(cr, picture, size.width(), size.height());
      });
      QStringList shown;
      for (const auto& entry : layout.legend) {
        shown << QString::fromStdString(entry.name);
        // Inside the picture, above the plot: no point can lie under it.
        QVERIFY(entry.box.left >= 0 && entry.box.right <= size.width() && entry.box.top >= 0);
        QVERIFY(entry.box.bottom <= layout.plot.top);
      }
      QCOMPARE(shown, names);
      // The last check's lie stress dot, in its colour (0.8, 0.1, 0.1), at the top right.
      const QRgb last = image.pixel(qRound(layout.X(2)), qRound(layout.Y(250)));
      QVERIFY2(std::abs(qRed(last) - 204) < 8 && qGreen(last) < 40 && qBlue(last) < 40,
               qPrintable(QString::number(last, 16)));
      // The refused check: no dot and no line through its place, an orange cross on the axis.
      const int x = qRound(layout.X(1));
      for (int y = qRound(layout.plot.top); y < qRound(layout.plot.bottom) - 12; ++y) {
        for (int dx = -1; dx <= 1; ++dx) QVERIFY(!strongly_coloured(image.pixel(x + dx, y)));
      }
      bool cross = false;
      for (int y = qRound(layout.plot.bottom) - 12; y <= qRound(layout.plot.bottom); ++y) {
        for (int dx = -4; dx <= 4; ++dx) {
          const QRgb p = image.pixel(x + dx, y);
          cross = cross || (qRed(p) > 180 && qGreen(p) > 70 && qGreen(p) < 160 && qBlue(p) < 60);
        }
      }
      QVERIFY(cross);
    }
  }

  void picturesAreDrawnForTheViewsSize() {
    // Pixels per drawing unit for a drawing laid out for 900 x 420 units, clear down to 480 x 200.
    const Drawing drawing{[](cairo_t*, double, double) {}, {900, 420}, {480, 200}};
    const struct {
      QSizeF view;
      double scale;
    } cases[] = {
        {{1200, 600}, 1200.0 / 900},  // larger than natural at the readable scale: it grows
        {{900, 420}, 1.2},            // labels at the window's text size
        {{600, 300}, 1.2},
        {{480, 150}, 0.75},  // too low for the labels at 1.2: the least height fills it
        {{240, 400}, 0.5},   // too narrow: the least width fills it
    };
    for (const auto& c : cases) QCOMPARE(DrawingScale(c.view, drawing), c.scale);
    // At the size the window opens at, the trend's smallest labels (9 units) are 9 pixels or
    // more, and the picture is drawn for the view, not scaled to it.
    window().resize(1280, 760);
    Calibrated();
    Select(kChecks.mid(0, 2));
    Click("check");
    const PictureView& trend = window().trendPicture();
    QVERIFY2(trend.scale() >= 1, qPrintable(QString::number(trend.scale())));
    QCOMPARE(trend.image().size(), trend.size() * trend.devicePixelRatio());
  }

  void noSoundInputSaysWhatToDo() {
    // Sources as `pactl list short sources` lists them; what the advice must name.
    const struct {
      const char* sources;
      const char* says;
    } cases[] = {
        {"", "there is no sound input to record from: connect a microphone"},
        {"1\talsa_input.usb-mic\tmodule-alsa-card.c\ts16le 1ch 48000Hz\tSUSPENDED\n",
         "there is no sound input to record from: connect a microphone"},
        {"0\talsa_output.pci.analog-stereo.monitor\tmodule-alsa-card.c\ts16le 2ch "
         "44100Hz\tIDLE\n",
         "only input is 'alsa_output.pci.analog-stereo.monitor', the monitor of an output"},
        {"garbage\n0\tv.monitor\tmodule-null-sink.c\ts16le 2ch 44100Hz\tIDLE\n",
         "(pactl load-module module-remap-source master=v.monitor source_name=pellix_input)"},
    };
    for (const auto& c : cases) {
      const QString advice = NoInputAdvice(c.sources);
      QVERIFY2(advice.contains(c.says), qPrintable(advice));
    }
  }

  void recordsWhatASoundServerPlays() {
    if (qEnvironmentVariableIsEmpty("PELLIX_SOUND_SERVER_TEST"))
      QSKIP("set PELLIX_SOUND_SERVER_TEST=1 (the qt.desk_record test runs this)");
    QTemporaryDir dir;
    SoundServer server(dir.path());
    if (!server.running()) QSKIP(qPrintable("no sound server could start: " + server.problem()));
    // Three of alex's takes, each after a second of faint hiss (well apart: the segmenter ends
    // an utterance after 0.3 s of pause), and a second of hiss after the last.
    std::uint32_t noise = 1;
    std::vector<short> stream;
    const auto hiss = [&] {
      for (int i = 0; i < testing::kExampleStreamRate; ++i) {
        noise = noise * 1664525u + 1013904223u;
        stream.push_back(static_cast<short>(static_cast<int>(noise >> 26) - 32));
      }
    };
    const char* played[] = {"alex_calibrate_1", "alex_check_03", "alex_check_01"};
    std::vector<double> played_s;
    hiss();
    for (const char* name : played) {
      const std::vector<short> take =
          testing::ReadShorts((kRecordings + name + ".wav").toStdString());
      QVERIFY(!take.empty());
      played_s.push_back(static_cast<double>(take.size()) / testing::kExampleStreamRate);
      stream.insert(stream.end(), take.begin(), take.end());
      hiss();
    }
    testing::WriteShorts((dir.filePath("speech.wav")).toStdString(), stream);

    // The lengths in seconds of the utterances a recorder cuts.
    const auto lengths = [this](Recorder& recorder, std::vector<double>& into) {
      connect(&recorder, &Recorder::utterance, this,
              [&into](const std::vector<std::int16_t>& samples, std::uint32_t rate) {
                into.push_back(static_cast<double>(samples.size()) / rate);
              });
    };
    // What the recorder cuts from the same sound read from memory.
    std::vector<double> from_memory;
    Recorder reference;
    lengths(reference, from_memory);
    QByteArray pcm = Pcm(stream);
    QBuffer buffer(&pcm);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    reference.startSource(&buffer, testing::kExampleStreamRate);
    QCOMPARE(from_memory.size(), std::size_t{3});

    // Record, play the speech into the sink, let the last pause pass, press Stop.
    std::vector<double> recorded;
    lengths(window().recorder(), recorded);
    double loudest = -96;
    connect(&window().recorder(), &Recorder::level, this,
            [&](double dbfs) { loudest = std::max(loudest, dbfs); });
    Click("initialise");
    // The server's only input is the sink's monitor, which Qt does not offer: the desk says so,
    // and what to do. Done, Record records what is played.
    Click("record");
    QVERIFY(!window().recorder().recording());
    const QString remap =
        "pactl load-module module-remap-source master=v.monitor source_name=pellix_input";
    QVERIFY2(window().messages().contains("only input is 'v.monitor'") &&
                 window().messages().contains("connect a microphone") &&
                 window().messages().contains(remap),
             qPrintable(window().messages()));
    QVERIFY2(server.Run(remap.split(' '), 20000), qPrintable(server.problem()));
    QTRY_VERIFY_WITH_TIMEOUT(!QMediaDevices::audioInputs().isEmpty(), 20000);
    Click("record");
    QVERIFY2(window().recorder().recording(), qPrintable(window().messages()));
    QVERIFY2(server.Run({"paplay", "speech.wav"}, 60000), qPrintable(server.problem()));
    QTest::qWait(700);
    QVERIFY(loudest > -20);
    QCOMPARE(window().findChild<QProgressBar*>("level")->value() < -40, true);
    Click("record");
    QVERIFY(!window().recorder().recording());
    WaitIdle();
    QCOMPARE(window().findChild<QPushButton*>("record")->text(), QString("Record"));
    QCOMPARE(window().findChild<QProgressBar*>("level")->value(), -60);

    // One take for each utterance played, cut at the pauses: no longer than what was played
    // (the hiss around it is no part of it), most of it, and as long as the same sound read
    // from memory gives, within three 10 ms frames.
    QCOMPARE(recorded.size(), std::size_t{3});
    for (std::size_t i = 0; i < 3; ++i) {
      const QString seconds = QString("take %1: %2 s of %3 s played, %4 s from memory")
                                  .arg(i)
                                  .arg(recorded[i])
                                  .arg(played_s[i])
                                  .arg(from_memory[i]);
      qInfo("%s", qPrintable(seconds));
      QVERIFY2(recorded[i] <= played_s[i] && recorded[i] > played_s[i] / 2, qPrintable(seconds));
      QVERIFY2(std::abs(recorded[i] - from_memory[i]) < 0.03, qPrintable(seconds));
    }
    QCOMPARE(window().takes().count(), 3);
    QCOMPARE(window().results().rowCount(), 3);
    QCOMPARE(window().messages().count("Error"), 1);  // only the first Record's

    // A server that goes away mid-recording ends it, and says so.
    Click("record");
    QVERIFY(window().recorder().recording());
    server.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(!window().recorder().recording(), 20000);
    QVERIFY2(window().messages().contains("recording stopped: the sound input failed"),
             qPrintable(window().messages()));
  }

  void roughEdgesStaySmoothed() {
    // Disabled buttons say why.
    const auto tip = [&](const char* name) {
      return window().findChild<QPushButton*>(name)->toolTip();
    };
    QVERIFY(tip("calibrate").contains("Not now: open recordings first"));
    QVERIFY(tip("exportCsv").contains("Not now: no results yet"));
    QVERIFY(tip("cancel").contains("Not now: nothing runs"));
    Drop(kCalibrations + kChecks.mid(0, 2));
    QVERIFY(tip("check").contains("Not now: select takes"));
    // The status line follows what was done; checking all waits for a calibration.
    Click("initialise");
    QVERIFY(statusBarText().contains("initialised with"));
    QVERIFY(tip("checkAll").contains("Not now: calibrate on some takes first"));
    // "Check all the others" leaves the selected takes alone after a (calibrated) bag is loaded,
    // and a load keeps the results.
    QTemporaryDir dir;
    Select(kCalibrations);
    Click("calibrate");
    QCOMPARE(window().results().rowCount(), 3);
    window().saveBag(dir.filePath("bag.json"));
    WaitIdle();
    window().loadBag(dir.filePath("bag.json"));
    WaitIdle();
    QVERIFY(!statusBarText().contains("initialise it"));
    Click("checkAll");
    QCOMPARE(window().results().rowCount(), 5);
    QVERIFY(tip("checkAll").contains("Not now: every take not selected has been analysed"));
    // MP3s in a folder are takes.
    QTemporaryDir folder;
    WriteTone(folder.filePath("phone.mp3"), 180, 0.3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
    window().openFiles({folder.path()});
    WaitIdle();
    QCOMPARE(window().takes().count(), 6);
    // A window that fits the screen: 1920 x 1080 at a scale of 1.5 is 1280 x 720 logical.
    const struct {
      QSize available;
      QSize want;
    } screens[] = {
        {{1280, 720}, {1216, 648}},   // 95% and 90% of it
        {{2560, 1440}, {1280, 760}},  // the size it was laid out for
    };
    for (const auto& s : screens) QCOMPARE(DeskWindow::StartingSize(s.available), s.want);
    // Help and the version answer without a window, and without a display; so does a
    // command line with something wrong, in words and with the usage status 2.
    QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      headless.remove(name);
    const struct {
      QStringList arguments;
      int status;
      const char* prints;
    } asks[] = {
        {{"--help"}, 0, "Usage:"},
        {{"-h", "a.wav"}, 0, "Usage:"},
        {{"-v"}, 0, "pellix-desk 0.1.0"},
        {{"--bogus"}, 2, "pellix-desk: Unknown option 'bogus'."},
        {{"a.wav", "-x"}, 2, "pellix-desk: Unknown option 'x'."},
        {{"--help=yes"}, 2, "pellix-desk: Unexpected value after '--help'."},
        // Qt's own options are no error: with a platform that needs no display, help still.
        {{"-platform", "offscreen", "--help"}, 0, "Usage:"},
        {{"--reverse", "-v"}, 0, "pellix-desk 0.1.0"},
    };
    for (const auto& ask : asks) {
      QProcess desk;
      desk.setProcessEnvironment(headless);
      desk.start(PELLIX_DESK, ask.arguments);
      QVERIFY(desk.waitForFinished(30000));
      QCOMPARE(desk.exitCode(), ask.status);  // not 134, an abort for want of a display
      const QByteArray said =
          ask.status == 0 ? desk.readAllStandardOutput() : desk.readAllStandardError();
      QVERIFY2(said.contains(ask.prints), said.constData());
    }
  }

  void screenshots() {
    const QString folder = qEnvironmentVariable("PELLIX_SCREENSHOTS");
    if (folder.isEmpty()) QSKIP("set PELLIX_SCREENSHOTS (the qt.desk_screenshots test runs this)");
    QVERIFY(QDir().mkpath(folder));
    // The README's picture: the default size, the profile explained.
    Calibrated();
    Click("checkAll");
    Click("profile");
    window().resize(1280, 760);
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    QTest::qWait(200);
    QVERIFY(window().grab().save(folder + "/pellix-desk.png", "PNG"));
    // A silent take checked last: the trend shows where it was refused.
    QTemporaryDir dir;
    const QString silent = dir.filePath("silence.wav");
    WriteTone(silent, 220, 0);
    window().openFiles({silent});
    WaitIdle();
    Select({silent});
    Click("check");
    window().takes().setCurrentRow(3 + 4);
    const struct {
      const char* name;
      QSize size;
    } sizes[] = {{"default", {1280, 760}}, {"small", {900, 560}}};  // as narrow as it goes
    auto* views = window().findChild<QTabWidget*>("views");
    for (const auto& size : sizes) {
      window().resize(size.size);
      for (int tab = 0; tab < views->count(); ++tab) {
        views->setCurrentIndex(tab);
        QTest::qWait(200);
        const QString path =
            folder + "/desk-" + views->tabText(tab).toLower() + "-" + size.name + ".png";
        QVERIFY(window().grab().save(path, "PNG"));
        qInfo("screenshot written to %s", qPrintable(path));
      }
    }
  }
};

}  // namespace pellix::desk

QTEST_MAIN(pellix::desk::DeskTest)
#include "desk_test.moc"
