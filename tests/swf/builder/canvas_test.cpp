// The drawing canvas: what a recorded drawing becomes (sprites, levels and
// clipping, shapes with the pen and brush, paths, bitmaps and raster
// operations), and how damaged or foreign metafiles are read.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "base/error.h"
#include "base/files.h"
#include "builder_test_util.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/recording_context.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/fill_line_styles.h"
#include "swf/format/place_object_tags.h"

namespace yel::swf {
namespace {

using gdi::RecordingContext;
using testing::Placements;

std::vector<TFlashShape*> PlacedShapes(TFlashSprite* sprite) {
  std::vector<TFlashShape*> out;
  for (TFlashPlaceObject* p : Placements(sprite))
    if (auto* s = dynamic_cast<TFlashShape*>(p->Character())) out.push_back(s);
  return out;
}

struct Drawing {
  TFlashMovie movie{0, 0, 200, 150, 12, TSWFSystemCoord::Pix};
  TFlashCanvas& canvas = movie.Canvas();
  RecordingContext& dc() { return canvas.Handle(); }
  // The level-1 sprite of the drawing and the shapes placed in it.
  TFSpriteCanvas* Level() { return canvas.TopSprite(); }
  // Writes the movie with the drawing placed (and, for the independent
  // parser, keeps it when YEL_BUILDER_MOVIES names a folder).
  void Save(TFlashSprite* root = nullptr) {
    if (!root) root = canvas.RootSprite();
    if (root) {
      if (root->FrameCount() == 0) root->ShowFrame();
      movie.PlaceObject(root, 1);
    }
    movie.ShowFrame();
    testing::SaveMovie(movie);
  }
};

std::uint32_t SolidColour(TFlashShape* s, std::size_t i = 0) {
  auto* fill = dynamic_cast<TSWFColorFill*>(s->FillStyles().at(i).get());
  return fill ? (std::uint32_t(fill->Color.R) | std::uint32_t(fill->Color.G) << 8 | std::uint32_t(fill->Color.B) << 16)
              : 0xFFFFFFFFu;
}

int CountEdges(TFlashShape* s) {
  int n = 0;
  for (const auto& r : s->Records())
    if (r->RecordKind == TSWFShapeRecordKind::StraightEdge || r->RecordKind == TSWFShapeRecordKind::CurvedEdge) ++n;
  return n;
}

TEST(Canvas, NothingDrawnGivesNoSpriteAndNoObjects) {
  Drawing d;
  d.dc().SetBkColor(gdi::Rgb(1, 2, 3));  // state only
  EXPECT_EQ(d.canvas.MakeSprite(), nullptr);
  EXPECT_TRUE(d.movie.ObjectList().empty());
  EXPECT_EQ(d.canvas.PlaceDrawing(1, true), nullptr);
  EXPECT_TRUE(d.movie.ObjectList().empty());
}

TEST(Canvas, OneRectangleBecomesLevelRootAndShapeInIdOrder) {
  Drawing d;
  d.dc().Rectangle(10, 20, 60, 70);
  TFlashSprite* root = d.canvas.MakeSprite();
  ASSERT_NE(root, nullptr);
  ASSERT_EQ(d.movie.ObjectList().size(), 3u);
  auto* level = dynamic_cast<TFSpriteCanvas*>(Placements(root).at(0)->Character());
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(level->CharacterId(), 1);
  EXPECT_EQ(level->Level, 1);
  EXPECT_EQ(root->CharacterId(), 2);
  EXPECT_EQ(Placements(root).at(0)->Depth(), 1);
  std::vector<TFlashShape*> shapes = PlacedShapes(level);
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(shapes[0]->CharacterId(), 3);
  EXPECT_EQ(Placements(level).at(0)->Depth(), 1);
  EXPECT_EQ(root->FrameCount(), 1);
  // Device pixels are movie pixels.
  EXPECT_EQ(shapes[0]->XMin(), 10);
  EXPECT_EQ(shapes[0]->YMax(), 70);
  // No brush selected: light grey; no pen selected: no outline.
  EXPECT_EQ(SolidColour(shapes[0]), 0xC0C0C0u);
  EXPECT_TRUE(shapes[0]->LineStyles().empty());
  d.Save(root);
}

TEST(Canvas, RecordingFrameIsTheMovieAt96PixelsPerInch) {
  TFlashMovie movie(0, 0, 640, 480, 12, TSWFSystemCoord::Pix);
  movie.Canvas().Handle().Rectangle(0, 0, 10, 10);
  movie.Canvas().ConvertDrawing();
  const std::vector<std::uint8_t>& bytes = movie.Canvas().Metafile();
  gdi::MetafileRecords mf(bytes.data(), bytes.size(), "frame.emf");
  EXPECT_EQ(mf.Header().frame, (gdi::Rect{0, 0, 16933, 12700}));
  EXPECT_EQ(movie.Canvas().FrameRect(), (gdi::Rect{0, 0, 640, 480}));
}

TEST(Canvas, ClipRectangleOpensAContainerUntilRestore) {
  Drawing d;
  d.dc().SelectObject(gdi::StockObject(gdi::BLACK_BRUSH));
  d.dc().SaveDC();
  d.dc().IntersectClipRect(10, 10, 50, 50);
  d.dc().Rectangle(0, 0, 100, 100);
  d.dc().RestoreDC(-1);
  d.dc().Rectangle(100, 100, 120, 120);
  d.canvas.ConvertDrawing();
  TFSpriteCanvas* level = d.Level();
  std::vector<TFlashPlaceObject*> top = Placements(level);
  ASSERT_EQ(top.size(), 2u);
  auto* container = dynamic_cast<TFSpriteCanvas*>(top[0]->Character());
  ASSERT_NE(container, nullptr);
  EXPECT_EQ(container->Level, 2);
  std::vector<TFlashPlaceObject*> inside = Placements(container);
  ASSERT_EQ(inside.size(), 2u);
  EXPECT_EQ(inside[0]->Depth(), 1);
  EXPECT_TRUE(inside[0]->PlaceRecord().HasClipDepth);
  EXPECT_EQ(inside[0]->PlaceRecord().ClipDepth, 2);
  auto* mask = dynamic_cast<TFlashSprite*>(inside[0]->Character());
  ASSERT_EQ(PlacedShapes(mask).size(), 1u);
  EXPECT_EQ(PlacedShapes(mask)[0]->XMin(), 10);
  auto* content = dynamic_cast<TFSpriteCanvas*>(inside[1]->Character());
  ASSERT_NE(content, nullptr);
  EXPECT_EQ(inside[1]->Depth(), 2);
  EXPECT_EQ(content->Level, 0);
  EXPECT_EQ(PlacedShapes(content).size(), 1u);
  // After RESTOREDC the drawing goes on in the level-1 sprite.
  ASSERT_EQ(PlacedShapes(level).size(), 1u);
  EXPECT_EQ(PlacedShapes(level)[0]->XMin(), 100);
  d.Save();
}

TEST(Canvas, PlaceDrawingWithoutForgetAddsFramesToOneRootSprite) {
  Drawing d;
  d.dc().Rectangle(0, 0, 10, 10);
  TFlashPlaceObject* first = d.canvas.PlaceDrawing(1, false);
  d.dc().Ellipse(0, 0, 10, 10);
  TFlashPlaceObject* second = d.canvas.PlaceDrawing(1, false);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->Character(), second->Character());
  auto* root = dynamic_cast<TFlashSprite*>(first->Character());
  EXPECT_EQ(root->FrameCount(), 2);
  std::vector<TFlashPlaceObject*> levels = Placements(root);
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[1]->Depth(), 2);
}

