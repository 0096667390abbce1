// pellix-desk driven as a person drives it: recordings dropped on the window, Initialise,
// Calibrate on three takes, Check the twelve others, Profile; the results list, the profile and
// the panel agree with pellix analyze on the same takes. A cancel in the middle leaves a
// session that carries on as if never interrupted; failures are shown in words with their
// numbers; a failed save keeps the old bag. Run under xvfb-run with PELLIX_SCREENSHOT set, it
// also writes a picture of the window.
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <thread>
#include <variant>

#include "analysis/session.h"
#include "desk/desk_window.h"
#include "desk/profile_explanation.h"
#include "desk/results_model.h"
#include "desk/speaker_session.h"
#include "platform/error.h"
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
      code = control.get_CR_msgX();
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

    // A control that cannot hand out a caption cannot be saved: the file stays as it was.
    OnSessionThread([](ALG_V1S& control) {
      control.put_CAL_spT("99");
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
    QCOMPARE(window().results().rowCount(), 0);  // a new control: its session starts afresh
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
