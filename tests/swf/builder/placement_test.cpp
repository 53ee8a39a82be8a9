// Placements and sprites: matrix and colour settings, the PlaceObject2/3
// choice, filters, clip events, depths, sprite timelines and their frames,
// init actions, masked placement and frame actions.
#include <gtest/gtest.h>

#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/builder/flash_text.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/place_object_tags.h"
#include "tests/swf/builder/builder_test_util.h"

namespace yel::swf {
namespace {

using testing::ReadMovie;
using testing::SaveMovie;
using testing::TagCodes;

template <class T>
T& TagAt(TSWFStreamReader& reader, std::size_t index) {
  auto* tag = dynamic_cast<T*>(reader.TagInfo(index).TagObject);
  if (!tag) throw std::runtime_error("unexpected tag at " + std::to_string(index));
  return *tag;
}

std::vector<int> NestedCodes(const TSWFDefineSprite& sprite) {
  std::vector<int> codes;
  for (const auto& tag : sprite.ControlTags) codes.push_back(static_cast<const TSWFObject&>(*tag).TagID);
  return codes;
}

TEST(PlacementTest, TranslationAddsAMatrixOnlyWhenItMeansSomething) {
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TFlashShape* shape = movie.AddRectangle(0, 0, 10, 10);
  TFlashPlaceObject* plain = movie.PlaceObject(shape, 1);
  plain->SetTranslate(0, 0);
  EXPECT_FALSE(plain->PlaceRecord().HasMatrix);
  plain->SetScale(2, 0.5f);
  plain->SetTranslate(0, 0);
  EXPECT_TRUE(plain->PlaceRecord().HasMatrix);
  EXPECT_EQ(plain->PlaceRecord().Matrix().Rec(), MakeMatrix(true, false, 131072, 32768, 0, 0, 0, 0));

  TFlashPlaceObject* moved = movie.PlaceObject(shape, 2);
  moved->SetTranslate(10, 20);
  EXPECT_EQ(moved->PlaceRecord().Matrix().TranslateX, 200);
  EXPECT_EQ(moved->PlaceRecord().Matrix().TranslateY, 400);
  moved->TranslateX(3);
  EXPECT_EQ(moved->PlaceRecord().Matrix().TranslateX, 60);
  shape->IgnoreMovieSettings = true;  // the character's own unit
  moved->TranslateY(3);
  EXPECT_EQ(moved->PlaceRecord().Matrix().TranslateY, 3);

  TFlashPlaceObject* change = movie.PlaceObject(2);
  change->SetMove(true);
  change->SetTranslate(0, 0);  // a move keeps even a zero translation
  EXPECT_TRUE(change->PlaceRecord().HasMatrix);
  EXPECT_FALSE(change->PlaceRecord().HasCharacter);

  TFlashPlaceObject* turned = movie.PlaceObject(shape, 3);
  turned->SetRotate(90);
  TSWFMatrixRec m = turned->PlaceRecord().Matrix().Rec();
  EXPECT_EQ(m.ScaleX, 0);
  EXPECT_EQ(m.SkewX, 65536);
  EXPECT_EQ(m.SkewY, -65536);
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 26, 26, 26, 26, 1, 0}));
  EXPECT_TRUE(TagAt<TSWFPlaceObject2>(*reader, 3).Move);
}

