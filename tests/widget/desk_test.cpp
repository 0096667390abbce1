// pellix-desk driven as a person drives it: recordings dropped on the window, Initialise,
// Calibrate on three takes, Check the twelve others, Profile; the results list, the profile and
// the panel agree with pellix analyze on the same takes. A cancel in the middle leaves a
// session that carries on as if never interrupted; failures are shown in words with their
// numbers; a failed save keeps the old bag. A tone and a clipped take are flagged; a bag's
// check history goes from the desk to pellix analyze --state and back; recorded utterances
// become checked takes; and the rough edges a new user met stay smoothed. Run under xvfb-run
// with PELLIX_SCREENSHOT set, it also writes a picture of the window.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <cmath>
#include <numbers>
#include <thread>
#include <variant>

#include <sndfile.h>

#include "analysis/session.h"
#include "analysis/take_facts.h"
#include "desk/desk_window.h"
#include "desk/picture_view.h"
#include "desk/profile_explanation.h"
#include "desk/recorder.h"
#include "desk/results_model.h"
#include "desk/speaker_session.h"
#include "desk/utterance_cutter.h"
#include "platform/error.h"
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
                 QString::fromStdString(w.code));
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
    Calibrated();
    Select(kChecks.mid(0, 3));
    Click("check");
    window().saveBag(dir.filePath("alex"));  // the extension is added
    WaitIdle();
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
    // The status line follows what was done.
    Click("initialise");
    QVERIFY(statusBarText().contains("initialised with"));
    // "Check all the others" leaves the selected takes alone, before and after a bag is loaded,
    // and a load keeps the results.
    QTemporaryDir dir;
    window().saveBag(dir.filePath("bag.json"));
    WaitIdle();
    Select(kCalibrations);
    window().loadBag(dir.filePath("bag.json"));
    WaitIdle();
    QVERIFY(!statusBarText().contains("initialise it"));
    Click("checkAll");
    QCOMPARE(window().results().rowCount(), 2);
    Click("calibrate");
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
    // --help answers without a window.
    QProcess desk;
    desk.start(PELLIX_DESK, {"--help"});
    QVERIFY(desk.waitForFinished(30000));
    QCOMPARE(desk.exitCode(), 0);
    QVERIFY(desk.readAllStandardOutput().contains("Usage:"));
  }

  void screenshot() {
    const QString path = qEnvironmentVariable("PELLIX_SCREENSHOT");
    if (path.isEmpty()) QSKIP("set PELLIX_SCREENSHOT (the qt.desk_screenshot test runs this)");
    Calibrated();
    Click("checkAll");
    Click("profile");
    window().resize(1280, 760);
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    QTest::qWait(200);
    QVERIFY(window().grab().save(path, "PNG"));
    qInfo("screenshot written to %s", qPrintable(path));
  }
};

}  // namespace pellix::desk

QTEST_MAIN(pellix::desk::DeskTest)
#include "desk_test.moc"
