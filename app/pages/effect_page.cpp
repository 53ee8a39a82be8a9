// The Effect page.
#include "app/pages/effect_page.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "album/effect_codes.h"
#include "album/theme_catalogue.h"
#include "app/pages/effect_preview.h"
#include "app/pages/page_support.h"
#include "app/pages/tile_view.h"
#include "app/player/flash_player.h"

namespace yel::app {

namespace {

QDoubleSpinBox* NewSecondsBox(QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setRange(0.5, 3600);
  box->setDecimals(1);
  box->setSingleStep(0.5);
  box->setValue(2.0);
  box->setKeyboardTracking(false);
  return box;
}

}  // namespace

TfrmEffect::TfrmEffect(TFlashAlbum& album, QWidget* parent) : QWidget(parent), album_(album) {
  tiles_ = new TTileView(this);
  tiles_->setMinimumWidth(2 * TTileLayout::kPitch + 30);
  connect(tiles_, &TTileView::TileClicked, this, &TfrmEffect::TileClicked);

  player_ = new TFlashPlayer(this);
  player_->setMinimumSize(320, 240);
  player_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

  auto* properties = new QGroupBox(QStringLiteral("Effect Properties:"), this);
  speed_ = NewSecondsBox(properties);
  duration_ = NewSecondsBox(properties);
  sound_ = new QComboBox(properties);
  sound_->addItem(QStringLiteral("None"));
  sound_->hide();
  auto* grid = new QGridLayout(properties);
  grid->addWidget(new QLabel(QStringLiteral("Speed:"), properties), 0, 0);
  grid->addWidget(speed_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Sec."), properties), 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("Duration:"), properties), 1, 0);
  grid->addWidget(duration_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Sec."), properties), 1, 2);
  grid->setColumnStretch(3, 1);

  apply_selected_ = new QPushButton(QStringLiteral("Apply to Selected"), this);
  apply_all_ = new QPushButton(QStringLiteral("Apply to All"), this);
  apply_selected_->setObjectName(QStringLiteral("applySelected"));
  apply_all_->setObjectName(QStringLiteral("applyAll"));
  connect(apply_selected_, &QPushButton::clicked, this, [this] { Apply(false); });
  connect(apply_all_, &QPushButton::clicked, this, [this] { Apply(true); });

  auto* left = new QVBoxLayout;
  left->addWidget(NewHeading(QStringLiteral("Effects"), this));
  left->addWidget(tiles_, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(apply_selected_);
  buttons->addWidget(apply_all_);
  auto* right = new QVBoxLayout;
  right->addWidget(NewHeading(QStringLiteral("Preview"), this));
  right->addWidget(player_, 1);
  right->addWidget(properties);
  right->addLayout(buttons);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(16);
  layout->addLayout(left, 2);
  layout->addLayout(right, 3);

  LoadCatalogue();
}

void TfrmEffect::LoadCatalogue() {
  Guarded(this, [this] { LoadEffectCatalogue(album_); });
  tiles_->Reload(album_.Effects);
}

void TfrmEffect::AlbumReloaded() {
  // The catalogue belongs to the installation, not the project: only the
  // selected slide's values are read again.
  if (album_.Effects.Items.empty()) LoadCatalogue();
  ShowSelectedSlide();
}

void TfrmEffect::ShowSelectedSlide() {
  TSlideView* slide = album_.SlideViews.Selected();
  if (!slide) return;
  speed_->setValue(slide->Transition.Speed);
  duration_->setValue(slide->Transition.Duration);
  sound_->setCurrentIndex(0);
  const std::string name = EffectName(slide->Transition.EntryEffect);
  if (!name.empty()) {
    for (auto& item : album_.Effects.Items) {
      if (EffectCodeByName(item->Name) == slide->Transition.EntryEffect) {
        album_.Effects.Select(*item);
        break;
      }
    }
    tiles_->ShowSelection();
  }
  PlayPreview();
}

void TfrmEffect::TileClicked(TView& view) {
  album_.Effects.Select(view);
  tiles_->ShowSelection();
  TSlideView* slide = album_.SlideViews.Selected();
  if (!slide) return;
  slide->Transition.EntryEffect = EffectCodeByName(view.Name);
  emit AlbumModified();
  PlayPreview();
}

void TfrmEffect::PlayPreview() {
  TSlideView* slide = album_.SlideViews.Selected();
  if (album_.SlideViews.Empty() || !slide) return;
  Guarded(this, [&] {
    const std::vector<std::uint8_t> bytes = BuildEffectPreview(album_, *slide);
    player_->SetMovie(QStringLiteral(" "));
    player_->LoadMovie(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
                       QStringLiteral("effect preview"));
    player_->Play();
  });
}

void TfrmEffect::Apply(bool all) {
  std::optional<std::int32_t> effect;
  if (album_.Effects.Selected) effect = EffectCodeByName(album_.Effects.Selected->Name);
  const float speed = float(speed_->value()), duration = float(duration_->value());
  const std::string sound = FromQ(sound_->currentText());
  if (all) {
    if (album_.SlideViews.Empty()) return;
    album_.ApplyEffectToAll(effect, speed, duration, sound);
  } else {
    if (!album_.SlideViews.Selected()) return;
    album_.ApplyEffectToSelected(effect, speed, duration, sound);
  }
  emit AlbumModified();
}

void TfrmEffect::PageShown() {
  player_->RecreateWindow();
  player_->Play();
}

void TfrmEffect::PageHidden() { player_->Stop(); }

}  // namespace yel::app
