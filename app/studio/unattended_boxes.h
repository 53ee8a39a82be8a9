// TUnattendedBoxes: for a run nobody watches (yel-studio --screenshot). No
// message box may wait there for an answer: each one that opens is written to
// standard error and closed at once (as Cancel or Close would), and an error
// or warning among them makes the run fail.
#pragma once

#include <QObject>
#include <QStringList>

namespace yel::app {

class TUnattendedBoxes : public QObject {
 public:
  // Watches the whole application while it lives.
  explicit TUnattendedBoxes(QObject* parent = nullptr);
  ~TUnattendedBoxes() override;

  // The errors and warnings shown so far, as written to standard error.
  const QStringList& Errors() const { return errors_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QStringList errors_;
};

}  // namespace yel::app
