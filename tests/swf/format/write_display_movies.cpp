// Writes movies with every shape and display-list tag kind our SWF layer
// produces into a folder, for the independent parser check
// (check_display_movies.mjs), which knows the values set here.
//
// Usage: write_display_movies OUT_DIR
#include <iostream>

#include "swf/format/actions/action_records.h"
#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/swf_stream.h"
#include "tests/swf/format/test_movie.h"

namespace yel::swf {
namespace {

using testing::TestMovie;

TSWFStyleChangeRecord& Change(TSWFDefineShape& shape) {
  auto* change = new TSWFStyleChangeRecord;
  shape.Edges.emplace_back(change);
  return *change;
}

// A square of 1000 twips with one curved side, from (100, 100).
void Square(TSWFDefineShape& shape, std::uint16_t fill, std::uint16_t line) {
  auto& start = Change(shape);
  start.StateMoveTo = true;
  start.DeltaX = 100;
  start.DeltaY = 100;
  if (fill) start.SetFill0(fill);
  if (line) start.SetLineStyle(line);
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(1000, 0));
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(0, 1000));
  shape.Edges.emplace_back(new TSWFCurvedEdgeRecord(-500, 500, -500, -500));
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(-3, -1000));
}

std::unique_ptr<TSWFColorFill> Solid(TPackedColor color) {
  auto fill = std::make_unique<TSWFColorFill>();
  fill->Color.SetRGBA(color);
  return fill;
}

std::unique_ptr<TSWFFillStyle> Gradient(std::uint8_t type, std::uint8_t spread, std::uint8_t interpolation) {
  auto fill = CreateFillStyle(type);
  auto& gradient = static_cast<TSWFBaseGradientFill&>(*fill);
  gradient.Matrix.SetScale(0.5f, 0.25f);
  gradient.Matrix.SetTranslate(100, 200);
  gradient.SpreadMode = spread;
  gradient.InterpolationMode = interpolation;
  gradient.GradientRecord(0).Color.SetRGBA(SWFRGBA(255, 0, 0, 255));
  gradient.GradientRecord(1).Ratio = 128;
  gradient.GradientRecord(1).Color.SetRGBA(SWFRGBA(0, 255, 0, 64));
  gradient.GradientRecord(2).Ratio = 255;
  gradient.GradientRecord(2).Color.SetRGBA(SWFRGBA(0, 0, 255, 255));
  if (auto* focal = dynamic_cast<TSWFFocalGradientFill*>(fill.get())) focal->SetFocalPoint(-0.5f);
  return fill;
}

std::unique_ptr<TSWFImageFill> Bitmap(std::uint8_t type, std::uint16_t id) {
  auto fill = std::make_unique<TSWFImageFill>();
  fill->FillType = type;
  fill->BitmapId = id;
  fill->Matrix.SetScale(20.0f, 20.0f);
  fill->Matrix.SetSkew(0.5f, -0.25f);
  fill->Matrix.SetTranslate(-40, 60);
  return fill;
}

std::unique_ptr<TSWFLineStyle> Line(std::uint16_t width, TPackedColor color) {
  auto line = std::make_unique<TSWFLineStyle>();
  line->Width = width;
  line->Color.SetRGBA(color);
  return line;
}

