// The window of yel-player: the movie full-window at its own size, scaled
// with the window (keeping its aspect ratio), titled after the file. Escape
// leaves full screen; the movie's fscommand("quit") closes the window and
// fscommand("fullscreen", "true"/"false") enters or leaves full screen.
#pragma once

#include <QWidget>

#include "app/player/flash_player.h"

namespace yel::app {

class TPlayerWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TPlayerWindow(const QString& title, QWidget* parent = nullptr);
  TFlashPlayer& Player() { return *player_; }

 private:
  void Command(const QString& command, const QString& args);

  TFlashPlayer* player_;
};

}  // namespace yel::app