TEST(PlacementTest, BlendModesFiltersAndCachingNeedPlaceObject3) {
  struct Case {
    const char* name;
    void (*setup)(TFlashPlaceObject&);
    int code;
    int version;
  };
  const Case cases[] = {
      {"transform", [](TFlashPlaceObject& p) { p.ColorTransform().SetMultR(128); }, 26, 5},
      {"clipdepth", [](TFlashPlaceObject& p) { p.SetClipDepth(5); }, 26, 5},
      {"name", [](TFlashPlaceObject& p) { p.SetName("clip"); }, 26, 5},
      {"ratio", [](TFlashPlaceObject& p) { p.SetRatio(7); }, 26, 5},
      {"normalblend", [](TFlashPlaceObject& p) { p.SetBlendMode(1); }, 26, 5},
      {"blend", [](TFlashPlaceObject& p) { p.SetBlendMode(2); }, 70, 8},
      {"glow", [](TFlashPlaceObject& p) { p.GlowFilter(); }, 70, 8},
      {"cache", [](TFlashPlaceObject& p) { p.PlaceRecord().HasCacheAsBitmap = true; }, 70, 8},
  };
  for (const Case& c : cases) {
    TFlashMovie movie(0, 0, 100, 100, 12);
    TFlashShape* shape = movie.AddRectangle(0, 0, 10, 10);
    c.setup(*movie.PlaceObject(shape, 1));
    movie.ShowFrame();
    auto reader = ReadMovie(SaveMovie(movie, std::string(".") + c.name));
    EXPECT_EQ(reader->TagInfo(1).TagID, c.code) << c.name;
    EXPECT_EQ(movie.Version(), c.version) << c.name;
  }
}

TEST(PlacementTest, GlowFilterTakesTheMovieDefaults) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  movie.FilterSettings().BlurX = 8;
  TFlashPlaceObject* place = movie.PlaceObject(movie.AddRectangle(0, 0, 10, 10), 1);
  EXPECT_EQ(place->FindFilter(kFilterGlow), nullptr);
  TSWFGlowFilter& glow = place->GlowFilter();
  EXPECT_EQ(&glow, place->FindFilter(kFilterGlow));
  EXPECT_EQ(&glow, &place->GlowFilter());
  EXPECT_EQ(glow.Color.RGBA(), 0xFFFFFFFFu);
  EXPECT_EQ(glow.BlurX, 8);
  EXPECT_EQ(glow.BlurY, 5);
  EXPECT_FLOAT_EQ(glow.Strength, 1.0f);
  EXPECT_EQ(glow.Passes, 1);
  EXPECT_TRUE(glow.CompositeSource);
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  auto& written = TagAt<TSWFPlaceObject3>(*reader, 1);
  ASSERT_EQ(written.FilterList().Filters.size(), 1u);
  EXPECT_EQ(written.FilterList().Filters[0]->FilterType, kFilterGlow);
}

TEST(PlacementTest, DepthsAreUnsignedAndRaiseMaxDepth) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashSprite* sprite = movie.AddSprite();
  TFlashPlaceObject* place = movie.PlaceObject(sprite, static_cast<std::uint16_t>(-6));
  EXPECT_EQ(place->Depth(), 65530);
  EXPECT_EQ(movie.MaxDepth, 65530);
  movie.PlaceObject(sprite, 3);
  EXPECT_EQ(movie.MaxDepth, 65530);
  movie.PlaceObject(sprite, static_cast<std::uint16_t>(-5));
  EXPECT_EQ(movie.MaxDepth, 65531);
}

TEST(PlacementTest, IdsSkipPlacementsAndPlacementsAloneMakeAFrame) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashShape* shape = movie.AddShape();
  movie.PlaceObject(shape, 1);
  TFlashObjectList others;
  class Other : public TFlashIDObject {
   public:
    void WriteToStream(TBitsEngine&) override {}
  };
  TFlashIDObject* other = movie.AddCharacter(std::make_unique<Other>(), others);
  TFlashSprite* sprite = movie.AddSprite();
  EXPECT_EQ(shape->CharacterId(), 1);
  EXPECT_EQ(other->CharacterId(), 2);
  EXPECT_EQ(sprite->CharacterId(), 3);
  EXPECT_EQ(sprite->SpriteRecord().SpriteId, 3);
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 26, 39, 1, 0}));
  EXPECT_EQ(movie.FrameCount, 1);
}

TEST(PlacementTest, RemovalsWithAndWithoutACharacter) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashShape* shape = movie.AddRectangle(0, 0, 10, 10);
  movie.PlaceObject(shape, 1);
  movie.PlaceObject(shape, 2);
  movie.ShowFrame();
  movie.RemoveObject(1);
  movie.RemoveObject(2, shape);
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 26, 26, 1, 28, 5, 1, 0}));
  EXPECT_EQ(TagAt<TSWFRemoveObject>(*reader, 5).CharacterId, 1);
}