// Shapes of all four versions: every fill kind, line styles of both forms,
// new styles inside the records, and an extended style count.
void WriteShapes(const std::string& path) {
  TestMovie movie(0, 0, 550, 400, 12, TSWFSystemCoord::Pix);
  movie.SetVersion(8);

  auto& shape1 = movie.Add(std::make_unique<TSWFDefineShape>());
  shape1.ShapeId = 1;
  shape1.ShapeBounds.SetRect(TRect{90, 90, 1110, 1110});
  shape1.FillStyles.push_back(Solid(SWFRGBA(255, 0, 0, 255)));
  shape1.LineStyles.push_back(Line(20, SWFRGBA(0, 0, 255, 255)));
  Square(shape1, 1, 1);

  auto& shape2 = movie.Add(std::make_unique<TSWFDefineShape2>());
  shape2.ShapeId = 2;
  shape2.ShapeBounds.SetRect(TRect{0, 0, 1200, 1200});
  shape2.FillStyles.push_back(Gradient(kFillLinearGradient, 0, 0));
  shape2.FillStyles.push_back(Gradient(kFillRadialGradient, 1, 1));
  for (std::uint8_t type : {kFillTileBitmap, kFillClipBitmap, kFillNonSmoothTileBitmap, kFillNonSmoothClipBitmap})
    shape2.FillStyles.push_back(Bitmap(type, 10));
  Square(shape2, 2, 0);
  // New styles, then a record that selects them with the new index widths.
  auto& restyle = Change(shape2);
  restyle.NewFillStyles().push_back(Solid(SWFRGBA(1, 2, 3, 255)));
  restyle.NewLineStyles().push_back(Line(40, SWFRGBA(4, 5, 6, 255)));
  auto& select = Change(shape2);
  select.SetFill1(1);
  select.SetLineStyle(1);
  shape2.Edges.emplace_back(new TSWFStraightEdgeRecord(50, 50));

  auto& shape3 = movie.Add(std::make_unique<TSWFDefineShape3>());
  shape3.ShapeId = 3;
  shape3.ShapeBounds.SetRect(TRect{0, 0, 1200, 1200});
  shape3.FillStyles.push_back(Solid(SWFRGBA(10, 20, 30, 128)));
  shape3.FillStyles.push_back(Gradient(kFillFocalGradient, 2, 0));
  shape3.LineStyles.push_back(Line(60, SWFRGBA(7, 8, 9, 100)));
  Square(shape3, 2, 1);

  auto& shape4 = movie.Add(std::make_unique<TSWFDefineShape4>());
  shape4.ShapeId = 4;
  shape4.ShapeBounds.SetRect(TRect{0, 0, 1200, 1200});
  shape4.EdgeBounds.SetRect(TRect{20, 20, 1180, 1180});
  shape4.FillStyles.push_back(Solid(SWFRGBA(200, 100, 50, 255)));
  auto miter = std::make_unique<TSWFLineStyle2>();
  miter->Width = 80;
  miter->StartCapStyle = 1;
  miter->EndCapStyle = 2;
  miter->JoinStyle = 2;
  miter->MiterLimitFactor = 3.0f;
  miter->NoHScaleFlag = true;
  miter->PixelHintingFlag = true;
  miter->NoClose = true;
  miter->HasFillFlag = true;
  miter->SetFillStyleType(kFillLinearGradient);
  static_cast<TSWFGradientFill*>(miter->FillStyle())->GradientRecord(1).Ratio = 255;
  shape4.LineStyles.push_back(std::move(miter));
  auto bevel = std::make_unique<TSWFLineStyle2>();
  bevel->Width = 10;
  bevel->JoinStyle = 1;
  bevel->NoVScaleFlag = true;
  bevel->Color.SetRGBA(SWFRGBA(11, 22, 33, 44));
  shape4.LineStyles.push_back(std::move(bevel));
  Square(shape4, 1, 1);
  auto& change4 = Change(shape4);
  change4.SetLineStyle(2);
  shape4.Edges.emplace_back(new TSWFStraightEdgeRecord(0, 100));

  auto& many = movie.Add(std::make_unique<TSWFDefineShape3>());
  many.ShapeId = 5;
  for (int i = 0; i < 300; ++i)
    many.FillStyles.push_back(Solid(SWFRGBA(static_cast<std::uint8_t>(i), 0, 0, 255)));
  Square(many, 300, 0);

  // A DefineShape has no extended count: 255 styles are its limit.
  auto& most = movie.Add(std::make_unique<TSWFDefineShape>());
  most.ShapeId = 6;
  for (int i = 0; i < 255; ++i) most.FillStyles.push_back(Solid(SWFRGBA(0, static_cast<std::uint8_t>(i), 0, 255)));
  Square(most, 255, 0);

  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.FrameCount = 1;
  movie.MakeStream();
  movie.SaveToFile(path);
}

