// Shared helpers of the editor's pages.
#include "app/pages/page_support.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <exception>

#include "publish/output_targets.h"

namespace yel::app {

QString AppTitle() {
  const QString name = QGuiApplication::applicationDisplayName();
  return name.isEmpty() ? QString::fromUtf8(publish::kProductTitle) : name;
}

void ShowError(QWidget* parent, const QString& message) { QMessageBox::critical(parent, AppTitle(), message); }

bool Guarded(QWidget* parent, const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    ShowError(parent, QString::fromUtf8(error.what()));
  } catch (...) {
    ShowError(parent, QStringLiteral("An unknown error occurred."));
  }
  return false;
}

QLabel* NewHeading(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("SectionTitle"));  // the main window's style of section titles
  QFont font = label->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.15);
  label->setFont(font);
  return label;
}

}  // namespace yel::app
