// Shape tags: style encodings, record bits, the widths computed at write
// time, every version read back, and damaged shapes.
#include <gtest/gtest.h>

#include <vector>

#include "base/error.h"
#include "swf/format/shape_tags.h"
#include "swf/format/tag_factory.h"
#include "tests/swf/format/tag_bodies.h"

namespace yel::swf {
namespace {

using testing::As;
using testing::Body;
using testing::Bytes;
using testing::ReadAs;
using testing::ReadBody;

// Bits of one record list written alone, as a string of 0 and 1.
std::string RecordBits(TSWFShapeRecord& record, int fillBits = 1, int lineBits = 1) {
  TMemoryStream stream;
  TBitsEngine be(stream);
  if (auto* change = dynamic_cast<TSWFStyleChangeRecord*>(&record)) {
    change->NumFillBits = static_cast<std::uint8_t>(fillBits);
    change->NumLineBits = static_cast<std::uint8_t>(lineBits);
  }
  record.WriteToStream(be);
  std::string bits;
  for (std::uint8_t byte : stream.Bytes())
    for (int i = 7; i >= 0; --i) bits += (byte >> i & 1) ? '1' : '0';
  for (int i = be.BitCount() - 1; i >= 0; --i) bits += (be.BitBuffer() >> i & 1) ? '1' : '0';
  return bits;
}

TEST(ShapeRecordTest, EdgeBits) {
  struct Case {
    std::int32_t dx, dy;
    const char* bits;
  } cases[] = {
      {0, 0, ""},
      // n = 8 (field 6), not general, horizontal, 100 in 8 bits
      {100, 0, "11" "0110" "0" "0" "01100100"},
      {0, -1, "11" "0000" "0" "1" "11"},
      {3, -4, "11" "0010" "1" "0011" "1100"},
  };
  for (const auto& c : cases) {
    TSWFStraightEdgeRecord edge(c.dx, c.dy);
    EXPECT_EQ(RecordBits(edge), c.bits) << c.dx << "," << c.dy;
  }
  TSWFCurvedEdgeRecord none;
  EXPECT_EQ(RecordBits(none), "");
  TSWFCurvedEdgeRecord curve(1, 0, 0, -2);  // n = 3
  EXPECT_EQ(RecordBits(curve), "10" "0001" "001" "000" "000" "110");
}

TEST(ShapeRecordTest, StyleChangeFlags) {
  TSWFStyleChangeRecord move;
  move.StateMoveTo = true;
  move.DeltaX = 1;
  move.DeltaY = 0;
  // type 0, flags 00001, n = 2, 01, 00
  EXPECT_EQ(RecordBits(move), "0" "00001" "00010" "01" "00");

  TSWFStyleChangeRecord bare;  // no flags at all: goes out as a move
  bare.DeltaX = -1;
  EXPECT_EQ(RecordBits(bare), "0" "00001" "00010" "11" "00");

  TSWFStyleChangeRecord styles;
  styles.SetFill1(2);
  styles.SetLineStyle(1);
  EXPECT_EQ(RecordBits(styles, 2, 1), "0" "01100" "10" "1");

  // New styles alone: no move (it would take the pen to 0, 0); padded, two
  // empty style arrays, then the new widths.
  TSWFStyleChangeRecord restyle;
  restyle.NewFillStyles();
  EXPECT_EQ(RecordBits(restyle), "0" "10000" "00" "00000000" "00000000" "0000" "0000");
}

// A DefineShape3 with one fill of every kind and two line styles.
void FillEveryKind(TSWFDefineShape& shape) {
  shape.ShapeId = 7;
  shape.ShapeBounds.SetRect(TRect{-20, -40, 2000, 1000});
  auto solid = std::make_unique<TSWFColorFill>();
  solid->Color.SetRGBA(SWFRGBA(10, 20, 30, 128));
  shape.FillStyles.push_back(std::move(solid));
  for (std::uint8_t type : {kFillLinearGradient, kFillRadialGradient}) {
    auto gradient = CreateFillStyle(type);
    auto& g = static_cast<TSWFGradientFill&>(*gradient);
    g.Matrix.SetScale(0.5f, 2.0f);
    g.Matrix.SetTranslate(100, -100);
    g.SpreadMode = 1;
    g.InterpolationMode = 1;
    g.GradientRecord(0).Color.SetRGBA(SWFRGBA(255, 0, 0, 255));
    g.GradientRecord(1).Ratio = 255;
    g.GradientRecord(1).Color.SetRGBA(SWFRGBA(0, 0, 255, 64));
    shape.FillStyles.push_back(std::move(gradient));
  }
  auto focal = std::make_unique<TSWFFocalGradientFill>();
  focal->SetFocalPoint(-0.5f);
  focal->GradientRecord(2).Ratio = 128;
  shape.FillStyles.push_back(std::move(focal));
  for (std::uint8_t type : {kFillTileBitmap, kFillClipBitmap, kFillNonSmoothTileBitmap, kFillNonSmoothClipBitmap}) {
    auto image = CreateFillStyle(type);
    auto& i = static_cast<TSWFImageFill&>(*image);
    i.BitmapId = static_cast<std::uint16_t>(type);
    i.Matrix.SetScale(20.0f, 20.0f);
    i.Matrix.SetSkew(0.25f, -0.25f);
    shape.FillStyles.push_back(std::move(image));
  }
  auto line = std::make_unique<TSWFLineStyle>();
  line->Width = 40;
  line->Color.SetRGBA(SWFRGBA(1, 2, 3, 200));
  shape.LineStyles.push_back(std::move(line));

  auto* start = new TSWFStyleChangeRecord;
  shape.Edges.emplace_back(start);
  start->StateMoveTo = true;
  start->DeltaX = 100;
  start->DeltaY = 200;
  start->SetFill0(8);
  start->SetLineStyle(1);
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(500, 0));
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(0, 500));
  shape.Edges.emplace_back(new TSWFCurvedEdgeRecord(-250, 250, -250, -250));
  // New styles half way: one fill, one line.
  auto* restyle = new TSWFStyleChangeRecord;
  shape.Edges.emplace_back(restyle);
  auto fresh = std::make_unique<TSWFColorFill>();
  fresh->Color.SetRGBA(SWFRGBA(9, 8, 7, 6));
  restyle->NewFillStyles().push_back(std::move(fresh));
  auto freshLine = std::make_unique<TSWFLineStyle>();
  freshLine->Width = 1;
  restyle->NewLineStyles().push_back(std::move(freshLine));
  restyle->SetFill1(1);
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(-7, -9));
  auto* afterwards = new TSWFStyleChangeRecord;  // uses the new 1-bit widths
  shape.Edges.emplace_back(afterwards);
  afterwards->SetLineStyle(1);
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(3, 0));
  shape.Edges.emplace_back(new TSWFEndShapeRecord);
}

