// The dialogs of "Create Executable" (TfrmExe: name, folder, CD files) and
// "Send via E-mail" (TfrmEMail: name, folder). Frameless windows with the
// cut-corner shape, moved by their heading; they open with the album's
// remembered answers.
#pragma once

#include <QDialog>
#include <optional>

#include "publish/output_targets.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace yel::app {

class TPublishDialog : public QDialog {
  Q_OBJECT

 public:
  QLineEdit& FileName() const { return *name_; }
  QLineEdit& Folder() const { return *folder_; }
  QPushButton& OkButton() const { return *ok_; }

 protected:
  TPublishDialog(const QString& heading, bool withCdFiles, QWidget* parent);
  QCheckBox* cd_files_ = nullptr;

 private:
  void Browse();
  void UpdateOk();

  QLineEdit* name_;
  QLineEdit* folder_;
  QPushButton* ok_;
};

class TfrmExe : public TPublishDialog {
  Q_OBJECT

 public:
  TfrmExe(const publish::TExeDialogResult& initial, QWidget* parent = nullptr);
  QCheckBox& CreateCdFiles() const { return *cd_files_; }
  // The answers when confirmed with OK.
  std::optional<publish::TExeDialogResult> Ask();
};

class TfrmEMail : public TPublishDialog {
  Q_OBJECT

 public:
  TfrmEMail(const publish::TEMailDialogResult& initial, QWidget* parent = nullptr);
  std::optional<publish::TEMailDialogResult> Ask();
};

}  // namespace yel::app