TEST(Canvas, PensAndBrushesBecomeLineStylesAndFills) {
  Drawing d;
  d.dc().SelectObject(gdi::StockObject(gdi::WHITE_BRUSH));
  d.dc().Rectangle(0, 0, 10, 10);
  d.dc().SelectObject(d.dc().CreatePen(gdi::PS_DASH, 1, gdi::Rgb(255, 0, 0)));
  d.dc().SetBkMode(gdi::TRANSPARENT);
  d.dc().Rectangle(0, 0, 10, 10);
  d.dc().SelectObject(gdi::StockObject(gdi::NULL_PEN));
  d.dc().SelectObject(d.dc().CreateSolidBrush(gdi::Rgb(1, 2, 3)));
  d.dc().Ellipse(0, 0, 10, 10);
  d.dc().SelectObject(d.dc().CreateHatchBrush(gdi::HS_CROSS, gdi::Rgb(0, 0, 255)));
  d.dc().Rectangle(0, 0, 10, 10);
  d.canvas.ConvertDrawing();
  std::vector<TFlashShape*> s = PlacedShapes(d.Level());
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(SolidColour(s[0]), 0xFFFFFFu);
  EXPECT_TRUE(s[0]->LineStyles().empty());  // no pen selected: no outline
  ASSERT_TRUE(s[1]->HasDashStyle());
  EXPECT_EQ(s[1]->DashStyle().Count(), 2);
  EXPECT_EQ(s[1]->DashStyle().Items(0), 18);
  EXPECT_EQ(s[1]->DashStyle().Items(1), 6);
  EXPECT_TRUE(s[1]->TransparentGaps());
  EXPECT_EQ(SolidColour(s[2]), 0x030201u);
  EXPECT_TRUE(s[2]->LineStyles().empty());  // null pen
  auto* hatch = dynamic_cast<TSWFImageFill*>(s[3]->FillStyles().at(0).get());
  ASSERT_NE(hatch, nullptr);
  EXPECT_EQ(hatch->FillType, 0x40);  // a repeating bitmap
  d.Save();
}

