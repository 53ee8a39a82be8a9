// The yel-player window and the movie commands it honours.
#include "app/yel_player/player_window.h"

#include <QShortcut>
#include <QVBoxLayout>

namespace yel::app {

TPlayerWindow::TPlayerWindow(const QString& title, QWidget* parent) : QWidget(parent) {
  setWindowTitle(title);
  player_ = new TFlashPlayer(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(player_);
  connect(player_, &TFlashPlayer::FSCommand, this, &TPlayerWindow::Command);
  // A shortcut, because the key goes to the web view that has the focus.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] {
    if (isFullScreen()) showNormal();
  });
}

void TPlayerWindow::Command(const QString& command, const QString& args) {
  const QString name = command.trimmed().toLower();
  if (name == QLatin1String("quit")) {
    close();
  } else if (name == QLatin1String("fullscreen")) {
    if (args.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
      showFullScreen();
    else
      showNormal();
  }
}

}  // namespace yel::app