TEST(SpriteTest, ASpriteAlwaysHasAFrame) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashShape* shape = movie.AddRectangle(0, 0, 10, 10);
  TFlashSprite* empty = movie.AddSprite(shape);
  TFlashSprite* counted = movie.AddSprite(shape);
  counted->ShowFrame(0);
  counted->ShowFrame(2);
  EXPECT_EQ(counted->FrameCount(), 3);
  EXPECT_EQ(counted->CurrentFrameNum, 2);
  movie.PlaceObject(empty, 1);
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 39, 39, 26, 1, 0}));
  auto& first = TagAt<TSWFDefineSprite>(*reader, 1);
  EXPECT_EQ(first.FrameCount, 1);
  EXPECT_EQ(NestedCodes(first), (std::vector<int>{26, 1, 0}));
  auto& second = TagAt<TSWFDefineSprite>(*reader, 2);
  EXPECT_EQ(second.FrameCount, 3);
  EXPECT_EQ(NestedCodes(second), (std::vector<int>{26, 1, 1, 1, 0}));
}

TEST(SpriteTest, CharactersAddedAfterTheSpriteMoveInFrontOfIt) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashSprite* sprite = movie.AddSprite();
  TFlashShape* late = movie.AddEllipse(0, 0, 20, 20);
  sprite->PlaceObject(late, 4);
  EXPECT_EQ(sprite->MaxDepth, 4);
  EXPECT_EQ(movie.IndexOfObject(late), 0);
  EXPECT_EQ(movie.IndexOfObject(sprite), 1);
  sprite->RemoveObject(4);
  sprite->ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 39, 0}));
  EXPECT_EQ(NestedCodes(TagAt<TSWFDefineSprite>(*reader, 1)), (std::vector<int>{26, 28, 1, 0}));
}

// What a moved character uses moves with it: the sprite that places a
// sprite placing a shape, and a text's font, end up ahead of their users
// (the canvas builds texts this way: the outer sprite is placed last). The
// movie is also checked by swf-parser and the define-order walk.
TEST(SpriteTest, WhatAMovedCharacterUsesMovesInFrontOfItToo) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  movie.SetVersion(8);
  TFlashSprite* root = movie.AddSprite();
  TFlashSprite* inner = movie.AddSprite();
  TFlashSprite* outer = movie.AddSprite();
  TFlashShape* box = movie.AddRectangle(0, 0, 10, 10);
  box->SetSolidColor(0x0000FF);
  TFlashFont* font = movie.AddFont("Arial", false, false, 12, false);
  TFlashText* text = movie.AddText(u"Ab", 0x000000, font, TRect{0, 0, 400, 200});
  inner->PlaceObject(box, 1);
  inner->PlaceObject(text, 2);
  inner->ShowFrame();
  outer->PlaceObject(inner, 1);
  outer->ShowFrame();
  root->PlaceObject(outer, 1);
  root->ShowFrame();
  movie.PlaceObject(root, 1);
  movie.ShowFrame();
  auto at = [&](const TBasedSWFObject* object) { return movie.IndexOfObject(object); };
  EXPECT_LT(at(box), at(inner));
  EXPECT_LT(at(font), at(text));
  EXPECT_LT(at(text), at(inner));
  EXPECT_LT(at(inner), at(outer));
  EXPECT_LT(at(outer), at(root));
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 48, 33, 39, 39, 39, 26, 1, 0}));
}