void ExpectSameShape(const TSWFDefineShape& a, const TSWFDefineShape& b) {
  EXPECT_EQ(a.ShapeId, b.ShapeId);
  EXPECT_EQ(a.ShapeBounds.SWFRect(), b.ShapeBounds.SWFRect());
  ASSERT_EQ(a.FillStyles.size(), b.FillStyles.size());
  for (std::size_t i = 0; i < a.FillStyles.size(); ++i) {
    const TSWFFillStyle& fa = *a.FillStyles[i];
    const TSWFFillStyle& fb = *b.FillStyles[i];
    ASSERT_EQ(fa.FillType, fb.FillType) << i;
    if (auto* ca = dynamic_cast<const TSWFColorFill*>(&fa)) {
      auto& cb = dynamic_cast<const TSWFColorFill&>(fb);
      EXPECT_EQ(ca->Color.RGB(), cb.Color.RGB());
      if (a.HasAlpha) {
        EXPECT_EQ(ca->Color.A(), cb.Color.A());
      }
    } else if (auto* ga = dynamic_cast<const TSWFBaseGradientFill*>(&fa)) {
      auto& gb = dynamic_cast<const TSWFBaseGradientFill&>(fb);
      EXPECT_EQ(ga->Matrix.Rec(), gb.Matrix.Rec());
      EXPECT_EQ(ga->SpreadMode, gb.SpreadMode);
      EXPECT_EQ(ga->InterpolationMode, gb.InterpolationMode);
      ASSERT_EQ(ga->Count(), gb.Count());
      for (int k = 0; k < ga->Count(); ++k) {
        EXPECT_EQ(ga->Gradient[k].Ratio, gb.Gradient[k].Ratio);
        EXPECT_EQ(ga->Gradient[k].Color.RGB(), gb.Gradient[k].Color.RGB());
        if (a.HasAlpha) {
          EXPECT_EQ(ga->Gradient[k].Color.A(), gb.Gradient[k].Color.A());
        }
      }
      if (auto* fa2 = dynamic_cast<const TSWFFocalGradientFill*>(&fa)) {
        EXPECT_EQ(fa2->FocalPoint, dynamic_cast<const TSWFFocalGradientFill&>(fb).FocalPoint);
      }
    } else {
      auto& ia = dynamic_cast<const TSWFImageFill&>(fa);
      auto& ib = dynamic_cast<const TSWFImageFill&>(fb);
      EXPECT_EQ(ia.BitmapId, ib.BitmapId);
      EXPECT_EQ(ia.Matrix.Rec(), ib.Matrix.Rec());
    }
  }
  ASSERT_EQ(a.LineStyles.size(), b.LineStyles.size());
  for (std::size_t i = 0; i < a.LineStyles.size(); ++i) {
    EXPECT_EQ(a.LineStyles[i]->Width, b.LineStyles[i]->Width);
    EXPECT_EQ(a.LineStyles[i]->Color.RGBA(), b.LineStyles[i]->Color.RGBA());
  }
  ASSERT_EQ(a.Edges.size(), b.Edges.size());
  for (std::size_t i = 0; i < a.Edges.size(); ++i) {
    ASSERT_EQ(a.Edges[i]->RecordKind, b.Edges[i]->RecordKind) << i;
    if (auto* ca = dynamic_cast<const TSWFCurvedEdgeRecord*>(a.Edges[i].get())) {
      auto* cb = dynamic_cast<const TSWFCurvedEdgeRecord*>(b.Edges[i].get());
      EXPECT_EQ(ca->ControlX, cb->ControlX);
      EXPECT_EQ(ca->ControlY, cb->ControlY);
      EXPECT_EQ(ca->AnchorX, cb->AnchorX);
      EXPECT_EQ(ca->AnchorY, cb->AnchorY);
    } else if (auto* sa = dynamic_cast<const TSWFStyleChangeRecord*>(a.Edges[i].get())) {
      auto* sb = dynamic_cast<const TSWFStyleChangeRecord*>(b.Edges[i].get());
      EXPECT_EQ(sa->StateMoveTo, sb->StateMoveTo);
      if (sa->StateMoveTo) {
        EXPECT_EQ(sa->DeltaX, sb->DeltaX);
        EXPECT_EQ(sa->DeltaY, sb->DeltaY);
      }
      EXPECT_EQ(sa->StateFillStyle0, sb->StateFillStyle0);
      EXPECT_EQ(sa->StateFillStyle1, sb->StateFillStyle1);
      EXPECT_EQ(sa->StateLineStyle, sb->StateLineStyle);
      EXPECT_EQ(sa->Fill0(), sb->Fill0());
      EXPECT_EQ(sa->Fill1(), sb->Fill1());
      EXPECT_EQ(sa->LineStyle(), sb->LineStyle());
      EXPECT_EQ(sa->StateNewStyles, sb->StateNewStyles);
      EXPECT_EQ(sa->NewFillStyles().size(), sb->NewFillStyles().size());
      EXPECT_EQ(sa->NewLineStyles().size(), sb->NewLineStyles().size());
    } else if (auto* ea = dynamic_cast<const TSWFStraightEdgeRecord*>(a.Edges[i].get())) {
      auto* eb = dynamic_cast<const TSWFStraightEdgeRecord*>(b.Edges[i].get());
      EXPECT_EQ(ea->DeltaX, eb->DeltaX);
      EXPECT_EQ(ea->DeltaY, eb->DeltaY);
    }
  }
}

