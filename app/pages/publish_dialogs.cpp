// The publishing dialogs.
#include "app/pages/publish_dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>

#include "app/pages/page_support.h"
#include "app/pages/window_frame.h"

namespace yel::app {

namespace {

QString WithSlash(QString folder) {
  if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

QString StartFolder(const std::string& remembered) {
  if (!remembered.empty()) return ToQ(remembered);
  return WithSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

}  // namespace

TPublishDialog::TPublishDialog(const QString& heading, bool withCdFiles, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("publishDialog"));
  setWindowTitle(heading);
  setStyleSheet(QStringLiteral("#publishDialog { background: palette(base); border: 1px solid palette(mid); }"));
  auto* title = new TTitleLabel(heading, this);
  QFont font = title->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.2);
  title->setFont(font);

  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("fileName"));
  folder_ = new QLineEdit(this);
  folder_->setObjectName(QStringLiteral("folder"));
  auto* browse = new QPushButton(this);
  browse->setObjectName(QStringLiteral("browse"));
  browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  browse->setToolTip(QStringLiteral("Please select output folder."));
  connect(browse, &QPushButton::clicked, this, &TPublishDialog::Browse);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(8);
  grid->addWidget(new QLabel(QStringLiteral("File Name:"), this), 0, 0);
  grid->addWidget(name_, 0, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Folder location:"), this), 1, 0);
  grid->addWidget(folder_, 1, 1);
  grid->addWidget(browse, 1, 2);
  grid->setColumnStretch(1, 1);
  if (withCdFiles) {
    cd_files_ = new QCheckBox(QStringLiteral("Create files for CD"), this);
    cd_files_->setObjectName(QStringLiteral("cdFiles"));
    grid->addWidget(cd_files_, 2, 1, 1, 2);
  }

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("ok"));
  ok_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancel"));
  for (QPushButton* button : {ok_, cancel}) button->setMinimumWidth(96);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(name_, &QLineEdit::textChanged, this, &TPublishDialog::UpdateOk);
  connect(folder_, &QLineEdit::textChanged, this, &TPublishDialog::UpdateOk);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(22, 16, 22, 18);
  layout->setSpacing(14);
  layout->addWidget(title);
  layout->addLayout(grid);
  layout->addStretch(1);
  layout->addLayout(buttons);
  resize(520, withCdFiles ? 230 : 200);
  ApplyCutCornerShape(*this);
}

void TPublishDialog::Browse() {
  const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Please select output folder."),
                                                           folder_->text());
  if (!folder.isEmpty()) folder_->setText(WithSlash(folder));
}

void TPublishDialog::UpdateOk() {
  // A name and a folder are needed before anything can be written.
  ok_->setEnabled(!name_->text().trimmed().isEmpty() && !folder_->text().trimmed().isEmpty());
}

TfrmExe::TfrmExe(const publish::TExeDialogResult& initial, QWidget* parent)
    : TPublishDialog(QStringLiteral("Create Executable"), true, parent) {
  FileName().setText(ToQ(initial.FileName));
  Folder().setText(StartFolder(initial.Folder));
  cd_files_->setChecked(initial.CreateCDFiles);
}

std::optional<publish::TExeDialogResult> TfrmExe::Ask() {
  if (exec() != QDialog::Accepted) return std::nullopt;
  return publish::TExeDialogResult{FromQ(FileName().text().trimmed()), FromQ(WithSlash(Folder().text().trimmed())),
                                   cd_files_->isChecked()};
}

TfrmEMail::TfrmEMail(const publish::TEMailDialogResult& initial, QWidget* parent)
    : TPublishDialog(QStringLiteral("Send via E-mail"), false, parent) {
  FileName().setText(ToQ(initial.FileName));
  Folder().setText(StartFolder(initial.Folder));
}

std::optional<publish::TEMailDialogResult> TfrmEMail::Ask() {
  if (exec() != QDialog::Accepted) return std::nullopt;
  return publish::TEMailDialogResult{FromQ(FileName().text().trimmed()), FromQ(WithSlash(Folder().text().trimmed()))};
}

}  // namespace yel::app