TEST(SpriteTest, FrameActionsLabelsAndInitActions) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashSprite* sprite = movie.AddSprite(movie.AddRectangle(0, 0, 10, 10));
  sprite->FrameLabel = "inner";
  sprite->FrameActions().Stop();
  sprite->ShowFrame();
  sprite->InitActions().Play();
  EXPECT_EQ(sprite->MinVersion(), 6);
  movie.PlaceObject(sprite, 1);
  movie.FrameLabel = "outer";
  movie.FrameActions().GotoFrame(0);
  movie.ShowFrame();
  // Actions never closed by a frame are dropped with the movie.
  movie.FrameActions().Stop();
  auto reader = ReadMovie(SaveMovie(movie));
  // In the main timeline the label comes first, in a sprite the actions.
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 39, 59, 26, 43, 12, 1, 0}));
  EXPECT_EQ(NestedCodes(TagAt<TSWFDefineSprite>(*reader, 1)), (std::vector<int>{26, 12, 43, 1, 0}));
  auto& init = TagAt<TSWFDoInitAction>(*reader, 2);
  EXPECT_EQ(init.SpriteID, sprite->CharacterId());
  ASSERT_EQ(init.Actions().Count(), 1u);
  EXPECT_EQ(init.Actions()[0]->ActionCode, 0x06);
  EXPECT_EQ(movie.Version(), 6);
}

TEST(SpriteTest, MaskedPlacementClipsTheVisualInASpriteOfItsOwn) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashShape* picture = movie.AddRectangle(0, 0, 50, 50);
  TFlashShape* mask = movie.AddEllipse(0, 0, 50, 50);
  TFlashPlaceObject* place = movie.PlaceObject(picture, mask, 7);
  auto* sprite = dynamic_cast<TFlashSprite*>(place->Character());
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(place->Depth(), 7);
  EXPECT_EQ(sprite->MaxDepth, 2);
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 22, 39, 26, 1, 0}));
  auto& written = TagAt<TSWFDefineSprite>(*reader, 2);
  ASSERT_EQ(NestedCodes(written), (std::vector<int>{26, 26, 1, 0}));
  auto& maskPlace = static_cast<TSWFPlaceObject2&>(*written.ControlTags[0]);
  EXPECT_EQ(maskPlace.CharacterId, mask->CharacterId());
  EXPECT_EQ(maskPlace.Depth, 1);
  EXPECT_TRUE(maskPlace.HasClipDepth);
  EXPECT_EQ(maskPlace.ClipDepth, 2);
  auto& picturePlace = static_cast<TSWFPlaceObject2&>(*written.ControlTags[1]);
  EXPECT_EQ(picturePlace.CharacterId, picture->CharacterId());
  EXPECT_EQ(picturePlace.Depth, 2);
}

TEST(SpriteTest, ClipEventsOnAPlacedSprite) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashShape* shape = movie.AddRectangle(0, 0, 10, 10);
  TFlashSprite* sprite = movie.AddSprite(shape);
  TFlashPlaceObject* place = movie.PlaceObject(sprite, 1);
  EXPECT_EQ(place->FindActionEvent(kClipEventEnterFrame, false), nullptr);
  TSWFClipActionRecord* record = place->FindActionEvent(kClipEventEnterFrame, true);
  ASSERT_NE(record, nullptr);
  record->Add(std::make_unique<TSWFActionStop>());
  EXPECT_EQ(place->FindActionEvent(kClipEventEnterFrame, true), record);
  place->OnClipEvent(kClipEventLoad | kClipEventUnload).Add(std::make_unique<TSWFActionPlay>());
  EXPECT_EQ(place->MinVersion(), 5);
  // A placed shape has no clip events to find.
  EXPECT_EQ(movie.PlaceObject(shape, 2)->FindActionEvent(kClipEventLoad, true), nullptr);
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  auto& written = TagAt<TSWFPlaceObject2>(*reader, 2);
  ASSERT_TRUE(written.HasClipActions);
  ASSERT_EQ(written.ClipActions().Records.size(), 2u);
  EXPECT_EQ(written.ClipActions().Records[0]->EventFlags, kClipEventEnterFrame);
  EXPECT_EQ(written.ClipActions().AllEventFlags, kClipEventEnterFrame | kClipEventLoad | kClipEventUnload);
}