TEST(Canvas, ConsecutiveLinesBecomeOneShape) {
  Drawing d;
  d.dc().MoveToEx(0, 0);
  for (int i = 1; i <= 5; ++i) d.dc().LineTo(i * 10, (i % 2) * 10);
  d.dc().Rectangle(50, 50, 60, 60);
  d.canvas.ConvertDrawing();
  std::vector<TFlashShape*> s = PlacedShapes(d.Level());
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(CountEdges(s[0]), 5);
  EXPECT_EQ(s[1]->XMin(), 50);  // the lines were placed before the rectangle
  d.Save();
}

TEST(Canvas, WindingPathGivesEachFigureItsOwnCopyOfTheFill) {
  Drawing d;
  d.dc().SelectObject(d.dc().CreateSolidBrush(gdi::Rgb(0, 128, 0)));
  d.dc().SetPolyFillMode(gdi::WINDING);
  d.dc().BeginPath();
  d.dc().Rectangle(10, 10, 60, 60);
  d.dc().Rectangle(30, 30, 90, 90);
  d.dc().EndPath();
  d.dc().FillPath();
  d.canvas.ConvertDrawing();
  std::vector<TFlashShape*> s = PlacedShapes(d.Level());
  ASSERT_EQ(s.size(), 1u);
  ASSERT_EQ(s[0]->FillStyles().size(), 2u);
  EXPECT_EQ(SolidColour(s[0], 0), SolidColour(s[0], 1));
  std::vector<int> fills;
  for (const auto& r : s[0]->Records())
    if (r->RecordKind == TSWFShapeRecordKind::StyleChange) {
      auto& sc = static_cast<const TSWFStyleChangeRecord&>(*r);
      if (sc.StateMoveTo && sc.StateFillStyle1) fills.push_back(sc.Fill1());
    }
  EXPECT_EQ(fills, (std::vector<int>{1, 2}));
  d.Save();
}

TEST(Canvas, CounterclockwisePolygonKeepsItsFillOnTheLeft) {
  Drawing d;
  d.dc().SelectObject(gdi::StockObject(gdi::BLACK_BRUSH));
  d.dc().Polygon({{10, 10}, {10, 50}, {50, 50}});  // counterclockwise on screen
  d.dc().Polygon({{10, 10}, {50, 10}, {50, 50}});  // clockwise
  d.canvas.ConvertDrawing();
  std::vector<TFlashShape*> s = PlacedShapes(d.Level());
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0]->Fill0Num(), 1);
  EXPECT_EQ(s[0]->Fill1Num(), 0);
  EXPECT_EQ(s[1]->Fill1Num(), 1);
  d.Save();
}

