// TfrmConvert, the progress window of publishing: the step's message, a
// percentage bar and "Cancel". Run() builds on a worker thread while the
// window stays modal and keeps repainting; the worker reports through
// ConvertProgress, which the window answers with the user's cancel choice.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "publish/album_movie.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace yel::app {

class TTitleLabel;

// A thin moving stripe that shows the window is alive between reports.
class TActivityStripe : public QWidget {
  Q_OBJECT

 public:
  explicit TActivityStripe(QWidget* parent = nullptr);
  void SetRunning(bool running);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  int timer_ = 0;
  QElapsedTimer clock_;
};

class TfrmConvert : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmConvert(QWidget* parent = nullptr);
  ~TfrmConvert() override;

  // Shows the window with the title and runs work on a worker thread, giving
  // it the progress interface; returns when work has returned, after the
  // window is hidden. An exception of work is thrown again here.
  void Run(const QString& title, const std::function<void(publish::TfrmConvert&)>& work);

  QString Message() const;
  int Percent() const;
  QPushButton& CancelButton() const { return *cancel_; }

 protected:
  // Escape asks to cancel, as the button does.
  void reject() override;

 private:
  class TBridge;

  void CancelClicked();
  void ShowReport();

  TTitleLabel* title_;
  QLabel* message_;
  QProgressBar* bar_;
  TActivityStripe* stripe_;
  QPushButton* cancel_;

  // Shared with the worker.
  std::mutex mutex_;
  std::condition_variable answered_;
  bool asking_ = false;     // the cancel question is open
  bool cancelled_ = false;  // the user confirmed the cancel
  bool report_posted_ = false;
  std::string report_message_;
  int report_percent_ = 0;
  std::string report_title_;
};

}  // namespace yel::app
