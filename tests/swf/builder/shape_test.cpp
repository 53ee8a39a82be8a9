// Shape characters as written: tag choice by alpha, bounds with the line
// margin, style selection, gradients, bitmap fills and dashed outlines. The
// movies are read back with our own reader (and parsed by swf-parser in the
// independent check).
#include <gtest/gtest.h>

#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_shape.h"
#include "swf/format/shape_tags.h"
#include "tests/swf/builder/builder_test_util.h"

namespace yel::swf {
namespace {

using testing::Describe;
using testing::EndPoint;
using testing::ReadMovie;
using testing::SaveMovie;

constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kBlue = 0xFF0000;

// The first shape tag of a written movie.
struct WrittenShape {
  std::unique_ptr<TSWFStreamReader> reader;
  TSWFDefineShape* tag = nullptr;
  int code = 0;
};

WrittenShape ReadShape(TFlashMovie& movie, const std::string& suffix = "") {
  WrittenShape result;
  result.reader = ReadMovie(SaveMovie(movie, suffix));
  for (std::size_t i = 0; i < result.reader->TagCount(); ++i) {
    auto* tag = dynamic_cast<TSWFDefineShape*>(result.reader->TagInfo(i).TagObject);
    if (tag) {
      result.tag = tag;
      result.code = result.reader->TagInfo(i).TagID;
      break;
    }
  }
  return result;
}

// A character that stands for a bitmap in the fill tests.
class StandInImage : public TFlashIDObject {
 public:
  StandInImage() = default;
  void WriteToStream(TBitsEngine&) override {}
  bool IsResourceDefinition() const override { return true; }
};

TEST(ShapeTest, AlphaBelowOpaqueSelectsDefineShape3) {
  for (std::uint32_t alpha : {128u, 255u}) {
    TFlashMovie movie(0, 0, 200, 200, 12);
    TFlashShape* shape = movie.AddRectangle(0, 0, 100, 100);
    shape->SetSolidColorRGBA(kRed | alpha << 24);
    EXPECT_EQ(shape->MinVersion(), alpha == 255 ? 2 : 3);
    WrittenShape written = ReadShape(movie, std::to_string(alpha));
    ASSERT_NE(written.tag, nullptr);
    EXPECT_EQ(written.code, alpha == 255 ? 22 : 32);
    auto& fill = static_cast<TSWFColorFill&>(*written.tag->FillStyles.at(0));
    EXPECT_EQ(fill.Color.RGBA(), kRed | alpha << 24);
  }
}

TEST(ShapeTest, BoundsWidenByHalfTheWidestLine) {
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TFlashShape* shape = movie.AddRectangle(0, 0, 10, 10);
  shape->SetLineStyle(2, kRed);
  shape->SetLineStyle(1, kBlue);
  EXPECT_EQ(shape->LineStyles().at(0)->Width, 40);
  WrittenShape written = ReadShape(movie);
  ASSERT_NE(written.tag, nullptr);
  EXPECT_EQ(written.tag->ShapeBounds.SWFRect(), (TSWFRectRec{-20, 220, -20, 220}));
  // Bounds read back in movie units; the pen drew in twips.
  EXPECT_EQ(shape->XMax(), 10);
  EXPECT_EQ(shape->Width(true), 200);
}

TEST(ShapeTest, StyleIndicesGoIntoTheFirstRecord) {
  TFlashMovie movie(0, 0, 200, 200, 12);
  TFlashShape* shape = movie.AddShape();
  // Styles may be chosen before the drawing.
  TSWFColorFill* red = shape->SetSolidColor(kRed);
  shape->SetSolidColor(kBlue);
  shape->AddFillStyle(red);  // selecting an existing fill adds nothing
  shape->SetFill0Num(2);
  shape->SetLineStyle(1, kRed);
  shape->Edges().MoveTo(10, 10);
  shape->Edges().MakeRectangle(50, 50);
  shape->Edges().EndEdges();
  shape->CalcBounds();
  EXPECT_EQ(shape->FillStyles().size(), 2u);
  EXPECT_EQ(Describe(shape->Records()), "SM10,10f0=2f1=1l=1 L50,0 L0,50 L-50,0 L0,-50 E");
  EXPECT_EQ(shape->Bounds().SWFRect(), (TSWFRectRec{10, 60, 10, 60}));
  WrittenShape written = ReadShape(movie);
  EXPECT_EQ(Describe(written.tag->Edges), Describe(shape->Records()));
}

TEST(ShapeTest, LinearGradientSpansTheBoundsAtItsAngle) {
  TFlashMovie movie(0, 0, 400, 400, 12);
  TFlashShape* shape = movie.AddRectangle(100, 50, 300, 150);
  TSWFGradientFill* fill = shape->SetLinearGradient({kRed | 0xFF000000u, 0xFF00FF00u, kBlue | 0x80000000u}, 0);
  ASSERT_EQ(fill->Count(), 3);
  EXPECT_EQ(fill->Gradient[0].Ratio, 0);
  EXPECT_EQ(fill->Gradient[1].Ratio, 128);
  EXPECT_EQ(fill->Gradient[2].Ratio, 255);
  EXPECT_TRUE(shape->HasAlpha);
  TSWFMatrixRec m = fill->Matrix.Rec();
  EXPECT_EQ(m.ScaleX, FloatToFixed(200.0 / 32768));
  EXPECT_EQ(m.ScaleY, FloatToFixed(100.0 / 32768));
  EXPECT_EQ(m.SkewX, 0);
  EXPECT_EQ(m.TranslateX, 200);
  EXPECT_EQ(m.TranslateY, 100);

  TSWFGradientFill* turned = shape->SetLinearGradient(kRed, kBlue, 90);
  EXPECT_EQ(turned->Count(), 2);
  TSWFMatrixRec t = turned->Matrix.Rec();
  EXPECT_EQ(t.ScaleX, 0);
  EXPECT_EQ(t.SkewX, FloatToFixed(200.0 / 32768));
  EXPECT_EQ(t.SkewY, FloatToFixed(-100.0 / 32768));
  EXPECT_EQ(shape->Fill1Num(), 2);
  WrittenShape written = ReadShape(movie);
  EXPECT_EQ(written.code, 32);
}

TEST(ShapeTest, RadialGradientKeepsEightColoursAroundItsCentre) {
  TFlashMovie movie(0, 0, 400, 400, 12);
  TFlashShape* shape = movie.AddEllipse(0, 0, 200, 100);
  std::vector<std::uint32_t> colors(10, 0xFF808080u);
  TSWFGradientFill* fill = shape->SetRadialGradient(colors, 25, 50);
  EXPECT_EQ(fill->FillType, kFillRadialGradient);
  ASSERT_EQ(fill->Count(), 8);
  EXPECT_EQ(fill->Gradient[7].Ratio, 255);
  TSWFMatrixRec m = fill->Matrix.Rec();
  EXPECT_FALSE(m.HasSkew);
  EXPECT_EQ(m.TranslateX, 50);
  EXPECT_EQ(m.TranslateY, 50);
  EXPECT_EQ(shape->SetLinearGradient({}, 0), nullptr);
  WrittenShape written = ReadShape(movie);
  EXPECT_EQ(written.code, 22);
}

TEST(ShapeTest, FitImageFillWithAndWithoutTheEdgeCorrection) {
  for (bool version8First : {false, true}) {
    TFlashMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
    if (version8First) movie.SetVersion(8);
    TFlashShape* shape = movie.AddRectangle(0, 0, 100, 50);
    TFlashObjectList images;
    StandInImage* image = movie.AddCharacter(std::make_unique<StandInImage>(), images);
    TSWFImageFill* fill = shape->SetImageFill(*image, 100, 50, TFlashImageFillMode::Fit);
    EXPECT_EQ(fill->BitmapId, image->CharacterId());
    EXPECT_EQ(fill->FillType, kFillClipBitmap);
    float e = version8First ? 0.0f : 0.0036621094f;
    EXPECT_FLOAT_EQ(fill->Matrix.GetScaleX(), 20.0f + e);
    EXPECT_FLOAT_EQ(fill->Matrix.GetScaleY(), 20.0f + e);
    EXPECT_EQ(fill->Matrix.TranslateX, version8First ? 0 : -5);
    EXPECT_EQ(fill->Matrix.TranslateY, version8First ? 0 : -5);
    // The bitmap is now defined before the shape that uses it.
    EXPECT_EQ(movie.IndexOfObject(image), 0);
    EXPECT_EQ(movie.IndexOfObject(shape), 1);
  }
  // Setting the version afterwards leaves a fill already made corrected.
  TFlashMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
  TFlashShape* shape = movie.AddRectangle(0, 0, 100, 50);
  TFlashObjectList images;
  StandInImage* image = movie.AddCharacter(std::make_unique<StandInImage>(), images);
  TSWFImageFill* tiled = shape->SetImageFill(*image, 10, 10, TFlashImageFillMode::Tile, 2, 3);
  movie.SetVersion(8);
  EXPECT_FALSE(movie.CorrectImageFill);
  EXPECT_EQ(tiled->FillType, kFillTileBitmap);
  EXPECT_FLOAT_EQ(tiled->Matrix.GetScaleX(), 40);
  EXPECT_FLOAT_EQ(tiled->Matrix.GetScaleY(), 60);
  EXPECT_EQ(tiled->Matrix.TranslateX, -5);
  TSWFImageFill* huge = shape->SetImageFill(*image, 0, 1, TFlashImageFillMode::Fit);
  EXPECT_FLOAT_EQ(huge->Matrix.GetScaleX(), 16383);
  EXPECT_FLOAT_EQ(huge->Matrix.GetScaleY(), 1000);  // 1000 twips over one pixel, no correction now
}

TEST(ShapeTest, TransparentDashGapsAreMoves) {
  TFlashMovie movie(0, 0, 400, 400, 12);
  TFlashShape* shape = movie.AddLine(0, 0, 2000, 0);
  shape->SetLineStyle(20, kRed);
  shape->DashStyle().SetPattern({10, 5});  // 200 twips of dash, 100 of gap
  WrittenShape written = ReadShape(movie);
  std::string expected = "SM0,0l=1 L200,0";
  for (int x = 300; x < 2000; x += 300) expected += " SM" + std::to_string(x) + ",0 L200,0";
  EXPECT_EQ(Describe(written.tag->Edges), expected + " E");
  // The shape's own path is untouched.
  EXPECT_EQ(Describe(shape->Records()), "Sf1=0l=1 L2000,0");
}

TEST(ShapeTest, ColouredDashGapsUseALineStyleOfTheirOwnEachWriting) {
  TFlashMovie movie(0, 0, 400, 400, 12);
  TFlashShape* shape = movie.AddLine(0, 0, 700, 0);
  shape->SetLineStyle(20, kRed);
  shape->SetLineStyle(40, kBlue);
  shape->AddLineStyle(shape->LineStyles().front().get());  // the first style draws the dashes
  shape->DashStyle().SetPattern({10, 5});
  shape->DashGapColor().SetRGB(0x00FF00);
  WrittenShape first = ReadShape(movie, "1");
  EXPECT_EQ(Describe(first.tag->Edges), "SM0,0l=1 L200,0 Sl=3 L100,0 Sl=1 L200,0 Sl=3 L100,0 Sl=1 L100,0 E");
  ASSERT_EQ(first.tag->LineStyles.size(), 3u);
  EXPECT_EQ(first.tag->LineStyles[2]->Width, 20);
  EXPECT_EQ(first.tag->LineStyles[2]->Color.RGBA(), 0xFF00FF00u);
  EXPECT_EQ(shape->LineStyles().size(), 2u);
  // Writing again gives the same movie.
  WrittenShape second = ReadShape(movie, "2");
  EXPECT_EQ(second.tag->LineStyles.size(), 3u);
}

TEST(ShapeTest, DashedClosedFillComesFirstWithoutOutline) {
  TFlashMovie movie(0, 0, 400, 400, 12);
  TFlashShape* shape = movie.AddRectangle(0, 0, 600, 300);
  shape->SetSolidColor(kBlue);
  shape->SetLineStyle(20, kRed);
  shape->DashStyle().SetPattern({15, 15});  // 300 twips each
  WrittenShape written = ReadShape(movie);
  std::string text = Describe(written.tag->Edges);
  // The fill (line style 0), then the outline with fills 0 and line 1.
  EXPECT_EQ(text.substr(0, 51), "Sf1=1l=0 L600,0 L0,300 L-600,0 L0,-300 SM0,0f0=0f1=");
  EXPECT_NE(text.find("SM0,0f0=0f1=0l=1 L300,0 SM600,0 L0,300 SM300,300 L-300,0 SM0,0"), std::string::npos)
      << text;
}

TEST(ShapeTest, DashedCurvesFollowTheCurveAndEndWhereItEnds) {
  TFlashMovie movie(0, 0, 400, 400, 12);
  TFlashShape* shape = movie.AddEllipse(0, 0, 4000, 2000);
  shape->SetLineStyle(20, kRed);
  shape->DashStyle().SetPattern({20, 10});
  shape->DashGapColor().SetRGBA(0x8000FF00u);  // a translucent gap colour needs DefineShape3
  WrittenShape written = ReadShape(movie);
  EXPECT_EQ(written.code, 32);
  int curves = 0, straights = 0;
  for (const auto& record : written.tag->Edges) {
    curves += record->RecordKind == TSWFShapeRecordKind::CurvedEdge;
    straights += record->RecordKind == TSWFShapeRecordKind::StraightEdge;
  }
  EXPECT_GT(curves, 10);
  EXPECT_GT(straights, 0);  // the near-horizontal and near-vertical pieces
  // The coloured pieces join up: the outline ends where the ellipse started.
  EXPECT_EQ(EndPoint(written.tag->Edges), (TPoint{4000, 1000}));
}

TEST(ShapeTest, EmptyDashPatternLeavesTheOutlineWhole) {
  TFlashMovie movie(0, 0, 400, 400, 12);
  TFlashShape* shape = movie.AddLine(0, 0, 700, 0);
  shape->SetLineStyle(20, kRed);
  shape->DashStyle().SetPattern({0, 0});
  WrittenShape written = ReadShape(movie);
  EXPECT_EQ(Describe(written.tag->Edges), "Sl=1 L700,0 E");
}

TEST(ShapeTest, AssignCopiesPathAndStyles) {
  TFlashMovie movie(0, 0, 400, 400, 12);
  TFlashShape* source = movie.AddEllipse(0, 0, 100, 50);
  source->SetSolidColorRGBA(0x80112233u);
  TFlashShape* copy = movie.AddShape();
  copy->Assign(*source);
  EXPECT_EQ(copy->CharacterId(), source->CharacterId());
  EXPECT_EQ(Describe(copy->Records()), Describe(source->Records()));
  EXPECT_TRUE(copy->HasAlpha);
  copy->Edges().LineDelta(10, 0);
  EXPECT_NE(Describe(copy->Records()), Describe(source->Records()));
}

}  // namespace
}  // namespace yel::swf
