// The data-file window, Form1: the initial step, the four jobs with their path boxes, help.
// Each handler hands its click to DataFileWindowLogic; a job runs on a worker thread behind a
// window-modal progress dialog with a Cancel button: while the dialog is open the window
// repaints and shows the progress, and takes no input.
#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

#include "data_files/ui/data_file_window_logic.h"

class QLabel;
class QProgressBar;
class QProgressDialog;
class QScrollArea;
class QSpinBox;
class QThread;

namespace vortan {

class DataFileWindow : public QWidget {
  Q_OBJECT

 public:
  // The window of one program and region. Form_Load runs here: the start-up notice is shown
  // before the window is.
  DataFileWindow(ProgramKind program, const RegionProfile& profile, Platform& platform,
                 QWidget* parent = nullptr);
  // Stops a running job after its current point and waits for it.
  ~DataFileWindow() override;

  bool jobRunning() const { return worker_ != nullptr; }

  // The program is asked to end (SIGTERM, SIGHUP): a running job stops after its current point,
  // with complete lines in every output, and readyToClose follows when it has; without a job at
  // once.
  void StopAndClose();
  // The scroll area that holds the form.
  QScrollArea* scrollArea() const { return scrollArea_; }

  // What the worker thread runs for a job: the job itself, unless a test puts in its place a
  // job that reports its progress and ends in an order of the test's choosing.
  using JobRunner = std::function<JobOutcome(const PreparedJob& job, const JobOptions& options)>;
  void setJobRunner(JobRunner runner) { runner_ = std::move(runner); }

 signals:
  // A job has ended and the line under the jobs says how.
  void jobFinished(const QString& status);
  // After StopAndClose: no job runs any more, the program may end.
  void readyToClose();

 private:
  void CreateControls();
  void BuildForm();
  QWidget* Widget(std::string_view name) const;
  QLabel* Label(std::string_view name) const;
  void Form_Load();

  void Command3_Click();
  void Command4_Click();
  void Command2_Click();
  void Command5_Click();
  void Command1_Click();
  void Command6_Click();

  void StartJob(JobKind kind);
  void ShowProgress(int job, const JobProgress& progress);
  void JobEnded(const JobOutcome& outcome);

  class WidgetControls;
  std::unique_ptr<WidgetControls> controls_;
  DataFileWindowLogic logic_;

  QScrollArea* scrollArea_ = nullptr;
  QLabel* status_ = nullptr;
  QSpinBox* threads_ = nullptr;
  // The progress dialog of the running job and its bar; null when no job runs.
  QPointer<QProgressDialog> progress_;
  QPointer<QProgressBar> progressBar_;
  int job_ = 0;  // the number of the running job, or of the last one: earlier progress is stale
  QThread* worker_ = nullptr;
  std::atomic<bool> cancel_{false};
  bool closing_ = false;  // StopAndClose was asked
  JobRunner runner_;
};

}  // namespace vortan