TEST(Canvas, BlitsWithoutSourceAndOverdrawnBlits) {
  Drawing d;
  d.dc().SelectObject(d.dc().CreateSolidBrush(gdi::Rgb(0, 0, 255)));
  d.dc().BitBlt(0, 0, 50, 50, nullptr, 0, 0, gdi::PATCOPY);
  d.dc().BitBlt(0, 0, 50, 50, nullptr, 0, 0, gdi::PATCOPY);  // hides the first
  d.dc().BitBlt(60, 0, 50, 50, nullptr, 0, 0, gdi::NOP);     // nothing
  d.dc().BitBlt(0, 60, 50, 0, nullptr, 0, 0, gdi::PATCOPY);  // one pixel high
  d.canvas.ConvertDrawing();
  std::vector<TFlashPlaceObject*> p = Placements(d.Level());
  ASSERT_EQ(p.size(), 2u);
  auto* first = dynamic_cast<TFlashShape*>(p[0]->Character());
  EXPECT_EQ(SolidColour(first), 0xFF0000u);
  auto* flat = dynamic_cast<TFlashShape*>(p[1]->Character());
  EXPECT_EQ(flat->Height(), 1);

  // Without the raster fallback an inverting blit becomes a rectangle in
  // the invert blend mode.
  Drawing v;
  v.canvas.Options = 0;
  v.dc().BitBlt(0, 80, 50, 20, nullptr, 0, 0, gdi::DSTINVERT);
  v.canvas.ConvertDrawing();
  ASSERT_EQ(Placements(v.Level()).size(), 1u);
  EXPECT_EQ(Placements(v.Level())[0]->BlendMode(), 10);
  d.Save();
}

TEST(Canvas, StretchDIBitsBecomesALosslessBitmapFillingItsRectangle) {
  Drawing d;
  gdi::Picture pic;
  pic.width = 4;
  pic.height = 3;
  pic.pixels.assign(12, 0xFF336699u);
  d.dc().DrawPicture(pic, {20, 30, 120, 105});
  d.canvas.ConvertDrawing();
  std::vector<TFlashShape*> s = PlacedShapes(d.Level());
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0]->XMin(), 20);
  EXPECT_EQ(s[0]->YMin(), 30);
  EXPECT_EQ(s[0]->XMax(), 120);
  EXPECT_EQ(s[0]->YMax(), 105);
  auto* fill = dynamic_cast<TSWFImageFill*>(s[0]->FillStyles().at(0).get());
  ASSERT_NE(fill, nullptr);
  EXPECT_EQ(fill->FillType, 0x41);  // clipped bitmap, fit
  ASSERT_EQ(d.movie.Images().Count(), 1);
  EXPECT_EQ(d.movie.Images().Items(0)->Width(), 4);
  EXPECT_EQ(d.movie.Images().Items(0)->Height(), 3);
  d.Save();
}

TEST(Canvas, MixModesAndUnusualRasterOpsComeFromTheWorkBitmap) {
  Drawing d;
  d.dc().SelectObject(gdi::StockObject(gdi::BLACK_BRUSH));
  d.dc().Rectangle(0, 0, 100, 100);
  d.dc().SetROP2(gdi::R2_XORPEN);
  d.dc().Polygon({{10, 10}, {50, 10}, {50, 50}});
  d.dc().SetROP2(gdi::R2_COPYPEN);
  d.dc().Rectangle(120, 0, 140, 20);
  d.canvas.ConvertDrawing();
  EXPECT_TRUE(d.canvas.RasterNeeded());
  std::vector<TFlashShape*> s = PlacedShapes(d.Level());
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(SolidColour(s[0]), 0u);
  EXPECT_NE(dynamic_cast<TSWFImageFill*>(s[1]->FillStyles().at(0).get()), nullptr);
  EXPECT_EQ(SolidColour(s[2]), 0u);
  EXPECT_EQ(d.movie.Images().Count(), 1);
  d.Save();
}

