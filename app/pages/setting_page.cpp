// The Setting page.
#include "app/pages/setting_page.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/pages/page_support.h"

namespace yel::app {

namespace {

constexpr int kRates[4] = {12, 24, 36, 48};
constexpr int kDefaultWidth = 720, kDefaultHeight = 540;
constexpr int kMaxWidth = 1280, kMaxHeight = 1024;

QColor FromPlatform(TColor colour) {
  return QColor(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF));
}

TColor ToPlatform(const QColor& colour) {
  return TColor(colour.red()) | TColor(colour.green()) << 8 | TColor(colour.blue()) << 16;
}

QPushButton* NewButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

}  // namespace

TfrmSetting::TfrmSetting(TFlashAlbum& album, QWidget* parent)
    : QWidget(parent), album_(album), ratio_(album.Width > 0 ? double(album.Height) / album.Width : 0.75) {
  tabs_ = new QTabWidget(this);

  // "Base"
  auto* base = new QWidget;
  auto* sizeBox = new QGroupBox(QStringLiteral("Album Size:"), base);
  default_size_ = new QRadioButton(QStringLiteral("Default (720 x 540)"), sizeBox);
  default_size_->setObjectName(QStringLiteral("defaultSize"));
  custom_size_ = new QRadioButton(QStringLiteral("Custom"), sizeBox);
  custom_size_->setObjectName(QStringLiteral("customSize"));
  default_size_->setChecked(true);
  width_ = new QSpinBox(sizeBox);
  width_->setObjectName(QStringLiteral("width"));
  width_->setRange(10, kMaxWidth);
  width_->setValue(720);
  height_ = new QSpinBox(sizeBox);
  height_->setObjectName(QStringLiteral("height"));
  height_->setRange(10, kMaxHeight);
  height_->setValue(540);
  keep_aspect_ = new QCheckBox(QStringLiteral("Keep aspect Ratio"), sizeBox);
  keep_aspect_->setObjectName(QStringLiteral("keepAspect"));
  keep_aspect_->setChecked(true);
  auto* sizeGrid = new QGridLayout(sizeBox);
  sizeGrid->addWidget(default_size_, 0, 0, 1, 4);
  sizeGrid->addWidget(custom_size_, 1, 0, 1, 4);
  sizeGrid->addWidget(new QLabel(QStringLiteral("Width:"), sizeBox), 2, 0);
  sizeGrid->addWidget(width_, 2, 1);
  sizeGrid->addWidget(new QLabel(QStringLiteral("Height:"), sizeBox), 2, 2);
  sizeGrid->addWidget(height_, 2, 3);
  sizeGrid->addWidget(keep_aspect_, 3, 0, 1, 4);
  sizeGrid->setColumnStretch(4, 1);
  sizeGrid->setContentsMargins(24, 12, 12, 12);
  connect(custom_size_, &QRadioButton::toggled, this, &TfrmSetting::SizeModeChanged);
  connect(width_, &QSpinBox::valueChanged, this, &TfrmSetting::WidthChanged);
  connect(height_, &QSpinBox::valueChanged, this, &TfrmSetting::HeightChanged);

  auto* rateBox = new QGroupBox(QStringLiteral("Frame Rate:"), base);
  auto* rateRow = new QHBoxLayout(rateBox);
  rateRow->setContentsMargins(24, 12, 12, 12);
  auto* rateGroup = new QButtonGroup(this);
  for (int i = 0; i < 4; ++i) {
    rates_[i] = new QRadioButton(QString::number(kRates[i]), rateBox);
    rates_[i]->setObjectName(QStringLiteral("rate%1").arg(kRates[i]));
    rateGroup->addButton(rates_[i]);
    rateRow->addWidget(rates_[i]);
  }
  rateRow->addStretch(1);
  rates_[1]->setChecked(true);

  auto* colourBox = new QGroupBox(QStringLiteral("Background Color:"), base);
  colour_button_ = NewButton(QString(), "colour", colourBox);
  colour_button_->setMinimumWidth(140);
  connect(colour_button_, &QPushButton::clicked, this, &TfrmSetting::ChooseColour);
  auto* colourRow = new QHBoxLayout(colourBox);
  colourRow->setContentsMargins(24, 12, 12, 12);
  colourRow->addWidget(colour_button_);
  colourRow->addStretch(1);

  auto* baseLayout = new QVBoxLayout(base);
  baseLayout->setContentsMargins(16, 16, 16, 16);
  baseLayout->setSpacing(12);
  baseLayout->addWidget(sizeBox);
  baseLayout->addWidget(rateBox);
  baseLayout->addWidget(colourBox);
  baseLayout->addStretch(1);
  tabs_->addTab(base, QStringLiteral("Base"));

  // "Background Music"
  auto* music = new QWidget;
  auto* musicBox = new QGroupBox(QStringLiteral("Music:"), music);
  music_ = new QLineEdit(musicBox);
  music_->setObjectName(QStringLiteral("music"));
  music_->setReadOnly(true);
  music_->setPlaceholderText(QStringLiteral("No music"));
  browse_ = NewButton(QStringLiteral("Browse..."), "browseMusic", musicBox);
  remove_ = NewButton(QStringLiteral("Remove"), "removeMusic", musicBox);
  play_ = NewButton(QStringLiteral("Play"), "play", musicBox);
  stop_ = NewButton(QStringLiteral("Stop"), "stop", musicBox);
  play_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  stop_->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
  connect(browse_, &QPushButton::clicked, this, &TfrmSetting::BrowseMusic);
  connect(remove_, &QPushButton::clicked, this, &TfrmSetting::RemoveMusic);
  connect(play_, &QPushButton::clicked, this, &TfrmSetting::Play);
  connect(stop_, &QPushButton::clicked, this, &TfrmSetting::StopMusic);
  auto* musicGrid = new QGridLayout(musicBox);
  musicGrid->setContentsMargins(24, 12, 12, 12);
  musicGrid->addWidget(music_, 0, 0, 1, 3);
  musicGrid->addWidget(browse_, 0, 3);
  musicGrid->addWidget(remove_, 0, 4);
  auto* transport = new QHBoxLayout;
  transport->addWidget(play_);
  transport->addWidget(stop_);
  transport->addStretch(1);
  musicGrid->addLayout(transport, 1, 0, 1, 5);
  musicGrid->setColumnStretch(0, 1);
  auto* musicLayout = new QVBoxLayout(music);
  musicLayout->setContentsMargins(16, 16, 16, 16);
  musicLayout->addWidget(musicBox);
  musicLayout->addStretch(1);
  tabs_->addTab(music, QStringLiteral("Background Music"));

  // Qt's FFmpeg back end decodes MP3 and WAV by itself; the GStreamer one
  // needs plugins a machine may lack (and then crashes creating the player).
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
  media_ = new QMediaPlayer(this);
  audio_ = new QAudioOutput(this);
  media_->setAudioOutput(audio_);
  connect(media_, &QMediaPlayer::mediaStatusChanged, this, &TfrmSetting::MediaStatusChanged);
  connect(media_, &QMediaPlayer::errorOccurred, this, [this] {
    play_->setEnabled(false);
    stop_->setEnabled(false);
  });

  ok_ = NewButton(QStringLiteral("OK"), "ok", this);
  cancel_ = NewButton(QStringLiteral("Cancel"), "cancel", this);
  default_ = NewButton(QStringLiteral("Default"), "default", this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &TfrmSetting::Ok);
  connect(cancel_, &QPushButton::clicked, this, &TfrmSetting::LoadControls);
  connect(default_, &QPushButton::clicked, this, &TfrmSetting::Default);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* button : {ok_, cancel_, default_}) {
    button->setMinimumWidth(96);
    buttons->addWidget(button);
  }

  // The tabs and their buttons keep a readable width on wide windows.
  auto* panel = new QWidget(this);
  panel->setMaximumWidth(720);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(tabs_);
  column->addLayout(buttons);
  auto* centre = new QHBoxLayout;
  centre->addWidget(panel, 1);
  centre->addStretch(0);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(12, 12, 12, 12);
  page->addWidget(NewHeading(QStringLiteral("Settings"), this));
  page->addLayout(centre);
  page->addStretch(1);

  SizeModeChanged();
  LoadControls();
}

