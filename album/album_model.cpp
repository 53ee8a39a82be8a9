#include "album/album_model.h"

#include <algorithm>
#include <chrono>

#include "album/effect_codes.h"
#include "base/paths.h"

namespace yel {

TTransition::TTransition(TSlideView* owner, std::mt19937& random)
    : EntryEffect(PickRandomEffect(random)), owner_(owner) {}

TSlideView::TSlideView(TSlideViews* owner, std::int32_t slide_index, std::mt19937& random)
    : SlideIndex(slide_index), Transition(this, random), owner_(owner) {}

void TSlideView::SetSlideImage(const std::string& file, int tile_width, int tile_height) {
  ImageFile = file;
  TileWidth = tile_width;
  TileHeight = tile_height;
  Background.ImageFile = file;
  Background.FillType = 2;
}

int TSlideViews::TileLeft(std::size_t position) {
  return static_cast<int>(position) * (TSlideView::kTileWidth + TSlideView::kTileGap) + TSlideView::kTileGap;
}

std::unique_ptr<TSlideView> TSlideViews::CreateSlide(std::size_t loaded) {
  auto slide = std::make_unique<TSlideView>(this, static_cast<std::int32_t>(loaded + 1), album_->Random());
  slide->Left = TileLeft(loaded);
  slide->Top = TSlideView::kTileGap;
  slide->OnSlideSelected = OnSlideSelected;
  return slide;
}

void TSlideViews::Append(std::unique_ptr<TSlideView> slide) { slides_.push_back(std::move(slide)); }

void TSlideViews::Clear() {
  selected_ = nullptr;
  slides_.clear();
}

void TSlideViews::RemoveAt(std::size_t position) {
  if (position >= slides_.size()) return;
  if (selected_ == slides_[position].get()) selected_ = nullptr;
  slides_.erase(slides_.begin() + static_cast<std::ptrdiff_t>(position));
  if (selected_) selected_->Selected = false;
  selected_ = nullptr;
  for (std::size_t p = position; p < slides_.size(); ++p) {
    slides_[p]->SlideIndex = static_cast<std::int32_t>(p + 1);
    slides_[p]->Left -= TSlideView::kTileWidth + TSlideView::kTileGap;
  }
}

void TSlideViews::Move(std::size_t from, std::size_t to) {
  if (from >= slides_.size()) return;
  to = std::min(to, slides_.size() - 1);
  auto slide = std::move(slides_[from]);
  slides_.erase(slides_.begin() + static_cast<std::ptrdiff_t>(from));
  slides_.insert(slides_.begin() + static_cast<std::ptrdiff_t>(to), std::move(slide));
  for (std::size_t p = 0; p < slides_.size(); ++p) {
    slides_[p]->SlideIndex = static_cast<std::int32_t>(p + 1);
    slides_[p]->Left = TileLeft(p);
  }
}

void TSlideViews::Select(TSlideView& slide) {
  if (selected_ && selected_ != &slide) selected_->Selected = false;
  selected_ = &slide;
  slide.Selected = true;
  if (slide.OnSlideSelected) slide.OnSlideSelected(slide);
}

TLoading::TLoading(TTemplate* owner) : Owner(owner), Folder(owner->ThemeFolder + "LoadingBar/") {}

TPhotoFrame::TPhotoFrame(TTemplate* owner) : Owner(owner), Folder(owner->ThemeFolder + "Template/") {}

TTemplate::TTemplate(TFlashAlbum* album)
    : Album(album),
      ThemeFolder(album->AppFolder + "Theme/"),
      TempFolder(ThemeFolder + "Temp/"),
      Loading(this),
      PhotoFrame(this) {}

namespace {
std::string FolderWithSlash(std::string folder) {
  if (folder.empty()) folder = ExecutableFolder();
  if (folder.back() != '/') folder += '/';
  return folder;
}
}  // namespace

// AppFolder is declared before Template, so it is set when Template is built.
TFlashAlbum::TFlashAlbum(std::string app_folder)
    : AppFolder(FolderWithSlash(std::move(app_folder))),
      TempFolder(AppFolder + "Theme/Temp/"),
      random_(static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())) {
  Publish.Folder = UserDocumentsFolder();
}

void TFlashAlbum::SetSettings(const AlbumSettings& settings) {
  Width = settings.Width;
  Height = settings.Height;
  FrameRate = settings.FrameRate;
  Background = settings.Background;
}