TEST(Canvas, DrawMetafileRefusesForeignBytesAndSkipsDamagedRecords) {
  Drawing d;
  std::vector<std::uint8_t> junk(100, 7);
  try {
    d.canvas.DrawMetafile({0, 0, 10, 10}, junk, false, "junk.emf");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("junk.emf"), std::string::npos);
  }
  // A rectangle whose brush index lies beyond the object table.
  gdi::RecordingContext dc(gdi::Rect{0, 0, 5292, 3969});
  dc.SelectObject(dc.CreateSolidBrush(gdi::Rgb(255, 0, 0)));
  dc.Rectangle(0, 0, 50, 50);
  dc.Ellipse(60, 60, 90, 90);
  std::vector<std::uint8_t> bytes = dc.Close();
  gdi::MetafileRecords mf(bytes.data(), bytes.size(), "x");
  std::size_t at = std::size_t(mf.Records()[2].data - bytes.data());  // the SELECTOBJECT
  std::uint32_t bad = 60000;
  std::memcpy(&bytes[at + 8], &bad, 4);
  d.canvas.DrawMetafile({0, 0, 200, 150}, bytes, false, "bad.emf");
  std::vector<TFlashShape*> s = PlacedShapes(d.Level());
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(SolidColour(s[0]), 0xC0C0C0u);  // the selection was ignored

  // A picture whose header claims 30000 × 30000 pixels draws nothing.
  gdi::Picture pic;
  pic.width = pic.height = 4;
  pic.pixels.assign(16, 0xFFFF0000u);
  gdi::RecordingContext pc(gdi::Rect{0, 0, 5292, 3969});
  pc.DrawPicture(pic, {0, 0, 4, 4});
  pc.Rectangle(10, 10, 20, 20);
  std::vector<std::uint8_t> lying = pc.Close();
  gdi::MetafileRecords lm(lying.data(), lying.size(), "x");
  const std::uint8_t* rec = lm.Records()[1].data;
  ASSERT_EQ(lm.Records()[1].type, gdi::EMR_STRETCHDIBITS);
  std::uint32_t off_bmi;
  std::memcpy(&off_bmi, rec + 48, 4);
  std::size_t at_bmi = std::size_t(rec - lying.data()) + off_bmi;
  std::uint32_t huge = 30000;
  std::memcpy(&lying[at_bmi + 4], &huge, 4);
  std::memcpy(&lying[at_bmi + 8], &huge, 4);
  Drawing l;
  l.canvas.DrawMetafile({0, 0, 200, 150}, lying, false, "lying.emf");
  std::vector<TFlashShape*> ls = PlacedShapes(l.Level());
  ASSERT_EQ(ls.size(), 1u);
  EXPECT_EQ(ls[0]->XMin(), 10);
  EXPECT_EQ(l.movie.Images().Count(), 0);
  d.Save();
}

TEST(Canvas, DrawMetafileStretchesAndPlacesTheDrawing) {
  Drawing d;
  gdi::RecordingContext dc(gdi::Rect{0, 0, 2646, 2646});  // 100 × 100 pixels
  dc.Rectangle(0, 0, 100, 100);
  std::vector<std::uint8_t> bytes = dc.Close();
  d.canvas.DrawMetafile({10, 20, 60, 220}, bytes, true);
  TFlashPlaceObject* top = d.Level()->Placement;
  ASSERT_NE(top, nullptr);
  const TSWFMatrix& m = top->PlaceRecord().Matrix();
  EXPECT_NEAR(m.GetScaleX(), 0.5, 1e-3);
  EXPECT_NEAR(m.GetScaleY(), 2.0, 1e-3);
  EXPECT_EQ(m.TranslateX, 200);
  EXPECT_EQ(m.TranslateY, 400);
  d.Save();
}

