// The Setting page: album size (default or custom, with a kept aspect
// ratio), frame rate and background colour on "Base", the music file with
// Play and Stop on "Background Music"; "OK" writes the controls into the
// album, "Cancel" loads them again, "Default" resets the album's size, rate
// and colour at once.
#pragma once

#include <QColor>
#include <QWidget>

#include "album/album_model.h"

class QAbstractButton;
class QAudioOutput;
class QCheckBox;
class QLineEdit;
class QMediaPlayer;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace yel::app {

class TfrmSetting : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmSetting(TFlashAlbum& album, QWidget* parent = nullptr);
  ~TfrmSetting() override;
  // Size (with "Default (720 x 540)" or "Custom" checked as the album's size
  // is), frame rate, colour and music from the album; each time the page is
  // shown, and by "Cancel".
  void LoadControls();
  void AlbumReloaded();

  // Height over width, fixed when the page first received the album.
  double AspectRatio() const { return ratio_; }
  QColor Colour() const { return colour_; }
  void SetColour(const QColor& colour);
  // The music box as a browse would fill it.
  void SetMusicFile(const QString& file);

 signals:
  void AlbumModified();

 private:
  void Ok();
  void Default();
  void BrowseMusic();
  void RemoveMusic();
  void RefreshMusicButtons();
  void MediaStatusChanged();
  void Play();
  void StopMusic();
  void SizeModeChanged();
  void WidthChanged(int width);
  void HeightChanged(int height);
  void ChooseColour();

  TFlashAlbum& album_;
  double ratio_;
  bool loading_ = false;
  QColor colour_;

  QTabWidget* tabs_;
  QRadioButton* default_size_;
  QRadioButton* custom_size_;
  QSpinBox* width_;
  QSpinBox* height_;
  QCheckBox* keep_aspect_;
  QRadioButton* rates_[4];
  QPushButton* colour_button_;
  QLineEdit* music_;
  QPushButton* browse_;
  QPushButton* remove_;
  QPushButton* play_;
  QPushButton* stop_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* default_;
  QMediaPlayer* media_;
  QAudioOutput* audio_;
};

}  // namespace yel::app