TEST(SpriteTest, ClipEventsAreEncodedForTheFileVersionEvenWhenALaterObjectRaisesIt) {
  TFlashMovie movie(0, 0, 100, 100, 12);
  TFlashSprite* sprite = movie.AddSprite(movie.AddRectangle(0, 0, 10, 10));
  movie.PlaceObject(sprite, 1)->OnClipEvent(kClipEventEnterFrame).Add(std::make_unique<TSWFActionStop>());
  // Inside a sprite too.
  TFlashSprite* outer = movie.AddSprite();
  outer->PlaceObject(sprite, 1)->OnClipEvent(kClipEventPress).Add(std::make_unique<TSWFActionPlay>());
  movie.PlaceObject(outer, 2)->SetBlendMode(3);  // needs SWF 8
  movie.ShowFrame();
  auto reader = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(reader->Version(), 8);
  EXPECT_EQ(TagCodes(*reader), (std::vector<int>{22, 39, 26, 39, 70, 1, 0}));
  EXPECT_EQ(TagAt<TSWFPlaceObject2>(*reader, 2).ClipActions().Records.at(0)->EventFlags, kClipEventEnterFrame);
  auto& nested = static_cast<TSWFPlaceObject2&>(*TagAt<TSWFDefineSprite>(*reader, 3).ControlTags[0]);
  EXPECT_EQ(nested.ClipActions().Records.at(0)->EventFlags, kClipEventPress);
}

// --- movies that timeline_player_test.mjs plays in Ruffle (named by test)

void Trace(TSWFActionList& actions, const std::string& text) {
  actions.Add(std::make_unique<TSWFActionPush>())->AddValue(text);
  actions.Add(std::make_unique<TSWFActionTrace>());
}

// Clip events, init actions and frame actions run; the clip events of the
// first placement are encoded for SWF 8, which only a later placement needs.
TEST(PlayerMovieTest, ScriptsRunInAVersion8Movie) {
  TFlashMovie movie(0, 0, 200, 100, 24, TSWFSystemCoord::Pix);
  movie.BackgroundColor().SetRGB(0xFFFFFF);
  TFlashShape* square = movie.AddRectangle(0, 0, 50, 50);
  square->SetSolidColor(0x0000FF);
  TFlashSprite* clip = movie.AddSprite(square);
  Trace(clip->InitActions().Actions(), "init");
  Trace(movie.PlaceObject(clip, 1)->OnClipEvent(kClipEventEnterFrame), "enter");
  TFlashSprite* outer = movie.AddSprite();
  Trace(outer->PlaceObject(clip, 1)->OnClipEvent(kClipEventLoad), "load");
  TFlashPlaceObject* multiplied = movie.PlaceObject(outer, 2);
  multiplied->SetTranslate(100, 0);
  multiplied->SetBlendMode(3);
  Trace(movie.FrameActions().Actions(), "frame");
  movie.ShowFrame();
  SaveMovie(movie);
  EXPECT_EQ(movie.Version(), 8);
}

// Frame 1 shows a red square at depth 1, frame 2 replaces it by a green one
// placed twice as large, frame 3 removes it.
TEST(PlayerMovieTest, FramesReplaceAndRemove) {
  TFlashMovie movie(0, 0, 200, 100, 24, TSWFSystemCoord::Pix);
  movie.BackgroundColor().SetRGB(0xFFFFFF);
  TFlashShape* red = movie.AddRectangle(0, 0, 50, 50);
  red->SetSolidColor(0x0000FF);
  movie.PlaceObject(red, 1);
  movie.ShowFrame();
  TFlashShape* green = movie.AddRectangle(0, 0, 50, 50);
  green->SetSolidColor(0x00FF00);
  movie.RemoveObject(1);
  movie.PlaceObject(green, 1)->SetScale(2, 2);
  movie.ShowFrame();
  movie.RemoveObject(1, green);
  movie.ShowFrame();
  SaveMovie(movie);
  EXPECT_EQ(movie.FrameCount, 3);
}

}  // namespace
}  // namespace yel::swf