// A Windows metafile (WMF) written record by record: an optional placeable
// header, the standard header, then records of 16-bit words.
class WmfWriter {
 public:
  void Record(std::uint16_t function, std::vector<std::uint16_t> params) {
    Put32(records_, static_cast<std::uint32_t>(3 + params.size()));
    Put16(records_, function);
    for (std::uint16_t p : params) Put16(records_, p);
  }
  std::vector<std::uint8_t> Bytes(bool placeable, std::int16_t right = 0, std::int16_t bottom = 0,
                                  std::uint16_t inch = 0) {
    std::vector<std::uint8_t> out;
    if (placeable) {
      Put32(out, 0x9AC6CDD7u);
      for (std::uint16_t v : std::initializer_list<std::uint16_t>{0, 0, 0, std::uint16_t(right), std::uint16_t(bottom), inch})
        Put16(out, v);
      Put32(out, 0);
      Put16(out, 0);  // checksum (not checked)
    }
    std::vector<std::uint8_t> body = records_;
    Put32(body, 3), Put16(body, 0);  // EOF
    Put16(out, 1), Put16(out, 9), Put16(out, 0x0300);
    Put32(out, static_cast<std::uint32_t>(9 + body.size() / 2));
    Put16(out, 2), Put32(out, 16), Put16(out, 0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }

 private:
  static void Put16(std::vector<std::uint8_t>& v, std::uint16_t x) { v.push_back(x & 255), v.push_back(x >> 8); }
  static void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) { Put16(v, x & 0xFFFF), Put16(v, x >> 16); }
  std::vector<std::uint8_t> records_;
};

// A red rectangle over the left half of a 200 x 100 window, then a blue
// ellipse drawn after the red brush is deleted and a new one takes its slot.
WmfWriter RedAndBlue(bool window) {
  WmfWriter w;
  if (window) {
    w.Record(0x0103, {8});             // SETMAPMODE anisotropic
    w.Record(0x020B, {0, 0});          // SETWINDOWORG (y, x)
    w.Record(0x020C, {100, 200});      // SETWINDOWEXT (y, x)
  }
  w.Record(0x02FA, {5, 0, 0, 0, 0});   // CREATEPENINDIRECT null pen: slot 0
  w.Record(0x012D, {0});
  w.Record(0x02FC, {0, 0x00FF, 0x0000, 0});  // CREATEBRUSHINDIRECT red: slot 1
  w.Record(0x012D, {1});
  w.Record(0x041B, {100, 100, 0, 0});  // RECTANGLE (bottom, right, top, left)
  w.Record(0x01F0, {1});               // DELETEOBJECT: slot 1 is free again
  w.Record(0x02FC, {0, 0x0000, 0x00FF, 0});  // blue brush takes slot 1
  w.Record(0x012D, {1});
  w.Record(0x0418, {80, 180, 20, 120});  // ELLIPSE
  return w;
}

TEST(Canvas, DrawMetafileConvertsWindowsMetafiles) {
  struct Case {
    const char* what;
    bool placeable, window, stretch;
    std::int16_t right, bottom;
    std::uint16_t inch;
    double scaleX, scaleY;  // of the drawing's placement
  };
  const std::vector<Case> cases = {
      // 1440 units per inch: 200 x 100 units are 13.33 x 6.67 pixels; the
      // copy's frame has whole pixels (13 x 7), the scales make up the
      // difference.
      {"placeable", true, false, false, 200, 100, 1440, 13.3333 / 13, 6.6667 / 7},
      {"placeable at 96 per inch", true, false, false, 200, 100, 96, 1, 1},
      {"window extent", false, true, false, 0, 0, 0, 1, 1},
      {"stretched", false, true, true, 0, 0, 0, 0.5, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drawing d;
    const std::vector<std::uint8_t> wmf = RedAndBlue(c.window).Bytes(c.placeable, c.right, c.bottom, c.inch);
    d.canvas.DrawMetafile({10, 20, 110, 220}, wmf, c.stretch, "drawing.wmf");
    ASSERT_NE(d.Level(), nullptr);
    std::vector<TFlashShape*> s = PlacedShapes(d.Level());
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(SolidColour(s[0]), 0x0000FFu);
    EXPECT_EQ(SolidColour(s[1]), 0xFF0000u);
    TFlashPlaceObject* top = d.Level()->Placement;
    ASSERT_NE(top, nullptr);
    const TSWFMatrix& m = top->PlaceRecord().Matrix();
    EXPECT_EQ(m.TranslateX, 200);
    EXPECT_EQ(m.TranslateY, 400);
    EXPECT_NEAR(m.HasScale ? m.GetScaleX() : 1.0, c.scaleX, 2e-3);
    EXPECT_NEAR(m.HasScale ? m.GetScaleY() : 1.0, c.scaleY, 2e-3);
    if (c.placeable && c.inch == 96) {
      // One unit to a pixel: the red rectangle covers the left half.
      EXPECT_EQ(s[0]->XMax() - s[0]->XMin(), 100);
      EXPECT_EQ(s[0]->YMax() - s[0]->YMin(), 100);
    }
    d.Save();
  }
  // A damaged header is refused with the file's name.
  std::vector<std::uint8_t> bad = RedAndBlue(false).Bytes(true, 200, 100, 0);
  Drawing d;
  try {
    d.canvas.DrawMetafile({0, 0, 10, 10}, bad, false, "zero.wmf");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("zero.wmf"), std::string::npos) << e.what();
  }
}