// Every placement form, the remove tags and a sprite timeline.
void WritePlacements(const std::string& path) {
  TestMovie movie(0, 0, 550, 400, 12, TSWFSystemCoord::Pix);
  movie.SetVersion(8);

  auto& place = movie.Add(std::make_unique<TSWFPlaceObject>());
  place.CharacterId = 1;
  place.Depth = 1;
  place.Matrix.SetTranslate(200, -100);
  place.ColorTransform.SetMultR(128);
  place.ColorTransform.SetAddB(-20);

  auto& place2 = movie.Add(std::make_unique<TSWFPlaceObject2>());
  place2.Depth = 2;
  place2.SetCharacterId(2);
  place2.Matrix().SetScale(1.5f, 0.75f);
  place2.Matrix().SetSkew(0.25f, -0.5f);
  place2.Matrix().SetTranslate(400, 300);
  place2.ColorTransform().SetMultA(128);
  place2.ColorTransform().SetAddR(255);
  place2.SetRatio(7);
  place2.SetName("clip");
  place2.SetClipDepth(5);

  auto& move = movie.Add(std::make_unique<TSWFPlaceObject2>());
  move.Depth = 2;
  move.Move = true;
  move.Matrix().SetTranslate(-10, 10);

  auto& place3 = movie.Add(std::make_unique<TSWFPlaceObject3>());
  place3.Depth = 3;
  place3.SetCharacterId(3);
  place3.BlendMode = 3;
  place3.HasBlendMode = true;
  place3.HasCacheAsBitmap = true;
  auto& filters = place3.FilterList();
  for (std::uint8_t type = 0; type < 8; ++type) filters.AddFilter(type);
  auto& shadow = static_cast<TSWFDropShadowFilter&>(*filters.Filters[0]);
  shadow.Color.SetRGBA(SWFRGBA(1, 2, 3, 200));
  shadow.BlurX = 4.5;
  shadow.BlurY = 2.25;
  shadow.Angle = 0.75;
  shadow.Distance = 5;
  shadow.Strength = 1.5f;
  shadow.Passes = 3;
  shadow.InnerShadow = true;
  auto& blur = static_cast<TSWFBlurFilter&>(*filters.Filters[1]);
  blur.BlurX = 8;
  blur.BlurY = 16;
  blur.Passes = 2;
  auto& glow = static_cast<TSWFGlowFilter&>(*filters.Filters[2]);
  glow.Color.SetRGBA(SWFRGBA(255, 255, 0, 255));
  glow.Knockout = true;
  auto& bevel = static_cast<TSWFBevelFilter&>(*filters.Filters[3]);
  bevel.HighlightColor.SetRGBA(SWFRGBA(9, 8, 7, 6));
  bevel.OnTop = true;
  bevel.Passes = 15;
  auto& gradientGlow = static_cast<TSWFGradientGlowFilter&>(*filters.Filters[4]);
  gradientGlow.Gradient[1].Color.SetRGBA(SWFRGBA(0, 128, 0, 255));
  auto& convolution = static_cast<TSWFConvolutionFilter&>(*filters.Filters[5]);
  convolution.MatrixX = 3;
  convolution.MatrixY = 2;
  convolution.Matrix = {1, 2, 3, 4, 5, 6};
  convolution.Divisor = 21;
  convolution.Bias = 0.5f;
  convolution.Clamp = true;
  static_cast<TSWFColorMatrixFilter&>(*filters.Filters[6]).Matrix[4] = 0.25f;
  static_cast<TSWFGradientBevelFilter&>(*filters.Filters[7]).Distance = -2;

  // A PlaceObject3 that needs nothing of the third version goes out as a
  // PlaceObject2.
  auto& plain3 = movie.Add(std::make_unique<TSWFPlaceObject3>());
  plain3.Depth = 4;
  plain3.SetCharacterId(4);
  plain3.AsPlaceObject2 = true;
  plain3.TagID = 26;

  auto& remove = movie.Add(std::make_unique<TSWFRemoveObject>());
  remove.CharacterId = 1;
  remove.Depth = 1;
  movie.Add(std::make_unique<TSWFRemoveObject2>()).Depth = 2;

  auto& sprite = movie.Add(std::make_unique<TSWFDefineSprite>());
  sprite.SpriteId = 6;
  sprite.FrameCount = 2;
  auto nested = std::make_unique<TSWFPlaceObject2>();
  nested->Depth = 1;
  nested->SetCharacterId(1);
  sprite.ControlTags.push_back(std::move(nested));
  sprite.ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  auto nestedRemove = std::make_unique<TSWFRemoveObject2>();
  nestedRemove->Depth = 1;
  sprite.ControlTags.push_back(std::move(nestedRemove));
  sprite.ControlTags.push_back(std::make_unique<TSWFShowFrame>());

  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.FrameCount = 1;
  movie.MakeStream();
  movie.SaveToFile(path);
}

