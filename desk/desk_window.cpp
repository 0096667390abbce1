#include "desk/desk_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <variant>

#include "analysis/result_meanings.h"
#include "analysis/session.h"
#include "desk/picture_view.h"
#include "desk/profile_explanation.h"
#include "desk/recorder.h"
#include "desk/results_model.h"
#include "desk/speaker_session.h"
#include "files/atomic_file.h"
#include "platform/error.h"
#include "widget/pellix_widget.h"

namespace pellix::desk {
namespace {

// The names a folder's listing takes in (analysis::IsRecordingName), for the open dialog.
constexpr const char* kRecordingFilter =
    "Recordings and sample files (*.wav *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.aifc *.au "
    "*.caf *.smp);;All files (*)";
constexpr const char* kBagFilter = "Property bags (*.json);;All files (*)";
constexpr const char* kCsvFilter = "CSV files (*.csv);;All files (*)";
constexpr int kTakeRole = Qt::UserRole;  // a take's full path, its name in the session

QPushButton* Button(const QString& text, const char* name, const QString& tip) {
  auto* button = new QPushButton(text);
  button->setObjectName(name);
  button->setToolTip(tip);
  return button;
}

QString Html(const QString& text) {
  return text.toHtmlEscaped();
}

// `path`, with `extension` added when its name has none.
QString WithExtension(const QString& path, const QString& extension) {
  return QFileInfo(path).suffix().isEmpty() ? path + extension : path;
}

// Enables `widget` when `why_not` is empty; otherwise disables it and says why in its tooltip,
// after what it does.
void Allow(QWidget* widget, const QString& why_not) {
  static const char* kTip = "pellixTip";
  if (!widget->property(kTip).isValid()) widget->setProperty(kTip, widget->toolTip());
  const QString tip = widget->property(kTip).toString();
  widget->setEnabled(why_not.isEmpty());
  widget->setToolTip(why_not.isEmpty() ? tip : tip + "\n\nNot now: " + why_not);
}

}  // namespace

DeskWindow::DeskWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("pellix-desk");
  setAcceptDrops(true);
  results_ = new ResultsModel(this);

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  recorder_ = new Recorder(this);
  auto* top = new QHBoxLayout;
  top->addWidget(BuildControls());
  top->addSpacing(16);
  top->addWidget(BuildRecording());
  top->addStretch(1);
  layout->addLayout(top);
  auto* split = new QSplitter(Qt::Horizontal);
  split->addWidget(BuildTakes());
  split->addWidget(BuildPanel());
  split->addWidget(BuildResults());
  split->setStretchFactor(2, 1);
  layout->addWidget(split, 1);

  auto* progress_row = new QHBoxLayout;
  job_label_ = new QLabel;
  progress_ = new QProgressBar;
  progress_->setObjectName("progress");
  cancel_ = Button("Cancel", "cancel", "Stop after the take in hand");
  progress_row->addWidget(job_label_);
  progress_row->addWidget(progress_, 1);
  progress_row->addWidget(cancel_);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    session_->cancel();
    cancel_asked_ = true;
    job_label_->setText("Cancelling…");
  });
  layout->addLayout(progress_row);
  setCentralWidget(central);

  session_ = new SpeakerSession([panel = panel_](ALG_V1S* control) {
    if (control != nullptr) {
      panel->attach(*control);
    } else {
      panel->detach();
    }
  });
  session_->moveToThread(&thread_);
  ConnectSession();
  thread_.start();
  Run([params = params_->currentText()](SpeakerSession& s) { s.start(params); });
}

QSize DeskWindow::StartingSize(const QSize& available) {
  const QSize laid_out(1280, 760);
  // A frame and a panel or task bar take some of what the screen offers.
  return laid_out.boundedTo(QSize(available.width() * 95 / 100, available.height() * 9 / 10));
}

DeskWindow::~DeskWindow() {
  session_->cancel();
  QMetaObject::invokeMethod(
      session_,
      [s = session_] {
        s->resume();
        s->finish();
      },
      Qt::BlockingQueuedConnection);
  thread_.quit();
  thread_.wait();
  delete session_;
}