TEST(Canvas, MetafilesWrittenByAnotherProgramAreRead) {
  for (const char* name : {"shapes.emf", "gradient.emf", "photo.emf"}) {
    TFlashMovie movie(0, 0, 200, 150, 12, TSWFSystemCoord::Pix);
    std::string path = std::string(YEL_SOURCE_DIR) + "/tests/swf/builder/metafiles/" + name;
    movie.Canvas().DrawMetafileFile({0, 0, 200, 150}, path, true);
    ASSERT_NE(movie.Canvas().RootSprite(), nullptr) << name;
    EXPECT_GT(movie.Shapes().Count(), 0) << name;
    movie.PlaceObject(movie.Canvas().RootSprite(), 1);
    movie.ShowFrame();
    testing::SaveMovie(movie, std::string("_") + name);
  }
}

// A few records that fill a huge frame again and again: the work bitmap is
// cut to 16 megapixels, and the conversion stops with an error once the
// records have cost more than their share of pixel work, instead of keeping
// the program busy for minutes (the fuzzer found such files).
TEST(Canvas, DrawMetafileBoundsTheWorkOfHugeRasterFrames) {
  gdi::RecordingContext dc(gdi::Rect{0, 0, 264600, 52920});  // 10000 x 2000 pixels
  dc.SelectObject(gdi::StockObject(gdi::BLACK_BRUSH));
  dc.SetROP2(gdi::R2_XORPEN);
  for (int i = 0; i < 40; ++i) dc.Rectangle(0, 0, 10000, 2000);
  std::vector<std::uint8_t> bytes = dc.Close();
  Drawing d;
  try {
    d.canvas.DrawMetafile({0, 0, 200, 150}, bytes, false, "huge.emf");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("huge.emf"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("too much drawing work"), std::string::npos) << e.what();
  }
}

// Records the metafile fuzzer found undefined behaviour in (kept as its
// seeds): transfers whose far edge overflows 32 bits, and a one-pixel
// transfer from the work bitmap. Each draws one rectangle.
TEST(Canvas, FuzzerFindingsDrawWithoutUndefinedBehaviour) {
  for (const char* name :
       {"bitblt-far-edge-overflow.emf", "maskblt-far-edge-overflow.emf", "raster-one-pixel-transfer.emf"}) {
    SCOPED_TRACE(name);
    TFlashMovie movie(0, 0, 160, 120, 12, TSWFSystemCoord::Pix);
    movie.Canvas().DrawMetafileFile({10, 10, 150, 110}, std::string(YEL_SOURCE_DIR) + "/fuzz/seeds/metafiles/" + name,
                                    false);
    ASSERT_NE(movie.Canvas().RootSprite(), nullptr);
    EXPECT_EQ(movie.Shapes().Count(), 1);
    movie.PlaceObject(movie.Canvas().RootSprite(), 1);
    movie.ShowFrame();
    movie.MakeStream();
  }
}

}  // namespace
}  // namespace yel::swf