TEST(DefineShapeTest, EveryVersionRoundTrips) {
  for (std::uint16_t code : {2, 22, 32, 83}) {
    SCOPED_TRACE(code);
    auto made = CreateTag(code);
    auto& shape = dynamic_cast<TSWFDefineShape&>(*made);
    FillEveryKind(shape);
    if (code == 83) {
      auto& shape4 = static_cast<TSWFDefineShape4&>(shape);
      shape4.EdgeBounds.SetRect(TRect{0, 0, 500, 500});
      auto line2 = std::make_unique<TSWFLineStyle2>();
      line2->Width = 60;
      line2->JoinStyle = 2;
      line2->MiterLimitFactor = 2.5f;
      line2->StartCapStyle = 1;
      line2->EndCapStyle = 2;
      line2->NoClose = line2->PixelHintingFlag = true;
      line2->NoHScaleFlag = true;
      line2->HasFillFlag = true;
      static_cast<TSWFGradientFill&>(*line2->SetFillStyleType(kFillRadialGradient)).GradientRecord(1).Ratio = 9;
      shape.LineStyles.push_back(std::move(line2));
    }
    Bytes body = Body(shape);
    auto back = ReadAs<TSWFDefineShape>(code, body);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->TagID, code);
    ExpectSameShape(shape, *back);
    // Written again, the shape read back gives the same bytes.
    EXPECT_EQ(Body(*back), body);
    if (code == 83) {
      auto& back4 = static_cast<TSWFDefineShape4&>(*back);
      EXPECT_EQ(back4.EdgeBounds.SWFRect(), (TSWFRectRec{0, 500, 0, 500}));
      EXPECT_TRUE(back4.UsesNonScalingStrokes);
      EXPECT_TRUE(back4.UsesScalingStrokes);  // the first line is converted
      auto* line2 = dynamic_cast<TSWFLineStyle2*>(back4.LineStyles[1].get());
      ASSERT_NE(line2, nullptr);
      EXPECT_EQ(line2->JoinStyle, 2);
      EXPECT_FLOAT_EQ(line2->MiterLimitFactor, 2.5f);
      EXPECT_EQ(line2->StartCapStyle, 1);
      EXPECT_EQ(line2->EndCapStyle, 2);
      EXPECT_TRUE(line2->NoClose && line2->PixelHintingFlag && line2->NoHScaleFlag && !line2->NoVScaleFlag);
      ASSERT_NE(line2->FillStyle(), nullptr);
      EXPECT_EQ(line2->FillStyle()->FillType, kFillRadialGradient);
      EXPECT_EQ(static_cast<TSWFGradientFill*>(line2->FillStyle())->Gradient[1].Ratio, 9);
    }
  }
}