QWidget* DeskWindow::BuildControls() {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  open_ =
      Button("Open recordings…", "open", "WAV, FLAC, Ogg, AIFF or sample files; or drop them here");
  load_ = Button("Load bag…", "loadBag", "A speaker's saved properties (pellix analyze --state)");
  save_ = Button("Save bag…", "saveBag",
                 "Save the speaker's properties as a JSON bag, with the check history beside it "
                 "(pellix analyze --state carries on from there)");
  export_ = Button("Export CSV…", "exportCsv",
                   "Save the results list as pellix analyze --format csv writes it");
  params_ = new QComboBox;
  params_->setObjectName("params");
  params_->setEditable(true);
  params_->addItem(analysis::kDefaultParams);
  params_->setToolTip(
      "The packed parameter string: characters 4-5 shortest jump, 6-7 longest jump, 8-9 "
      "density level, 10 mode, 11-12 background border, 13-14 background filter, 15-16 "
      "volume, 17-18 added volume");
  params_->setMinimumContentsLength(20);
  initialise_ = Button("Initialise", "initialise",
                       "New parameters for this speaker: DATAstr := the parameters, then "
                       "Initalize (a new speaker and a loaded bag start with them)");
  layout->addWidget(open_);
  layout->addWidget(load_);
  layout->addWidget(save_);
  layout->addWidget(export_);
  layout->addSpacing(16);
  layout->addWidget(new QLabel("Parameters:"));
  layout->addWidget(params_);
  layout->addWidget(initialise_);

  connect(open_, &QPushButton::clicked, this, [this] {
    const QStringList files =
        QFileDialog::getOpenFileNames(this, "Open recordings", {}, kRecordingFilter);
    if (!files.isEmpty()) openFiles(files);
  });
  connect(load_, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, "Load bag", {}, kBagFilter);
    if (!file.isEmpty()) loadBag(file);
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getSaveFileName(this, "Save bag", {}, kBagFilter);
    if (!file.isEmpty()) saveBag(file);
  });
  connect(export_, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getSaveFileName(this, "Export CSV", {}, kCsvFilter);
    if (!file.isEmpty()) exportCsv(file);
  });
  connect(initialise_, &QPushButton::clicked, this, [this] {
    const QString params = params_->currentText();
    if (params_->findText(params) < 0) params_->addItem(params);
    Run([params](SpeakerSession& s) { s.initialise(params); });
  });
  return row;
}

QWidget* DeskWindow::BuildRecording() {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  record_ = Button("Record", "record",
                   "Listen to the sound input: each utterance becomes a take as it ends, and is "
                   "calibrated on or checked at once");
  record_->setCheckable(true);
  level_ = new QProgressBar;
  level_->setObjectName("level");
  level_->setRange(-60, 0);
  level_->setValue(-60);
  level_->setFormat("%v dBFS");
  level_->setToolTip("The input's peak level; speech should reach -20 dBFS or so, never 0");
  level_->setMaximumWidth(fontMetrics().horizontalAdvance("M") * 16);
  recorded_role_ = new QComboBox;
  recorded_role_->setObjectName("recordedRole");
  recorded_role_->addItems({"check each utterance", "calibrate on each utterance"});
  layout->addWidget(record_);
  layout->addWidget(level_);
  layout->addWidget(recorded_role_);

  connect(record_, &QPushButton::clicked, this, [this](bool on) {
    if (on) {
      record();
    } else {
      recorder_->stop();
    }
  });
  connect(recorder_, &Recorder::level, this, [this](double dbfs) {
    // A bar ignores values outside its range: below it is silence enough.
    level_->setValue(
        std::clamp(static_cast<int>(std::lround(dbfs)), level_->minimum(), level_->maximum()));
  });
  connect(recorder_, &Recorder::utterance, this,
          [this](const std::vector<std::int16_t>& samples, std::uint32_t rate) {
            const QString name = QString("Recording %1 (%2)")
                                     .arg(++recordings_)
                                     .arg(QTime::currentTime().toString("HH.mm.ss"));
            const bool calibration = recorded_role_->currentIndex() == 1;
            Run([name, samples, rate, calibration](SpeakerSession& s) {
              s.analyseRecorded(name, samples, rate, calibration);
            });
          });
  connect(recorder_, &Recorder::stopped, this, [this](const QString& error) {
    record_->setChecked(false);
    record_->setText("Record");
    if (!error.isEmpty()) ShowMessage(true, "recording stopped: " + error);
  });
  return row;
}

void DeskWindow::record() {
  QString error;
  if (!recorder_->startDevice(error)) {
    record_->setChecked(false);
    ShowMessage(true, "cannot record: " + error);
    return;
  }
  record_->setChecked(true);
  record_->setText("Stop");
  ShowMessage(false, "recording: speak, and pause between utterances");
}