// Clip actions in a SWF 5 movie (16-bit event fields), at the top level and
// in a sprite.
void WriteClipActions5(const std::string& path) {
  TestMovie movie(0, 0, 550, 400, 12, TSWFSystemCoord::Pix);
  movie.SetVersion(5);
  auto& place = movie.Add(std::make_unique<TSWFPlaceObject2>());
  place.SWFVersion = 5;
  place.Depth = 1;
  place.SetCharacterId(1);
  place.ClipActions().AddActions(kClipEventLoad | kClipEventEnterFrame).Add(CreateAction(0x07));
  auto& release = place.ClipActions().AddActions(kClipEventRelease);
  release.Add(CreateAction(0x06));
  release.Add(CreateAction(0x04));

  auto& sprite = movie.Add(std::make_unique<TSWFDefineSprite>());
  sprite.SpriteId = 2;
  sprite.FrameCount = 1;
  auto nested = std::make_unique<TSWFPlaceObject2>();
  nested->SWFVersion = 5;
  nested->Depth = 1;
  nested->SetCharacterId(1);
  nested->ClipActions().AddActions(kClipEventMouseDown | kClipEventData).Add(CreateAction(0x07));
  sprite.ControlTags.push_back(std::move(nested));
  sprite.ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.FrameCount = 1;
  movie.MakeStream();
  movie.SaveToFile(path);
}

// Clip actions with 32-bit event fields: a KeyPress record with its key code
// and a record whose jump is patched through a marker; the same in a
// PlaceObject3 with bitmap caching.
void WriteClipActions6(const std::string& path, bool third) {
  TestMovie movie(0, 0, 550, 400, 12, TSWFSystemCoord::Pix);
  movie.SetVersion(third ? 8 : 6);
  std::unique_ptr<TSWFPlaceObject2> tag;
  if (third) {
    auto place3 = std::make_unique<TSWFPlaceObject3>();
    place3->HasCacheAsBitmap = true;
    tag = std::move(place3);
  } else {
    tag = std::make_unique<TSWFPlaceObject2>();
    tag->SWFVersion = 6;
  }
  auto& place = movie.Add(std::move(tag));
  place.Depth = 1;
  place.SetCharacterId(1);
  place.ClipActions().AddActions(0, 13).Add(CreateAction(0x06));
  auto& frame = place.ClipActions().AddActions(kClipEventEnterFrame);
  auto* jump = frame.Add(std::make_unique<TSWFActionJump>());
  jump->Marker()->JumpBack = false;
  frame.Add(CreateAction(0x07));
  frame.AddMarker(jump->Marker());
  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.FrameCount = 1;
  movie.MakeStream();
  movie.SaveToFile(path);
}

// A filled square of size twips from the origin, with optional line style 1.
template <class Shape>
Shape& SquareShape(TestMovie& movie, std::uint16_t id, std::int32_t size, TPackedColor color, bool line) {
  auto& shape = movie.Add(std::make_unique<Shape>());
  shape.ShapeId = id;
  shape.ShapeBounds.SetRect(TRect{-200, -200, size + 200, size + 200});
  shape.FillStyles.push_back(Solid(color));
  auto& start = Change(shape);
  start.SetFill0(1);
  if (line) start.SetLineStyle(1);
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(size, 0));
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(0, size));
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(-size, 0));
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(0, -size));
  return shape;
}

// trace(text) as raw action bytes: Push string, Trace.
void AddTrace(TSWFActionList& list, const std::string& text) {
  auto raw = std::make_unique<TSWFActionByteCode>();
  raw->Bytes = {0x96, static_cast<std::uint8_t>(text.size() + 2), 0, 0};
  raw->Bytes.insert(raw->Bytes.end(), text.begin(), text.end());
  raw->Bytes.insert(raw->Bytes.end(), {0x00, 0x26});
  list.Add(std::move(raw));
}