TEST(DefineShapeTest, AlphaFollowsTheVersion) {
  for (auto [code, colorBytes] : {std::pair{22, 3}, std::pair{32, 4}}) {
    auto made = CreateTag(static_cast<std::uint16_t>(code));
    auto& shape = dynamic_cast<TSWFDefineShape&>(*made);
    auto fill = std::make_unique<TSWFColorFill>();
    fill->Color.SetRGBA(SWFRGBA(1, 2, 3, 128));
    shape.FillStyles.push_back(std::move(fill));
    Bytes body = Body(shape);
    // id 2, rect 1, count 1, type 1, colour, no lines 1, widths 1, end 1
    ASSERT_EQ(body.size(), 8u + colorBytes);
    EXPECT_EQ(body[5], 1);
    EXPECT_EQ(body[6], 2);
    EXPECT_EQ(body[7], 3);
    if (colorBytes == 4) {
      EXPECT_EQ(body[8], 128);
    }
    EXPECT_EQ(body[body.size() - 2], 0x10);  // fill width 1, line width 0
  }
}

TEST(DefineShapeTest, WidthsAndEndRecords) {
  TSWFDefineShape empty;
  EXPECT_EQ(Body(empty), (Bytes{0, 0, 0x00, 0, 0, 0x00, 0x00}));

  // Ends inside the list are skipped, one closes it.
  TSWFDefineShape ends;
  ends.Edges.emplace_back(new TSWFEndShapeRecord);
  ends.Edges.emplace_back(new TSWFStraightEdgeRecord(1, 0));
  ends.Edges.emplace_back(new TSWFEndShapeRecord);
  ends.Edges.emplace_back(new TSWFEndShapeRecord);
  // widths byte, then 11 0000 0 0 01 (edge), 000000 end, padded
  Bytes body = Body(ends);
  EXPECT_EQ(Bytes(body.begin() + 5, body.end()), (Bytes{0x00, 0b11000000, 0b01000000}));

  // Without fill styles the fill changes are dropped; a record left with no
  // change at all is not written (it would become a move to 0, 0).
  TSWFDefineShape noFills;
  noFills.LineStyles.push_back(std::make_unique<TSWFLineStyle>());
  auto* both = new TSWFStyleChangeRecord;
  both->SetFill0(1);
  both->SetLineStyle(1);
  noFills.Edges.emplace_back(both);
  auto* fillOnly = new TSWFStyleChangeRecord;
  fillOnly->SetFill1(1);
  noFills.Edges.emplace_back(fillOnly);
  body = Body(noFills);
  // id, rect, fill count, line count, width, colour; widths 0x01;
  // 0 01000 1 (line 1), end 000000
  EXPECT_EQ(Bytes(body.begin() + 10, body.end()), (Bytes{0x01, 0b00100010, 0b00000000}));
  // The records keep their selections, and a second write is the same.
  EXPECT_TRUE(both->StateFillStyle0 && fillOnly->StateFillStyle1);
  EXPECT_EQ(Body(noFills), body);

  // 300 fills: extended count, 9-bit indices.
  TSWFDefineShape2 many;
  for (int i = 0; i < 300; ++i) many.FillStyles.push_back(std::make_unique<TSWFColorFill>());
  body = Body(many);
  EXPECT_EQ(body[3], 0xFF);
  EXPECT_EQ(body[4], 0x2C);
  EXPECT_EQ(body[5], 0x01);
  EXPECT_EQ(body[6 + 300 * 4 + 1], 0x90);
  auto back = ReadAs<TSWFDefineShape>(22, body);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->FillStyles.size(), 300u);

  // A DefineShape has no extended count: 0xFF is 255 styles, and more
  // cannot be written.
  TSWFDefineShape first;
  for (int i = 0; i < 255; ++i) first.FillStyles.push_back(std::make_unique<TSWFColorFill>());
  body = Body(first);
  EXPECT_EQ(body[3], 0xFF);
  EXPECT_EQ(body[4], 0x00);  // the first fill's type
  back = ReadAs<TSWFDefineShape>(2, body);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->FillStyles.size(), 255u);
  first.FillStyles.push_back(std::make_unique<TSWFColorFill>());
  EXPECT_THROW(Body(first), yel::Error);
}