void TFlashAlbum::SetDefaultSettings() { SetSettings(AlbumSettings{}); }

bool TAlbumState::Slide::operator==(const Slide& other) const {
  return ImageFile == other.ImageFile && Background.Color == other.Background.Color &&
         Background.FillType == other.Background.FillType && Background.ImageFile == other.Background.ImageFile &&
         EntryEffect == other.EntryEffect && Speed == other.Speed && Duration == other.Duration &&
         SoundFile == other.SoundFile;
}

bool TAlbumState::operator==(const TAlbumState& other) const {
  const AlbumSettings& a = Settings;
  const AlbumSettings& b = other.Settings;
  return a.Width == b.Width && a.Height == b.Height && a.FrameRate == b.FrameRate && a.Background == b.Background &&
         Slides == other.Slides && TemplateName == other.TemplateName && LoadingBarName == other.LoadingBarName &&
         MusicFile == other.MusicFile;
}

TAlbumState TFlashAlbum::State() const {
  TAlbumState state;
  state.Settings = Settings();
  state.Slides.reserve(SlideViews.Count());
  for (std::size_t i = 0; i < SlideViews.Count(); ++i) {
    const TSlideView& slide = SlideViews[i];
    const TTransition& t = slide.Transition;
    state.Slides.push_back({slide.ImageFile, slide.Background, t.EntryEffect, t.Speed, t.Duration, t.SoundFile});
    if (SlideViews.Selected() == &slide) state.SelectedSlide = static_cast<int>(i);
  }
  state.TemplateName = TemplateName;
  state.LoadingBarName = LoadingBarName;
  state.MusicFile = MusicFile;
  return state;
}

void TFlashAlbum::SetState(const TAlbumState& state) {
  ClearSlides();
  for (const TAlbumState::Slide& kept : state.Slides) {
    auto slide = SlideViews.CreateSlide(SlideViews.Count());
    slide->SetSlideImage(kept.ImageFile, TSlideView::kTileWidth, TSlideView::kTileHeight);
    slide->Background = kept.Background;
    slide->Transition.EntryEffect = kept.EntryEffect;
    slide->Transition.Speed = kept.Speed;
    slide->Transition.Duration = kept.Duration;
    slide->Transition.SoundFile = kept.SoundFile;
    SlideViews.Append(std::move(slide));
  }
  SetSettings(state.Settings);
  TemplateName = state.TemplateName;
  LoadingBarName = state.LoadingBarName;
  MusicFile = state.MusicFile;
}

TSlideView& TFlashAlbum::AddSlide(const std::string& photo_file) {
  auto slide = SlideViews.CreateSlide(SlideViews.Count());
  slide->SetSlideImage(photo_file, TSlideView::kTileWidth, TSlideView::kTileHeight);
  TSlideView& added = *slide;
  SlideViews.Append(std::move(slide));
  if (!SlideViews.Selected()) SlideViews.Select(added);
  return added;
}

void TFlashAlbum::RemoveSlide() {
  TSlideView* selected = SlideViews.Selected();
  if (!selected) return;
  SlideViews.RemoveAt(static_cast<std::size_t>(selected->SlideIndex - 1));
}

void TFlashAlbum::ClearSlides() { SlideViews.Clear(); }

namespace {
void ApplyEffect(TSlideView& slide, std::optional<std::int32_t> effect, float speed, float duration,
                 const std::string& sound) {
  if (effect) slide.Transition.EntryEffect = *effect;
  slide.Transition.Speed = speed;
  slide.Transition.Duration = duration;
  slide.Transition.SoundFile = sound;
}
}  // namespace

void TFlashAlbum::ApplyEffectToSelected(std::optional<std::int32_t> effect, float speed, float duration,
                                        const std::string& sound) {
  if (TSlideView* slide = SlideViews.Selected()) ApplyEffect(*slide, effect, speed, duration, sound);
}

void TFlashAlbum::ApplyEffectToAll(std::optional<std::int32_t> effect, float speed, float duration,
                                   const std::string& sound) {
  for (std::size_t i = 0; i < SlideViews.Count(); ++i)
    ApplyEffect(SlideViews[i], effect.value_or(0), speed, duration, sound);
}

}  // namespace yel