QWidget* DeskWindow::BuildTakes() {
  auto* box = new QWidget;
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel("Takes"));
  takes_ = new QListWidget;
  takes_->setObjectName("takes");
  takes_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  layout->addWidget(takes_, 1);
  calibrate_ = Button("Calibrate on selected", "calibrate", "Calibrate on each selected take");
  check_ = Button("Check selected", "check", "Check each selected take");
  check_all_ = Button("Check all the others", "checkAll",
                      "Check every take that is not selected and not yet calibrated on or checked");
  profile_ = Button("Profile", "profile", "Run the profiler (ten checks or more)");
  for (QPushButton* button : {calibrate_, check_, check_all_, profile_}) layout->addWidget(button);

  connect(takes_, &QListWidget::itemSelectionChanged, this, &DeskWindow::UpdateButtons);
  connect(takes_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item != nullptr) ShowPictureOf(item->data(kTakeRole).toString());
  });
  connect(calibrate_, &QPushButton::clicked, this,
          [this] { Run([takes = SelectedTakes()](SpeakerSession& s) { s.calibrate(takes); }); });
  connect(check_, &QPushButton::clicked, this,
          [this] { Run([takes = SelectedTakes()](SpeakerSession& s) { s.check(takes); }); });
  connect(check_all_, &QPushButton::clicked, this,
          [this] { Run([takes = UnanalysedTakes()](SpeakerSession& s) { s.check(takes); }); });
  connect(profile_, &QPushButton::clicked, this,
          [this] { Run([](SpeakerSession& s) { s.profile(); }); });
  return box;
}

QWidget* DeskWindow::BuildPanel() {
  auto* box = new QWidget;
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel("The control"));
  panel_ = new PellixWidget(PellixWidget::WithoutControl{});
  panel_->setObjectName("panel");
  panel_->installEventFilter(this);
  layout->addWidget(panel_);
  layout->addWidget(new QLabel("Messages"));
  log_ = new QPlainTextEdit;
  log_->setObjectName("messages");
  log_->setReadOnly(true);
  log_->setMaximumWidth(panel_->sizeHint().width());
  layout->addWidget(log_, 1);
  return box;
}

QWidget* DeskWindow::BuildResults() {
  const int row_height = fontMetrics().height() + 4;
  auto* split = new QSplitter(Qt::Vertical);
  results_view_ = new QTableView;
  results_view_->setObjectName("results");
  results_view_->setModel(results_);
  results_view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_view_->verticalHeader()->setDefaultSectionSize(row_height);
  split->addWidget(results_view_);
  connect(results_view_, &QTableView::clicked, this, [this](const QModelIndex& index) {
    ShowPictureOf(results_->data(results_->index(index.row(), ResultsModel::kTake), Qt::ToolTipRole)
                      .toString());
  });

  auto* box = new QWidget;
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  profile_title_ = new QLabel("Profile: none yet");
  profile_title_->setObjectName("profileTitle");
  profile_title_->setWordWrap(true);
  layout->addWidget(profile_title_);
  profile_table_ = new QTableWidget(0, 5);
  profile_table_->setObjectName("profile");
  profile_table_->setHorizontalHeaderLabels({"#", "Digit", "About", "Meaning", "Percentages"});
  profile_table_->verticalHeader()->hide();
  profile_table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The explanations wrap in columns that share the width, so nothing needs scrolling sideways.
  profile_table_->setWordWrap(true);
  profile_table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QHeaderView* header = profile_table_->horizontalHeader();
  for (int column : {0, 1}) header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  for (int column : {2, 3, 4}) header->setSectionResizeMode(column, QHeaderView::Stretch);
  profile_table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  layout->addWidget(profile_table_, 1);

  views_ = new QTabWidget;
  views_->setObjectName("views");
  take_picture_ =
      new PictureView("The selected take's waveform, once it is calibrated on or checked");
  take_picture_->setObjectName("takePicture");
  trend_picture_ = new PictureView("The speaker's checks, once there are any");
  trend_picture_->setObjectName("trendPicture");
  views_->addTab(box, "Profile");
  views_->addTab(take_picture_, "Take");
  views_->addTab(trend_picture_, "Trend");
  split->addWidget(views_);
  // The pictures get as much height as the list: their labels need it in a small window.
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 1);
  return split;
}