TEST(DefineShapeTest, LineStyle2MiterLimit) {
  for (auto [join, size] : {std::pair{2, 10}, std::pair{1, 8}}) {
    TSWFDefineShape4 shape;
    auto line = std::make_unique<TSWFLineStyle2>();
    line->JoinStyle = static_cast<std::uint8_t>(join);
    line->MiterLimitFactor = 3.0f;
    line->Color.SetRGBA(SWFRGBA(1, 2, 3, 4));
    shape.LineStyles.push_back(std::move(line));
    Bytes body = Body(shape);
    // id, rect, edge rect, flags, fill count, line count, then the style
    std::size_t at = 2 + 1 + 1 + 1 + 1 + 1;
    ASSERT_GE(body.size(), at + size);
    EXPECT_EQ(body[at + 2], join << 4);
    if (join == 2) {
      EXPECT_EQ(body[at + 4], 0x00);
      EXPECT_EQ(body[at + 5], 0x03);
    }
    EXPECT_EQ(Bytes(body.begin() + at + size - 4, body.begin() + at + size), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(body[4], 0x01);  // scaling strokes only
  }
}

TEST(DefineShapeTest, LongEdgesAreSplit) {
  TSWFDefineShape shape;
  shape.Edges.emplace_back(new TSWFStraightEdgeRecord(200001, -3));
  shape.Edges.emplace_back(new TSWFCurvedEdgeRecord(150000, 0, 0, 150000));
  auto back = ReadAs<TSWFDefineShape>(2, Body(shape));
  ASSERT_NE(back, nullptr);
  std::int64_t x = 0, y = 0;
  int straight = 0, curved = 0;
  for (const auto& record : back->Edges) {
    if (auto* c = dynamic_cast<TSWFCurvedEdgeRecord*>(record.get())) {
      ++curved;
      x += c->ControlX + c->AnchorX;
      y += c->ControlY + c->AnchorY;
    } else if (auto* s = dynamic_cast<TSWFStraightEdgeRecord*>(record.get())) {
      ++straight;
      EXPECT_LE(std::abs(s->DeltaX), 65535);
      x += s->DeltaX;
      y += s->DeltaY;
      if (straight == 4) {
        EXPECT_EQ(x, 200001);
        EXPECT_EQ(y, -3);
      }
    }
  }
  EXPECT_EQ(straight, 4);
  EXPECT_EQ(curved, 4);
  EXPECT_EQ(x, 350001);
  EXPECT_EQ(y, 149997);
}

TEST(DefineShapeTest, DamagedShapesFail) {
  TSWFDefineShape3 shape;
  FillEveryKind(shape);
  Bytes good = Body(shape);
  struct Case {
    const char* what;
    Bytes body;
  } cases[] = {
      {"unknown fill type", [&] {
         Bytes b = good;
         b[10] = 0x11;  // the first fill's type: after id, a 7-byte rect and the count
         return b;
       }()},
      {"fill count past the end", Bytes{1, 0, 0x00, 0xFF, 0xFF, 0xFF, 0x00}},
      {"line count past the end", Bytes{1, 0, 0x00, 0x00, 0x30}},
      // a style change announcing new styles, then a fill count of 3 and no fills
      {"new styles cut off", Bytes{1, 0, 0x00, 0x00, 0x00, 0x00, 0b01000000, 0x03}},
      // widths 0x00, then a curve claiming 17-bit deltas in two bytes
      {"curve past the end", Bytes{1, 0, 0x00, 0x00, 0x00, 0x00, 0b10111100, 0x00}},
  };
  for (const auto& c : cases) {
    auto tag = CreateTag(32);
    tag->BodySize = static_cast<std::uint32_t>(c.body.size());
    TBufferStream stream(c.body.data(), c.body.size());
    TBitsEngine be(stream);
    EXPECT_THROW(ReadTagBody(be, *tag, tag->BodySize), yel::Error) << c.what;
  }
  // A body that stops right after a record still reads, with an end record.
  TSWFDefineShape straight;
  straight.Edges.emplace_back(new TSWFStraightEdgeRecord(0, 8));  // 11 0011 0 1 01000 = 13 bits
  Bytes body = Body(straight);
  body.pop_back();  // drop the byte that holds the end record
  body.back() &= 0xF8;
  auto back = ReadAs<TSWFDefineShape>(2, body);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Edges.size(), 2u);
  EXPECT_EQ(back->Edges[1]->RecordKind, TSWFShapeRecordKind::End);
}

TEST(DefineShapeTest, CopyIsDeep) {
  TSWFDefineShape3 shape;
  FillEveryKind(shape);
  auto copy = CloneTag(shape);
  auto& typed = dynamic_cast<TSWFDefineShape3&>(*copy);
  ExpectSameShape(shape, typed);
  EXPECT_NE(shape.FillStyles[0].get(), typed.FillStyles[0].get());
  EXPECT_EQ(Body(typed), Body(shape));
}

}  // namespace
}  // namespace yel::swf
