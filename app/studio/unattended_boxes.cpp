#include "app/studio/unattended_boxes.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

namespace yel::app {

TUnattendedBoxes::TUnattendedBoxes(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

TUnattendedBoxes::~TUnattendedBoxes() { qApp->removeEventFilter(this); }

bool TUnattendedBoxes::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
  auto* dialog = qobject_cast<QDialog*>(watched);
  if (!dialog || !dialog->isModal() || dialog->property("unattended").toBool()) return false;
  dialog->setProperty("unattended", true);
  QString text = dialog->windowTitle();
  bool error = true;  // any other dialog would wait for an answer too
  if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
    text = box->text();
    if (!box->informativeText().isEmpty()) text += QLatin1Char(' ') + box->informativeText();
    error = box->icon() == QMessageBox::Critical || box->icon() == QMessageBox::Warning;
  }
  const QString line = QStringLiteral("yel-studio: %1%2").arg(error ? QString() : QStringLiteral("note: "), text);
  std::fprintf(stderr, "%s\n", qPrintable(line));
  std::fflush(stderr);
  if (error) errors_ << line;
  // Closed from the dialog's own event loop, which has not started yet.
  QTimer::singleShot(0, dialog, &QDialog::reject);
  return false;
}

}  // namespace yel::app