void DeskWindow::ConnectSession() {
  connect(session_, &SpeakerSession::jobStarted, this, [this](const QString& what, int steps) {
    job_ = JobCounts();
    job_takes_ = analysis::TakeTally();
    job_.what = what;
    job_label_->setText(what);
    progress_->setRange(0, std::max(steps, 1));
    progress_->setValue(0);
  });
  connect(session_, &SpeakerSession::progressed, this,
          [this](int done, int steps) { progress_->setValue(std::min(done, steps)); });
  connect(session_, &SpeakerSession::calibrationKnown, this,
          [this](bool calibrated) { calibrated_ = calibrated; });
  connect(session_, &SpeakerSession::jobFinished, this, [this](bool cancelled) {
    progress_->setValue(progress_->maximum());
    if (cancelled) job_label_->setText(job_label_->text() + ": cancelled");
    // The status bar says what the job came to, not the last note before it.
    job_.cancelled = cancelled;
    PutTakes(job_, job_takes_);
    if (const QString summary = JobSummary(job_); !summary.isEmpty())
      statusBar()->showMessage(summary);
    --pending_jobs_;
    UpdateButtons();
    if (pending_jobs_ == 0) emit idle();
  });
  connect(session_, &SpeakerSession::takeOpened, this, [this](const QString& take) {
    for (int row = 0; row < takes_->count(); ++row) {
      if (takes_->item(row)->data(kTakeRole).toString() == take) return;
    }
    ++job_.opened;
    auto* item = new QListWidgetItem(QFileInfo(take).fileName());
    item->setData(kTakeRole, take);
    item->setToolTip(take);
    takes_->addItem(item);
  });
  connect(session_, &SpeakerSession::recorded, this, &DeskWindow::ShowRecord);
  connect(session_, &SpeakerSession::message, this, &DeskWindow::ShowMessage);
  connect(session_, &SpeakerSession::sessionStarted, this,
          [this](const QString& what) { ShowMessage(false, "Started " + what); });
  connect(session_, &SpeakerSession::takeDrawn, this,
          [this](const QString& take, const Drawing& picture) {
            pictures_.insert(take, picture);
            ShowPictureOf(take);
          });
  connect(session_, &SpeakerSession::trendDrawn, trend_picture_, &PictureView::setDrawing);
}

void DeskWindow::Run(std::function<void(SpeakerSession&)> job) {
  // A cancel reaches every job asked for before it; the ones asked for after run again.
  if (cancel_asked_) {
    cancel_asked_ = false;
    QMetaObject::invokeMethod(
        session_, [s = session_] { s->resume(); }, Qt::QueuedConnection);
  }
  ++pending_jobs_;
  UpdateButtons();
  QMetaObject::invokeMethod(
      session_, [s = session_, job = std::move(job)] { job(*s); }, Qt::QueuedConnection);
}

void DeskWindow::openFiles(const QStringList& paths) {
  QStringList absolute;
  for (const QString& path : paths) absolute << QFileInfo(path).absoluteFilePath();
  Run([absolute](SpeakerSession& s) { s.open(absolute); });
}

void DeskWindow::loadBag(const QString& path) {
  Run([path, params = params_->currentText()](SpeakerSession& s) { s.loadBag(path, params); });
}

void DeskWindow::saveBag(const QString& path) {
  Run([path = WithExtension(path, ".json")](SpeakerSession& s) { s.saveBag(path); });
}

void DeskWindow::exportCsv(const QString& path) {
  const QString file = WithExtension(path, ".csv");
  try {
    WriteFileAtomically(file.toStdString(), results_->csv());
    ShowMessage(false,
                "exported " + QString::number(results_->rowCount()) + " rows to '" + file + "'");
  } catch (const PlatformError& e) {
    ShowMessage(true, "cannot export to '" + file + "' (error " + QString::number(e.number()) +
                          ": " + QString::fromStdString(std::string(e.description())) + ")");
  }
}

void DeskWindow::ShowPictureOf(const QString& take) {
  const auto found = pictures_.constFind(take);
  if (found == pictures_.constEnd()) return;
  take_picture_->setDrawing(*found);
}

QStringList DeskWindow::SelectedTakes() const {
  QStringList takes;
  for (int row = 0; row < takes_->count(); ++row) {
    if (takes_->item(row)->isSelected()) takes << takes_->item(row)->data(kTakeRole).toString();
  }
  return takes;
}

QStringList DeskWindow::UnanalysedTakes() const {
  // Selected takes are the ones being worked on (calibration takes, say): never "the others".
  QStringList takes;
  for (int row = 0; row < takes_->count(); ++row) {
    const QString take = takes_->item(row)->data(kTakeRole).toString();
    if (!analysed_.contains(take) && !takes_->item(row)->isSelected()) takes << take;
  }
  return takes;
}