TfrmSetting::~TfrmSetting() {
  // No sound after the page is gone.
  media_->stop();
}

void TfrmSetting::LoadControls() {
  loading_ = true;
  // The size buttons show the album's size as it is: a custom size checks
  // "Custom", so that "OK" keeps it. A project may hold a size beyond the
  // boxes' usual range; the range grows to hold it rather than cut it.
  const bool defaultSize = album_.Width == kDefaultWidth && album_.Height == kDefaultHeight;
  (defaultSize ? default_size_ : custom_size_)->setChecked(true);
  width_->setMaximum(std::max(kMaxWidth, int(album_.Width)));
  height_->setMaximum(std::max(kMaxHeight, int(album_.Height)));
  width_->setValue(album_.Width);
  height_->setValue(album_.Height);
  loading_ = false;
  int rate = 1;
  for (int i = 0; i < 4; ++i)
    if (album_.FrameRate == kRates[i] && i != 1) rate = i;
  rates_[rate]->setChecked(true);
  SetColour(FromPlatform(album_.Background));
  music_->setText(ToQ(album_.MusicFile));
  RefreshMusicButtons();
}

void TfrmSetting::AlbumReloaded() { LoadControls(); }

void TfrmSetting::SetColour(const QColor& colour) {
  colour_ = colour;
  const QString text = colour.name().toUpper();
  colour_button_->setText(text);
  QPixmap swatch(28, 16);
  swatch.fill(colour);
  colour_button_->setIcon(QIcon(swatch));
  colour_button_->setIconSize(swatch.size());
}

