// The main window of pellix-desk: the takes of one speaker, the control's panel, the results
// list and the profile. The speaker's session runs on a worker thread, so the window stays
// responsive through a folder of a hundred takes and can cancel between two of them.
#pragma once

#include <QMainWindow>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>
#include <functional>

#include "analysis/records.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTableWidget;

namespace pellix {
class PellixWidget;
}

namespace pellix::desk {

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
  void saveBag(const QString& path);

  // True while the session has work queued or running.
  bool busy() const { return pending_jobs_ > 0; }
  // Every message shown so far, one per line.
  QString messages() const;

  PellixWidget& panel() const { return *panel_; }
  ResultsModel& results() const { return *results_; }
  QListWidget& takes() const { return *takes_; }
  QTableWidget& profileTable() const { return *profile_table_; }
  SpeakerSession& session() const { return *session_; }

 signals:
  // The session has finished every job asked of it.
  void idle();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QWidget* BuildControls();
  QWidget* BuildTakes();
  QWidget* BuildPanel();
  QWidget* BuildResults();
  void ConnectSession();
  void Run(std::function<void(SpeakerSession&)> job);
  QStringList SelectedTakes() const;
  QStringList UnanalysedTakes() const;
  void UpdateButtons();
  void ShowMessage(bool error, const QString& text);
  void ShowRecord(const analysis::Record& record);
  void ShowProfile(const analysis::ProfileRecord& profile);
  void StartFresh();

  QThread thread_;
  SpeakerSession* session_ = nullptr;  // lives on thread_
  int pending_jobs_ = 0;
  bool cancel_asked_ = false;
  bool initialised_ = false;
  QSet<QString> analysed_;  // takes with a row in the results

  PellixWidget* panel_ = nullptr;
  ResultsModel* results_ = nullptr;
  QComboBox* params_ = nullptr;
  QListWidget* takes_ = nullptr;
  QTableView* results_view_ = nullptr;
  QTableWidget* profile_table_ = nullptr;
  QLabel* profile_title_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* job_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* initialise_ = nullptr;
  QPushButton* calibrate_ = nullptr;
  QPushButton* check_ = nullptr;
  QPushButton* check_all_ = nullptr;
  QPushButton* profile_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace pellix::desk