// A 400 x 300 stage for the player check: a square placed by PlaceObject2,
// a sprite holding a square placed by PlaceObject2 and by PlaceObject3
// (colour transform, caching), both with clip actions that trace, a square
// outlined with LINESTYLE2; frame 2 removes the first square and places one
// with PlaceObject and a colour transform.
void WritePlayback(const std::string& path) {
  TestMovie movie(0, 0, 400, 300, 24, TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.Add(std::make_unique<TSWFSetBackgroundColor>()).Color.SetRGB(0xFFFFFF);
  SquareShape<TSWFDefineShape3>(movie, 1, 2000, SWFRGBA(255, 0, 0, 255), false);
  SquareShape<TSWFDefineShape>(movie, 2, 2000, SWFRGBA(0, 0, 255, 255), false);
  auto& outlined = SquareShape<TSWFDefineShape4>(movie, 5, 2000, SWFRGBA(255, 255, 0, 255), true);
  auto line = std::make_unique<TSWFLineStyle2>();
  line->Width = 200;
  line->JoinStyle = 2;
  line->MiterLimitFactor = 3;
  line->Color.SetRGBA(SWFRGBA(0, 0, 0, 255));
  outlined.LineStyles.push_back(std::move(line));

  auto& red = movie.Add(std::make_unique<TSWFPlaceObject2>());
  red.Depth = 1;
  red.SetCharacterId(1);
  red.Matrix().SetTranslate(200, 200);

  // Clip events reach sprites only: the sprite holds the red square.
  auto& sprite = movie.Add(std::make_unique<TSWFDefineSprite>());
  sprite.SpriteId = 4;
  sprite.FrameCount = 1;
  auto inner = std::make_unique<TSWFPlaceObject2>();
  inner->Depth = 1;
  inner->SetCharacterId(1);
  sprite.ControlTags.push_back(std::move(inner));
  sprite.ControlTags.push_back(std::make_unique<TSWFShowFrame>());

  auto& green = movie.Add(std::make_unique<TSWFPlaceObject3>());
  green.Depth = 2;
  green.SetCharacterId(4);
  green.Matrix().SetTranslate(2600, 200);
  green.ColorTransform().SetMultR(0);
  green.ColorTransform().SetAddG(255);
  green.HasCacheAsBitmap = true;
  AddTrace(green.ClipActions().AddActions(kClipEventLoad), "load3");
  auto& clip = movie.Add(std::make_unique<TSWFPlaceObject2>());
  clip.SWFVersion = 8;
  clip.Depth = 3;
  clip.SetCharacterId(4);
  clip.Matrix().SetTranslate(200, 2600);
  clip.SetName("clip");
  AddTrace(clip.ClipActions().AddActions(0, 13), "key");
  AddTrace(clip.ClipActions().AddActions(kClipEventLoad), "sprite");

  auto& yellow = movie.Add(std::make_unique<TSWFPlaceObject2>());
  yellow.Depth = 4;
  yellow.SetCharacterId(5);
  yellow.Matrix().SetTranslate(5000, 200);
  movie.Add(std::make_unique<TSWFShowFrame>());

  movie.Add(std::make_unique<TSWFRemoveObject2>()).Depth = 1;
  auto& magenta = movie.Add(std::make_unique<TSWFPlaceObject>());
  magenta.CharacterId = 2;
  magenta.Depth = 5;
  magenta.Matrix.SetTranslate(2600, 2600);
  magenta.ColorTransform.SetAddR(255);
  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.FrameCount = 2;
  movie.MakeStream();
  movie.SaveToFile(path);
}

}  // namespace
}  // namespace yel::swf

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write_display_movies OUT_DIR\n";
    return 2;
  }
  try {
    const std::string dir = argv[1];
    yel::swf::WriteShapes(dir + "/shapes.swf");
    yel::swf::WritePlacements(dir + "/placements.swf");
    yel::swf::WriteClipActions5(dir + "/clip-actions-5.swf");
    yel::swf::WriteClipActions6(dir + "/clip-actions-6.swf", false);
    yel::swf::WriteClipActions6(dir + "/clip-actions-8.swf", true);
    yel::swf::WritePlayback(dir + "/playback.swf");
  } catch (const std::exception& e) {
    std::cerr << "write_display_movies: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
