// The main window of pellix-desk: the takes of one speaker, the control's panel, the results
// list, the profile, and pictures of the selected take and of the speaker's checks. The speaker's
// session runs on a worker thread, so the window stays responsive through a folder of a hundred
// takes and can cancel between two of them.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>
#include <functional>

#include "analysis/records.h"
#include "desk/job_summary.h"
#include "desk/take_pictures.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTableWidget;
class QTabWidget;

namespace pellix {
class PellixWidget;
}

namespace pellix::desk {

class PictureView;
class Recorder;
class ResultsModel;
class SpeakerSession;

class DeskWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit DeskWindow(QWidget* parent = nullptr);
  // Cancels what runs, lets the session's control go on its thread and stops the thread.
  ~DeskWindow() override;

  // What the buttons do once a file is chosen.
  void openFiles(const QStringList& paths);
  void loadBag(const QString& path);
  // Adds ".json" to a name without an extension.
  void saveBag(const QString& path);
  // Writes the results list as pellix analyze --format csv does.
  void exportCsv(const QString& path);
  // Starts recording from the default input device, as the Record button does.
  void record();
  // The recorder the Record button drives; tests start it on a source of their own.
  Recorder& recorder() const { return *recorder_; }

  // True while the session has work queued or running.
  bool busy() const { return pending_jobs_ > 0; }
  // Every message shown so far, one per line.
  QString messages() const;

  PellixWidget& panel() const { return *panel_; }
  ResultsModel& results() const { return *results_; }
  QListWidget& takes() const { return *takes_; }
  QTableWidget& profileTable() const { return *profile_table_; }
  SpeakerSession& session() const { return *session_; }
  // The picture of the take shown (the selected one's), and of the speaker's checks.
  const PictureView& takePicture() const { return *take_picture_; }
  const PictureView& trendPicture() const { return *trend_picture_; }

  // A size for the window on a screen of `available` logical pixels: the size it was laid out
  // for where that fits, less where it does not.
  static QSize StartingSize(const QSize& available);
  // What the panel's tooltip says at `pos`: the value cell there by name, with its whole
  // caption (the panel cuts a long value at the cell's edge, as the control's labels do).
  static QString PanelTip(const PellixWidget& panel, const QPoint& pos);

 signals:
  // The session has finished every job asked of it.
  void idle();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildControls();
  QWidget* BuildRecording();
  QWidget* BuildTakes();
  QWidget* BuildPanel();
  QWidget* BuildResults();
  void ConnectSession();
  void Run(std::function<void(SpeakerSession&)> job);
  QStringList SelectedTakes() const;
  QStringList UnanalysedTakes() const;
  void UpdateButtons();
  void ShowPictureOf(const QString& take);
  void ShowMessage(bool error, const QString& text);
  void ShowRecord(const analysis::Record& record);
  void ShowProfile(const analysis::ProfileRecord& profile);

  QThread thread_;
  SpeakerSession* session_ = nullptr;  // lives on thread_
  int pending_jobs_ = 0;
  bool cancel_asked_ = false;
  QSet<QString> analysed_;            // takes with a row in the results
  QHash<QString, Drawing> pictures_;  // each take's picture, as its last analysis drew it
  bool calibrated_ = false;           // the speaker has a calibration: checking all makes sense
  JobCounts job_;                     // what the job in hand did so far
  analysis::TakeTally job_takes_;     // and its takes, put into job_ when it ends
  int recordings_ = 0;                // utterances recorded so far, to name the next one

  PellixWidget* panel_ = nullptr;
  ResultsModel* results_ = nullptr;
  QComboBox* params_ = nullptr;
  QListWidget* takes_ = nullptr;
  QTableView* results_view_ = nullptr;
  QTableWidget* profile_table_ = nullptr;
  QTabWidget* views_ = nullptr;
  PictureView* take_picture_ = nullptr;
  PictureView* trend_picture_ = nullptr;
  QLabel* profile_title_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* job_label_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* initialise_ = nullptr;
  QPushButton* calibrate_ = nullptr;
  QPushButton* check_ = nullptr;
  QPushButton* check_all_ = nullptr;
  QPushButton* profile_ = nullptr;
  QPushButton* cancel_ = nullptr;
  Recorder* recorder_ = nullptr;
  QPushButton* record_ = nullptr;
  QProgressBar* level_ = nullptr;
  QComboBox* recorded_role_ = nullptr;
};

}  // namespace pellix::desk
