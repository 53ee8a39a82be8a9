#include "album/album_model.h"

#include <gtest/gtest.h>

#include <functional>

#include "album/effect_codes.h"

namespace yel {
namespace {

TEST(Album, NewAlbumDefaults) {
  TFlashAlbum album("/opt/yel");
  EXPECT_EQ(album.SlideViews.Count(), 0u);
  EXPECT_EQ(album.Width, 720);
  EXPECT_EQ(album.Height, 540);
  EXPECT_EQ(album.FrameRate, 24);
  EXPECT_EQ(album.Background, 0u);
  EXPECT_EQ(album.ProjectFileName, "");
  EXPECT_EQ(album.AppFolder, "/opt/yel/");
  EXPECT_EQ(album.TempFolder, "/opt/yel/Theme/Temp/");
  EXPECT_EQ(album.Template.Loading.Folder, "/opt/yel/Theme/LoadingBar/");
  EXPECT_EQ(album.Template.PhotoFrame.Folder, "/opt/yel/Theme/Template/");
  EXPECT_EQ(album.Template.PhotoFrame.Shape.Width, 400);
  EXPECT_EQ(album.Publish.Name, "my Album");
}

TEST(Album, AddedSlidesAreNumberedPlacedAndTheFirstIsSelected) {
  TFlashAlbum album;
  int notified = 0;
  album.SlideViews.OnSlideSelected = [&](TSlideView&) { ++notified; };
  for (const char* photo : {"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}) album.AddSlide(photo);

  ASSERT_EQ(album.SlideViews.Count(), 3u);
  const int lefts[] = {4, 136, 268};
  for (std::size_t i = 0; i < 3; ++i) {
    const TSlideView& slide = album.SlideViews[i];
    EXPECT_EQ(slide.SlideIndex, static_cast<int>(i + 1));
    EXPECT_EQ(slide.Left, lefts[i]);
    EXPECT_EQ(slide.Top, 4);
    EXPECT_EQ(slide.Transition.Speed, 2.0f);
    EXPECT_EQ(slide.Transition.Duration, 2.0f);
    EXPECT_EQ(slide.Transition.SoundFile, "None");
    EXPECT_EQ(slide.Background.Color, 0xFFFFFFu);
    EXPECT_EQ(slide.Background.FillType, 2);
    EXPECT_EQ(slide.Background.ImageFile, slide.ImageFile);
    EXPECT_FALSE(EffectName(slide.Transition.EntryEffect).empty());
  }
  EXPECT_EQ(album.SlideViews.Selected(), &album.SlideViews[0]);
  EXPECT_TRUE(album.SlideViews[0].Selected);
  EXPECT_EQ(notified, 1);

  album.SelectSlide(album.SlideViews[2]);
  EXPECT_FALSE(album.SlideViews[0].Selected);
  EXPECT_TRUE(album.SlideViews[2].Selected);
  EXPECT_EQ(notified, 2);
}

TEST(Album, RemovingASlideRenumbersAndMovesTheFollowingOnes) {
  TFlashAlbum album;
  for (const char* photo : {"a", "b", "c"}) album.AddSlide(photo);
  album.SelectSlide(album.SlideViews[1]);
  album.RemoveSlide();
  ASSERT_EQ(album.SlideViews.Count(), 2u);
  EXPECT_EQ(album.SlideViews[1].ImageFile, "c");
  EXPECT_EQ(album.SlideViews[1].SlideIndex, 2);
  EXPECT_EQ(album.SlideViews[1].Left, 136);
  EXPECT_EQ(album.SlideViews.Selected(), nullptr);
  album.RemoveSlide();  // nothing selected: nothing happens
  EXPECT_EQ(album.SlideViews.Count(), 2u);
}

TEST(Album, MovingASlideRenumbersAndPlacesEverySlideAndKeepsTheSelection) {
  TFlashAlbum album;
  for (const char* photo : {"a", "b", "c", "d"}) album.AddSlide(photo);
  album.SelectSlide(album.SlideViews[0]);
  struct Case {
    std::size_t from, to;
    const char* order;
  };
  // Forward, backward, past the end (clamped), onto itself, from outside.
  for (const Case& c : {Case{0, 2, "bcad"}, Case{3, 0, "dbca"}, Case{1, 99, "dcab"}, Case{2, 2, "dcab"},
                        Case{7, 0, "dcab"}}) {
    album.SlideViews.Move(c.from, c.to);
    std::string order;
    for (std::size_t i = 0; i < album.SlideViews.Count(); ++i) {
      const TSlideView& slide = album.SlideViews[i];
      order += slide.ImageFile;
      EXPECT_EQ(slide.SlideIndex, static_cast<int>(i + 1));
      EXPECT_EQ(slide.Left, TSlideViews::TileLeft(i));
    }
    EXPECT_EQ(order, c.order) << c.from << " -> " << c.to;
    ASSERT_NE(album.SlideViews.Selected(), nullptr);
    EXPECT_EQ(album.SlideViews.Selected()->ImageFile, "a");
  }
}

TEST(Album, ClearSlidesKeepsSettings) {
  TFlashAlbum album;
  album.Width = 800;
  album.MusicFile = "song.mp3";
  album.ProjectFileName = "x.yel";
  album.AddSlide("a");
  album.ClearSlides();
  EXPECT_EQ(album.SlideViews.Count(), 0u);
  EXPECT_EQ(album.SlideViews.Selected(), nullptr);
  EXPECT_EQ(album.Width, 800);
  EXPECT_EQ(album.MusicFile, "song.mp3");
  EXPECT_EQ(album.ProjectFileName, "x.yel");
  album.SetDefaultSettings();
  EXPECT_EQ(album.Width, 720);
  EXPECT_EQ(album.MusicFile, "song.mp3");
}

// A state taken and put back makes the same album: slides renumbered and
// placed in order, every value kept, nothing selected.
TEST(Album, StateComesBackWhole) {
  TFlashAlbum album("/opt/yel");
  for (const char* photo : {"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}) album.AddSlide(photo);
  album.SlideViews[1].Transition.Speed = 2.2f;
  album.SlideViews[1].Transition.SoundFile = "ding.wav";
  album.SlideViews[2].Background = {0x123456, 1, "/p/back.png"};
  album.SelectSlide(album.SlideViews[2]);
  album.Width = 800;
  album.TemplateName = "Polaroid";
  album.LoadingBarName = "Ocean";
  album.MusicFile = "/m/song.mp3";
  const TAlbumState state = album.State();
  EXPECT_EQ(state.SelectedSlide, 2);

  TFlashAlbum other("/opt/yel");
  other.AddSlide("/p/x.jpg");
  other.SetState(state);
  EXPECT_EQ(other.State(), state);
  EXPECT_EQ(other.State().SelectedSlide, -1);
  ASSERT_EQ(other.SlideViews.Count(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(other.SlideViews[i].SlideIndex, int(i + 1));
    EXPECT_EQ(other.SlideViews[i].Left, album.SlideViews[i].Left);
  }
  EXPECT_EQ(other.SlideViews[2].Background.ImageFile, "/p/back.png");
  EXPECT_EQ(other.Width, 800);
  EXPECT_EQ(other.MusicFile, "/m/song.mp3");

  // A changed value counts; the selection does not.
  TAlbumState changed = state;
  changed.SelectedSlide = 0;
  EXPECT_EQ(changed, state);
  for (auto change : std::vector<std::function<void(TAlbumState&)>>{
           [](TAlbumState& s) { s.Slides[1].Duration = 3; }, [](TAlbumState& s) { s.Slides[2].Background.Color = 0; },
           [](TAlbumState& s) { s.Settings.FrameRate = 12; }, [](TAlbumState& s) { s.LoadingBarName.clear(); },
           [](TAlbumState& s) { std::swap(s.Slides[0], s.Slides[1]); }}) {
    changed = state;
    change(changed);
    EXPECT_FALSE(changed == state);
  }
}

TEST(Album, ApplyingEffects) {
  TFlashAlbum album;
  album.AddSlide("a");
  album.AddSlide("b");
  album.SlideViews[1].Transition.EntryEffect = 257;

  album.ApplyEffectToSelected(2051, 1.5f, 3.0f, "click.wav");
  EXPECT_EQ(album.SlideViews[0].Transition.EntryEffect, 2051);
  EXPECT_EQ(album.SlideViews[0].Transition.Speed, 1.5f);
  EXPECT_EQ(album.SlideViews[0].Transition.SoundFile, "click.wav");
  EXPECT_EQ(album.SlideViews[1].Transition.EntryEffect, 257);

  album.ApplyEffectToSelected(std::nullopt, 1.0f, 1.0f, "None");  // no effect tile: code kept
  EXPECT_EQ(album.SlideViews[0].Transition.EntryEffect, 2051);

  album.ApplyEffectToAll(std::nullopt, 0.5f, 4.0f, "None");  // no effect tile: every slide gets 0
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(album.SlideViews[i].Transition.EntryEffect, 0);
    EXPECT_EQ(album.SlideViews[i].Transition.Duration, 4.0f);
  }
}

}  // namespace
}  // namespace yel