void DeskWindow::UpdateButtons() {
  const QString busy_now = busy() ? "the desk is busy; wait, or Cancel" : QString();
  for (QWidget* w :
       {static_cast<QWidget*>(open_), static_cast<QWidget*>(load_), static_cast<QWidget*>(save_),
        static_cast<QWidget*>(initialise_), static_cast<QWidget*>(params_)}) {
    Allow(w, busy_now);
  }
  Allow(export_, !busy_now.isEmpty()         ? busy_now
                 : results_->rowCount() == 0 ? "no results yet"
                                             : QString());
  const QString no_selection = takes_->count() == 0 ? "open recordings first (or drop them here)"
                                                    : "select takes in the list first";
  const bool selected = !takes_->selectedItems().isEmpty();
  Allow(calibrate_, !busy_now.isEmpty() ? busy_now : selected ? QString() : no_selection);
  Allow(check_, !busy_now.isEmpty() ? busy_now : selected ? QString() : no_selection);
  Allow(check_all_, !busy_now.isEmpty()    ? busy_now
                    : takes_->count() == 0 ? "open recordings first (or drop them here)"
                    : !calibrated_
                        ? "calibrate on some takes first (or load a calibrated speaker's "
                          "bag): the others are checked against that calibration"
                    : UnanalysedTakes().isEmpty() ? "every take not selected has been analysed"
                                                  : QString());
  Allow(profile_, busy_now);
  Allow(cancel_, busy() ? QString() : "nothing runs");
}

QString DeskWindow::messages() const {
  return log_->toPlainText();
}

void DeskWindow::ShowMessage(bool error, const QString& text) {
  if (error) {
    ++job_.errors;
    log_->appendHtml("<span style=\"color:#B00020\">Error: " + Html(text) + "</span>");
    statusBar()->showMessage("Error: " + text);
  } else {
    log_->appendHtml("<span>" + Html(text) + "</span>");
    statusBar()->showMessage(text);
  }
}

void DeskWindow::ShowRecord(const analysis::Record& record) {
  if (const auto* profile = std::get_if<analysis::ProfileRecord>(&record)) {
    ShowProfile(*profile);
    return;
  }
  const auto* calibration = std::get_if<analysis::CalibrationRecord>(&record);
  const auto* check = std::get_if<analysis::CheckRecord>(&record);
  job_takes_.Add(record);
  const std::string& file = calibration != nullptr ? calibration->file
                            : check != nullptr     ? check->file
                                                   : std::get<analysis::FailureRecord>(record).file;
  const QString take = QString::fromStdString(file);
  analysed_.insert(take);
  for (int row = 0; row < takes_->count(); ++row) {
    QListWidgetItem* item = takes_->item(row);
    if (item->data(kTakeRole).toString() == take)
      item->setForeground(palette().color(QPalette::PlaceholderText));
  }
  results_->add(record);
  results_view_->scrollToBottom();
  results_view_->resizeColumnsToContents();
  UpdateButtons();
}

void DeskWindow::ShowProfile(const analysis::ProfileRecord& profile) {
  const QString checks =
      QString::number(profile.checks) + (profile.checks == 1 ? " check" : " checks");
  job_.profile = QString::fromStdString(profile.profile) + " (" + checks + ")";
  const std::vector<ProfileLine> lines = ExplainProfile(profile.profile);
  profile_table_->setRowCount(static_cast<int>(lines.size()));
  if (lines.empty()) {
    profile_title_->setText(
        "Profile " + QString::fromStdString(profile.profile) + " (" + checks + "): " +
        QString::fromStdString(profile.profile == "0" ? std::string(analysis::kProfileUnavailable)
                                                      : "not a profile this desk can read"));
    return;
  }
  profile_title_->setText("Profile " + QString::fromStdString(profile.profile) + " (" + checks +
                          "), digit by digit:");
  int row = 0;
  for (const ProfileLine& line : lines) {
    const QStringList cells = {QString::number(line.position), QString(QChar(line.digit)),
                               QString::fromStdString(line.topic),
                               QString::fromStdString(line.meaning),
                               QString::fromStdString(line.shares)};
    for (int column = 0; column < cells.size(); ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setToolTip(cells[column]);
      profile_table_->setItem(row, column, item);
    }
    ++row;
  }
}

QString DeskWindow::PanelTip(const PellixWidget& panel, const QPoint& pos) {
  const auto layout = PanelLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (!layout[i].value_cell || !panel.labelRect(i).contains(pos)) continue;
    return QString::fromUtf8(layout[i].name.data(), static_cast<qsizetype>(layout[i].name.size())) +
           ": " + panel.caption(i);
  }
  return {};
}

bool DeskWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == panel_ && event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = PanelTip(*panel_, help->pos());
    if (tip.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), tip, panel_);
    }
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void DeskWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void DeskWindow::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  openFiles(paths);
}

}  // namespace pellix::desk