void TfrmSetting::Ok() {
  AlbumSettings settings = album_.Settings();
  if (default_size_->isChecked()) {
    settings.Width = kDefaultWidth;
    settings.Height = kDefaultHeight;
  } else if (custom_size_->isChecked()) {
    settings.Width = width_->value();
    settings.Height = height_->value();
  }
  for (int i = 0; i < 4; ++i)
    if (rates_[i]->isChecked()) settings.FrameRate = kRates[i];
  settings.Background = ToPlatform(colour_);
  album_.SetSettings(settings);
  album_.MusicFile = FromQ(music_->text());
  emit AlbumModified();
}

void TfrmSetting::Default() {
  album_.SetDefaultSettings();
  emit AlbumModified();
}

void TfrmSetting::SizeModeChanged() {
  const bool custom = custom_size_->isChecked();
  width_->setEnabled(custom);
  height_->setEnabled(custom);
  keep_aspect_->setEnabled(custom);
}

void TfrmSetting::WidthChanged(int width) {
  if (loading_ || !keep_aspect_->isChecked()) return;
  loading_ = true;
  height_->setValue(int(std::lrint(width * ratio_)));
  loading_ = false;
}

void TfrmSetting::HeightChanged(int height) {
  if (loading_ || !keep_aspect_->isChecked() || ratio_ <= 0) return;
  loading_ = true;
  width_->setValue(int(std::lrint(height / ratio_)));
  loading_ = false;
}

void TfrmSetting::ChooseColour() {
  const QColor chosen = QColorDialog::getColor(colour_, this, QStringLiteral("Background Color"));
  if (chosen.isValid()) SetColour(chosen);
}

void TfrmSetting::BrowseMusic() {
  const QString start = music_->text().isEmpty() ? QString() : QFileInfo(music_->text()).absolutePath();
  const QString file = QFileDialog::getOpenFileName(
      this, QStringLiteral("Music"), start, QStringLiteral("All Music(*.mp3 *.wav);;MP3(*.mp3);;WAV(*.wav)"));
  if (!file.isEmpty()) SetMusicFile(file);
}

void TfrmSetting::SetMusicFile(const QString& file) {
  music_->setText(file);
  RefreshMusicButtons();
}

void TfrmSetting::RefreshMusicButtons() {
  const QString file = music_->text();
  remove_->setEnabled(!file.isEmpty());
  play_->setEnabled(false);
  stop_->setEnabled(false);
  if (file.isEmpty() || !QFileInfo(file).isFile()) {
    media_->setSource(QUrl());
    return;
  }
  // Opening is asynchronous: the buttons follow the media status.
  media_->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
}

void TfrmSetting::MediaStatusChanged() {
  switch (media_->mediaStatus()) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferedMedia:
    case QMediaPlayer::EndOfMedia: {
      // Without a sound device nothing can play.
      const bool canPlay = !QMediaDevices::audioOutputs().isEmpty() && media_->error() == QMediaPlayer::NoError;
      const bool playing = media_->playbackState() == QMediaPlayer::PlayingState;
      play_->setEnabled(canPlay && !playing);
      stop_->setEnabled(canPlay && playing);
      if (!playing) remove_->setEnabled(!music_->text().isEmpty());
      break;
    }
    case QMediaPlayer::InvalidMedia:
      play_->setEnabled(false);
      stop_->setEnabled(false);
      break;
    default:
      break;
  }
}

void TfrmSetting::Play() {
  media_->play();
  play_->setEnabled(false);
  stop_->setEnabled(true);
  remove_->setEnabled(false);
}

void TfrmSetting::StopMusic() {
  media_->stop();
  media_->setPosition(0);
  play_->setEnabled(true);
  stop_->setEnabled(false);
  remove_->setEnabled(true);
}

void TfrmSetting::RemoveMusic() {
  play_->setEnabled(false);
  stop_->setEnabled(false);
  music_->clear();
  remove_->setEnabled(false);
}

}  // namespace yel::app
