// The drawing-interface stand-in: what the recording context writes, how the
// playback device maps, clips and draws it, and how it treats damaged
// metafiles.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "base/error.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/logical_font.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/playback_device.h"
#include "platform/gdi/recording_context.h"

namespace yel::gdi {
namespace {

constexpr ColorRef kRed = Rgb(255, 0, 0), kGreen = Rgb(0, 255, 0), kBlue = Rgb(0, 0, 255);
constexpr ColorRef kWhite = Rgb(255, 255, 255), kBlack = 0;

// A 100 × 100 pixel frame on the default 96 dpi reference device.
Rect Frame100() { return {0, 0, 2646, 2646}; }

std::vector<std::uint8_t> Record(const std::function<void(RecordingContext&)>& draw) {
  RecordingContext dc(Frame100());
  draw(dc);
  return dc.Close();
}

// Plays a metafile onto a 100 × 100 white bitmap.
struct Played {
  std::vector<std::uint8_t> bytes;
  std::unique_ptr<MetafileRecords> records;
  PlaybackDevice device;
  std::vector<bool> results;

  explicit Played(std::vector<std::uint8_t> b) : bytes(std::move(b)) {
    records = std::make_unique<MetafileRecords>(bytes.data(), bytes.size(), "test.emf");
    device.Begin(records->Header(), 100, 100, {0, 0, 100, 100}, kWhite);
    for (const MetafileRecord& r : records->Records()) results.push_back(device.Play(r));
  }
  ColorRef At(int x, int y) const { return device.GetPixel(x, y); }
};

std::uint32_t Type(const MetafileRecord& r) { return r.type; }

TEST(RecordingContext, WritesHeaderObjectsAndRecordsAsWindowsDoes) {
  std::vector<std::uint8_t> bytes = Record([](RecordingContext& dc) {
    ObjectHandle brush = dc.CreateSolidBrush(kRed);
    dc.SelectObject(brush);
    dc.SelectObject(StockObject(NULL_PEN));
    dc.Rectangle(10, 20, 30, 40);
    dc.Polygon({{0, 0}, {50, 0}, {50, 50}});
    dc.Polygon({{0, 0}, {70000, 0}, {50, 50}});
    dc.DeleteObject(brush);
  });
  MetafileRecords mf(bytes.data(), bytes.size(), "x.emf");
  std::vector<std::uint32_t> types;
  for (const MetafileRecord& r : mf.Records()) {
    types.push_back(Type(r));
    EXPECT_TRUE(r.sound) << r.type;
  }
  EXPECT_EQ(types, (std::vector<std::uint32_t>{EMR_HEADER, EMR_CREATEBRUSHINDIRECT, EMR_SELECTOBJECT,
                                               EMR_SELECTOBJECT, EMR_RECTANGLE, EMR_POLYGON16,
                                               EMR_POLYGON, EMR_DELETEOBJECT, EMR_EOF}));
  EXPECT_EQ(mf.Header().bytes, bytes.size());
  EXPECT_EQ(mf.Header().records, types.size());
  EXPECT_EQ(mf.Header().handles, 2u);  // slot 0 is the metafile, slot 1 the brush
  EXPECT_EQ(mf.Header().frame, Frame100());
  EXPECT_EQ(mf.Header().FramePixels(), (Rect{0, 0, 100, 100}));
  // The polygon's bounds are inclusive device pixels.
  std::int32_t b[4];
  std::memcpy(b, mf.Records()[5].data + 8, 16);
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(b[2], 49);
  EXPECT_EQ(b[3], 49);
}

TEST(RecordingContext, EmptyFrameIsTakenFromTheBounds) {
  RecordingContext dc(Rect{});
  dc.Rectangle(0, 0, 96, 48);
  std::vector<std::uint8_t> bytes = dc.Close();
  MetafileRecords mf(bytes.data(), bytes.size(), "x.emf");
  EXPECT_EQ(mf.Header().frame, (Rect{0, 0, 2540, 1270}));
}

TEST(PlaybackDevice, FillsAndOutlinesWithTheSelectedObjects) {
  Played p(Record([](RecordingContext& dc) {
    dc.SelectObject(dc.CreateSolidBrush(kRed));
    dc.SelectObject(dc.CreatePen(PS_SOLID, 1, kBlue));
    dc.Rectangle(10, 10, 50, 50);
    dc.SelectObject(StockObject(NULL_PEN));
    dc.SelectObject(StockObject(BLACK_BRUSH));
    dc.Ellipse(60, 60, 90, 90);
  }));
  EXPECT_EQ(p.At(30, 30), kRed);
  EXPECT_EQ(p.At(10, 30), kBlue);   // the outline lies on the left column
  EXPECT_EQ(p.At(49, 30), kBlue);   // and on the last column inside the box
  EXPECT_EQ(p.At(50, 30), kWhite);
  EXPECT_EQ(p.At(75, 75), kBlack);
  EXPECT_EQ(p.At(61, 61), kWhite);  // outside the ellipse, inside its box
}

TEST(PlaybackDevice, MapsThroughModesOriginsExtentsAndWorldTransform) {
  struct Case {
    const char* name;
    std::function<void(RecordingContext&)> setup;
    Point logical, device;
  };
  std::vector<Case> cases = {
      {"text", [](RecordingContext&) {}, {7, 9}, {7, 9}},
      {"anisotropic", [](RecordingContext& dc) {
         dc.SetMapMode(MM_ANISOTROPIC);
         dc.SetWindowExtEx(100, 100);
         dc.SetViewportExtEx(200, 50);
         dc.SetWindowOrgEx(10, 0);
         dc.SetViewportOrgEx(5, 5);
       }, {20, 40}, {25, 25}},
      {"isotropic keeps the smaller scale", [](RecordingContext& dc) {
         dc.SetMapMode(MM_ISOTROPIC);
         dc.SetWindowExtEx(100, 100);
         dc.SetViewportExtEx(200, 50);
       }, {20, 40}, {10, 20}},
      {"himetric grows upward", [](RecordingContext& dc) {
         dc.SetMapMode(MM_HIMETRIC);
         dc.SetViewportOrgEx(0, 100);
       }, {2540, 1270}, {96, 52}},
      {"world transform then window", [](RecordingContext& dc) {
         dc.SetWorldTransform({0, 1, -1, 0, 50, 0});  // a quarter turn
         dc.SetWindowOrgEx(10, 10);
       }, {10, 0}, {40, 0}},
      {"modify left multiplies", [](RecordingContext& dc) {
         dc.SetWorldTransform({1, 0, 0, 1, 10, 0});
         dc.ModifyWorldTransform({2, 0, 0, 2, 0, 0}, MWT_LEFTMULTIPLY);
       }, {5, 5}, {20, 10}},
  };
  for (const Case& c : cases) {
    Played p(Record([&](RecordingContext& dc) { c.setup(dc); }));
    EXPECT_EQ(p.device.LPtoDP(c.logical), c.device) << c.name;
  }
}

TEST(PlaybackDevice, DestinationRectangleScalesTheFrame) {
  std::vector<std::uint8_t> bytes = Record([](RecordingContext& dc) {
    dc.SelectObject(StockObject(BLACK_BRUSH));
    dc.Rectangle(0, 0, 10, 10);
  });
  MetafileRecords mf(bytes.data(), bytes.size(), "x.emf");
  PlaybackDevice d;
  d.Begin(mf.Header(), 300, 300, {100, 100, 300, 300}, kWhite);
  d.PlayAll(mf);
  EXPECT_EQ(d.LPtoDP({10, 10}), (Point{120, 120}));
  EXPECT_EQ(d.GetPixel(110, 110), kBlack);
  EXPECT_EQ(d.GetPixel(125, 110), kWhite);
}

TEST(PlaybackDevice, PathsAreKeptAsPointsAndTypes) {
  std::vector<std::uint8_t> bytes = Record([](RecordingContext& dc) {
    dc.BeginPath();
    dc.MoveToEx(10, 10);
    dc.LineTo(90, 10);
    dc.LineTo(90, 90);
    dc.CloseFigure();
    dc.PolyBezierTo({{80, 80}, {70, 70}, {60, 60}});
    dc.EndPath();
  });
  Played p(bytes);
  std::vector<Point> points;
  std::vector<std::uint8_t> types;
  ASSERT_EQ(p.device.GetPath(&points, &types), 7);
  EXPECT_EQ(points[0], (Point{10, 10}));
  EXPECT_EQ(points[2], (Point{90, 90}));
  EXPECT_EQ(types, (std::vector<std::uint8_t>{PT_MOVETO, PT_LINETO, PT_LINETO | PT_CLOSEFIGURE,
                                              PT_MOVETO, PT_BEZIERTO, PT_BEZIERTO, PT_BEZIERTO}));
  EXPECT_EQ(p.device.GetCurrentPositionEx(), (Point{60, 60}));
}

TEST(PlaybackDevice, FillPathUsesTheFillModeAndClipPathClips) {
  Played p(Record([](RecordingContext& dc) {
    dc.SelectObject(dc.CreateSolidBrush(kGreen));
    dc.SetPolyFillMode(ALTERNATE);
    dc.BeginPath();
    dc.Rectangle(10, 10, 50, 50);
    dc.Rectangle(20, 20, 40, 40);
    dc.EndPath();
    dc.FillPath();
    // Clip to a triangle, then flood the frame.
    dc.BeginPath();
    dc.Polygon({{60, 60}, {99, 60}, {60, 99}});
    dc.EndPath();
    dc.SelectClipPath(RGN_COPY);
    dc.SelectObject(dc.CreateSolidBrush(kRed));
    dc.SelectObject(StockObject(NULL_PEN));
    dc.Rectangle(0, 60, 100, 100);
  }));
  EXPECT_EQ(p.At(15, 15), kGreen);
  EXPECT_EQ(p.At(30, 30), kWhite);  // the hole of the even-odd fill
  EXPECT_EQ(p.At(65, 65), kRed);
  EXPECT_EQ(p.At(95, 95), kWhite);  // outside the triangle
  EXPECT_EQ(p.At(5, 70), kWhite);
}

TEST(PlaybackDevice, ClipRectanglesAndRegionsFollowSaveAndRestore) {
  Played p(Record([](RecordingContext& dc) {
    dc.SelectObject(dc.CreateSolidBrush(kBlue));
    dc.SelectObject(StockObject(NULL_PEN));
    dc.SaveDC();
    dc.IntersectClipRect(0, 0, 50, 50);
    dc.ExtSelectClipRgn({{0, 0, 10, 10}, {40, 40, 100, 100}}, RGN_AND);
    dc.Rectangle(0, 0, 100, 100);
    dc.RestoreDC(-1);
    dc.SelectObject(dc.CreateSolidBrush(kRed));
    dc.Rectangle(90, 0, 100, 10);
  }));
  EXPECT_EQ(p.At(5, 5), kBlue);
  EXPECT_EQ(p.At(45, 45), kBlue);
  EXPECT_EQ(p.At(25, 25), kWhite);
  EXPECT_EQ(p.At(70, 70), kWhite);  // outside the clip rectangle
  EXPECT_EQ(p.At(95, 5), kRed);     // the clip is gone after RestoreDC
}

TEST(PlaybackDevice, MixModesAndRasterOperationsWorkOnPixels) {
  Picture two;
  two.width = 2;
  two.height = 1;
  two.pixels = {0xFFFF0000u, 0xFF00FF00u};
  Dib source = MakeDib(two);
  Played p(Record([&](RecordingContext& dc) {
    dc.SelectObject(StockObject(BLACK_BRUSH));
    dc.SelectObject(StockObject(NULL_PEN));
    dc.Rectangle(0, 0, 50, 100);
    dc.SetROP2(R2_NOT);  // inverts what is below, whatever the brush
    dc.Rectangle(0, 0, 100, 20);
    dc.SetROP2(R2_COPYPEN);
    dc.SelectObject(dc.CreateSolidBrush(kBlue));
    dc.BitBlt(0, 30, 100, 10, nullptr, 0, 0, PATCOPY);
    dc.BitBlt(0, 40, 100, 10, nullptr, 0, 0, DSTINVERT);
    dc.StretchBlt(0, 60, 100, 20, &source, 0, 0, 2, 1, SRCCOPY);
    dc.StretchBlt(0, 80, 100, 20, &source, 0, 0, 2, 1, NOTSRCCOPY);
  }));
  EXPECT_EQ(p.At(10, 10), kWhite);
  EXPECT_EQ(p.At(60, 10), kBlack);
  EXPECT_EQ(p.At(70, 35), kBlue);
  EXPECT_EQ(p.At(10, 45), kWhite);
  EXPECT_EQ(p.At(70, 45), kBlack);
  EXPECT_EQ(p.At(10, 70), kRed);
  EXPECT_EQ(p.At(90, 70), kGreen);
  EXPECT_EQ(p.At(10, 90), Rgb(0, 255, 255));
}

TEST(PlaybackDevice, PicturesDrawnScaledAndBlendedByTheImagingStandIn) {
  Picture pic;
  pic.width = 4;
  pic.height = 2;
  pic.pixels.assign(8, 0xFF0000FFu);           // blue
  for (int x = 0; x < 4; ++x) pic.pixels[x] = 0xFFFF0000u;  // top row red
  Picture half;
  half.width = half.height = 1;
  half.pixels = {0x80000000u};                 // black at half alpha, premultiplied
  Played p(Record([&](RecordingContext& dc) {
    dc.FillRectangle({0, 0, 100, 100}, kGreen);
    dc.DrawPicture(pic, {10, 10, 90, 50});
    dc.DrawPicture(half, {0, 60, 100, 100});
  }));
  EXPECT_EQ(p.At(5, 5), kGreen);
  EXPECT_EQ(p.At(50, 15), kRed);
  EXPECT_EQ(p.At(50, 45), kBlue);
  ColorRef blended = p.At(50, 80);
  EXPECT_NEAR(GreenOf(blended), 127, 2);
  EXPECT_EQ(RedOf(blended), 0);
}

TEST(RecordingContext, PicturesDrawnSmallerAreRecordedAtTheirDeviceSize) {
  Picture big;
  big.width = 400;
  big.height = 300;
  big.pixels.assign(400 * 300, 0xFF00FF00u);
  std::vector<std::uint8_t> bytes = Record([&](RecordingContext& dc) {
    dc.DrawPicture(big, {0, 0, 40, 30});    // scaled down first
    dc.DrawPicture(big, {0, 0, 800, 600});  // kept as it is when enlarged
  });
  MetafileRecords mf(bytes.data(), bytes.size(), "x.emf");
  std::vector<Point> sizes;
  for (const MetafileRecord& r : mf.Records())
    if (r.type == EMR_STRETCHDIBITS) {
      std::int32_t c[2];
      std::memcpy(c, r.data + 40, 8);  // cSrc
      sizes.push_back({c[0], c[1]});
    }
  EXPECT_EQ(sizes, (std::vector<Point>{{40, 30}, {400, 300}}));
}

TEST(PlaybackDevice, HatchesPatternsAndDashesUseTheBackgroundMode) {
  Played p(Record([](RecordingContext& dc) {
    dc.SetBkColor(kRed);
    dc.SetBkMode(OPAQUE);
    dc.SelectObject(dc.CreateHatchBrush(HS_CROSS, kBlue));
    dc.SelectObject(StockObject(NULL_PEN));
    dc.Rectangle(0, 0, 16, 16);
    dc.SetBkMode(TRANSPARENT);
    dc.Rectangle(20, 0, 36, 16);
  }));
  EXPECT_EQ(p.At(7, 0), kBlue);  // the vertical line of the cross
  EXPECT_EQ(p.At(0, 0), kRed);
  EXPECT_EQ(p.At(23, 0), kBlue);
  EXPECT_EQ(p.At(20, 0), kWhite);  // transparent background keeps the bitmap
  EXPECT_EQ(p.device.GetBkColor(), kRed);
  EXPECT_EQ(p.device.GetBkMode(), TRANSPARENT);
}

TEST(PlaybackDevice, ReportsStateTheConverterAsksFor) {
  LogFont font;
  font.lfHeight = -24;
  font.lfItalic = 1;
  const char16_t name[] = u"Arial";
  std::memcpy(font.lfFaceName, name, sizeof name);
  Played p(Record([&](RecordingContext& dc) {
    dc.SetTextColor(kGreen);
    dc.SetROP2(R2_XORPEN);
    dc.SetArcDirection(AD_CLOCKWISE);
    dc.SelectObject(dc.CreateFontIndirect(font));
    dc.MoveToEx(10, 10);
    dc.AngleArc(50, 50, 20, 0, 90);
  }));
  EXPECT_EQ(p.device.GetTextColor(), kGreen);
  EXPECT_EQ(p.device.GetROP2(), R2_XORPEN);
  EXPECT_EQ(p.device.GetArcDirection(), AD_CLOCKWISE);
  EXPECT_EQ(p.device.GetSelectedFont().lfHeight, -24);
  EXPECT_EQ(std::u16string(p.device.GetSelectedFont().lfFaceName), u"Arial");
  EXPECT_EQ(p.device.GetCurrentPositionEx(), (Point{50, 30}));
  std::vector<std::uint8_t> px = p.device.GetPixels({-1, 0, 1, 1});
  EXPECT_EQ(px.size(), 6u);
  EXPECT_EQ(px[0], 255);  // outside the bitmap reads white
}

// ---- damaged metafiles ----------------------------------------------------------

std::vector<std::uint8_t> SimpleMetafile() {
  return Record([](RecordingContext& dc) {
    dc.SelectObject(dc.CreateSolidBrush(kRed));
    dc.Rectangle(0, 0, 50, 50);
  });
}

void PutU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) { std::memcpy(&b[at], &v, 4); }

std::size_t OffsetOf(const std::vector<std::uint8_t>& bytes, std::uint32_t type) {
  MetafileRecords mf(bytes.data(), bytes.size(), "x.emf");
  for (const MetafileRecord& r : mf.Records())
    if (r.type == type) return std::size_t(r.data - bytes.data());
  return 0;
}

TEST(MetafileRecords, StopsAtRecordSizesThatCannotBeTrusted) {
  for (std::uint32_t bad : {0u, 6u, 0x7FFFFFF0u}) {
    std::vector<std::uint8_t> bytes = SimpleMetafile();
    PutU32(bytes, OffsetOf(bytes, EMR_RECTANGLE) + 4, bad);
    MetafileRecords mf(bytes.data(), bytes.size(), "x.emf");
    EXPECT_TRUE(mf.Truncated()) << bad;
    EXPECT_EQ(mf.Records().back().type, EMR_SELECTOBJECT) << bad;
  }
  std::vector<std::uint8_t> junk(40, 0);
  EXPECT_THROW(MetafileRecords(junk.data(), junk.size(), "junk.emf"), Error);
}

TEST(PlaybackDevice, SkipsDamagedRecordsWithNothingDrawn) {
  struct Case {
    const char* name;
    std::function<std::vector<std::uint8_t>()> make;
  };
  std::vector<Case> cases = {
      {"object index beyond the table", [] {
         std::vector<std::uint8_t> b = SimpleMetafile();
         PutU32(b, OffsetOf(b, EMR_SELECTOBJECT) + 8, 5000);
         PutU32(b, OffsetOf(b, EMR_CREATEBRUSHINDIRECT) + 8, 5000);
         return b;
       }},
      {"bitmap header that lies about its size", [] {
         Picture pic;
         pic.width = pic.height = 4;
         pic.pixels.assign(16, 0xFFFF0000u);
         std::vector<std::uint8_t> b = Record([&](RecordingContext& dc) { dc.DrawPicture(pic, {0, 0, 50, 50}); });
         std::size_t at = OffsetOf(b, EMR_STRETCHDIBITS);
         std::uint32_t off_bmi;
         std::memcpy(&off_bmi, &b[at + 48], 4);
         PutU32(b, at + off_bmi + 4, 30000);  // width
         PutU32(b, at + off_bmi + 8, 30000);  // height
         return b;
       }},
      {"absurd region", [] {
         std::vector<std::uint8_t> b = Record([](RecordingContext& dc) {
           dc.FillRgn({{0, 0, 50, 50}}, StockObject(BLACK_BRUSH));
         });
         PutU32(b, OffsetOf(b, EMR_FILLRGN) + 32 + 8, 0x10000000);  // nCount
         return b;
       }},
  };
  for (const Case& c : cases) {
    Played p(c.make());
    EXPECT_EQ(p.At(25, 25), kWhite) << c.name;
  }
}

LogFont Sans(int height, int escapement = 0) {
  LogFont f;
  f.lfHeight = height;
  f.lfEscapement = f.lfOrientation = escapement;
  f.lfWeight = 400;
  const char16_t name[] = u"Liberation Sans";
  for (int i = 0; name[i]; ++i) f.lfFaceName[i] = name[i];
  return f;
}

std::vector<TextRecord> TextRecords(const std::vector<std::uint8_t>& bytes) {
  MetafileRecords mf(bytes.data(), bytes.size(), "x.emf");
  std::vector<TextRecord> out;
  for (const MetafileRecord& r : mf.Records()) {
    TextRecord t;
    if (ReadTextRecord(r, &t)) out.push_back(t);
  }
  return out;
}

TEST(RecordingContext, TextRecordsCarryAdvancesBoundsAndTheCurrentPosition) {
  LogicalFont font(Sans(-20));
  const OutlineTextMetrics m = font.Metrics();
  double natural = 0;
  for (char32_t c : std::u32string(U"Tiled")) natural += font.Advance(c);
  std::vector<std::uint8_t> bytes = Record([](RecordingContext& dc) {
    dc.SelectObject(dc.CreateFontIndirect(Sans(-20)));
    dc.TextOut(10, 20, u"Tiled");
    dc.ExtTextOutA(10, 50, ETO_OPAQUE, nullptr, "\x80", nullptr);
    dc.SetTextAlign(TA_UPDATECP | TA_BASELINE);
    dc.MoveToEx(5, 80);
    std::vector<std::int32_t> advances{7, 8};
    dc.ExtTextOutW(0, 0, 0, nullptr, u"ab", &advances);
    dc.ExtTextOutW(0, 0, 0, nullptr, u"c", nullptr);
  });
  std::vector<TextRecord> t = TextRecords(bytes);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_TRUE(t[0].Wide);
  EXPECT_EQ(t[0].Codes, (std::vector<std::uint16_t>{'T', 'i', 'l', 'e', 'd'}));
  ASSERT_EQ(t[0].Advances.size(), 5u);
  std::int32_t sum = 0;
  for (std::int32_t a : t[0].Advances) sum += a;
  EXPECT_EQ(sum, std::lround(natural));  // rounded as a whole, not per character
  EXPECT_EQ(t[0].Bounds, (Rect{10, 20, 10 + sum - 1, 20 + m.Height - 1}));
  EXPECT_FALSE(t[1].Wide);
  EXPECT_EQ(t[1].Characters(), U"\u20AC");
  EXPECT_EQ(t[1].Options, std::uint32_t(ETO_OPAQUE));
  // With TA_UPDATECP each text starts where the last one ended.
  EXPECT_EQ(t[2].Reference, (Point{5, 80}));
  EXPECT_EQ(t[2].Advances, (std::vector<std::int32_t>{7, 8}));
  EXPECT_EQ(t[3].Reference, (Point{20, 80}));
  EXPECT_EQ(t[3].Bounds.top, 80 - m.Ascent);
}

TEST(PlaybackDevice, DrawsTextWithItsBackgroundsClippingAndEscapement) {
  auto ink = [](const Played& p, Rect area) {
    Rect box{1000, 1000, -1, -1};
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        if (p.At(x, y) == kRed || (RedOf(p.At(x, y)) > 128 && GreenOf(p.At(x, y)) < 100)) {
          box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
        }
    return box;
  };
  // Opaque background mode fills the text cell; ETO_OPAQUE fills the
  // rectangle; ETO_CLIPPED keeps the ink inside it.
  Played p(Record([](RecordingContext& dc) {
    dc.SelectObject(dc.CreateFontIndirect(Sans(-20)));
    dc.SetTextColor(kRed);
    dc.SetBkColor(kBlue);
    dc.SetBkMode(OPAQUE);
    dc.TextOut(5, 5, u"HH");
    dc.SetBkMode(TRANSPARENT);
    dc.SetBkColor(kGreen);
    Rect r{5, 40, 60, 60};
    dc.ExtTextOutW(10, 40, ETO_OPAQUE, &r, u"HH", nullptr);
    Rect clip{5, 70, 20, 100};
    dc.ExtTextOutW(10, 70, ETO_CLIPPED, &clip, u"HHHH", nullptr);
  }));
  for (bool ok : p.results) EXPECT_TRUE(ok);
  Rect first = ink(p, {0, 0, 100, 35});
  EXPECT_GE(first.left, 5);
  EXPECT_GT(first.bottom, 15);
  EXPECT_EQ(p.At(5, 5), kBlue);        // the cell's corner
  EXPECT_EQ(p.At(50, 58), kGreen);     // inside the options rectangle, beside the text
  EXPECT_EQ(p.At(70, 45), kWhite);     // outside it
  Rect clipped = ink(p, {0, 65, 100, 100});
  EXPECT_LT(clipped.right, 20);
  EXPECT_GE(clipped.right, 15);

  // A 90-degree escapement runs the text upwards from the reference point.
  Played up(Record([](RecordingContext& dc) {
    dc.SelectObject(dc.CreateFontIndirect(Sans(-16, 900)));
    dc.SetTextColor(kRed);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextAlign(TA_BASELINE);
    dc.TextOut(50, 90, u"HHHHH");
  }));
  Rect turned = ink(up, {0, 0, 100, 100});
  EXPECT_GT(turned.bottom - turned.top, 2 * (turned.right - turned.left));
  EXPECT_LE(turned.bottom, 90);
  EXPECT_LE(turned.right, 50);
}

TEST(Dib, DecodesTheCommonFormatsAndRefusesLies) {
  // A 3 × 2 8-bit bitmap with a two-colour table, bottom-up.
  std::vector<std::uint8_t> info(48, 0);
  PutU32(info, 0, 40);
  PutU32(info, 4, 3);
  PutU32(info, 8, 2);
  info[12] = 1;
  info[14] = 8;
  PutU32(info, 32, 2);
  PutU32(info, 40, 0x000000FF);  // entry 0 blue
  PutU32(info, 44, 0x00FF0000);  // entry 1 red
  std::vector<std::uint8_t> bits = {0, 1, 0, 0, 1, 1, 1, 0};
  Picture pic;
  ASSERT_TRUE(DecodeDib(info.data(), info.size(), bits.data(), bits.size(), pic));
  EXPECT_EQ(pic.At(0, 1), 0xFF0000FFu);  // bottom row comes first in the file
  EXPECT_EQ(pic.At(1, 1), 0xFFFF0000u);
  EXPECT_EQ(pic.At(0, 0), 0xFFFF0000u);
  // The same as RLE8 (the BMP reader's run-length decoder): a run of two,
  // end of row, an absolute run of three with its padding, end of bitmap.
  // An absolute run cut short gives the pixels that are there.
  std::vector<std::uint8_t> rle_info = info;
  PutU32(rle_info, 16, 1);
  const std::uint32_t blue = 0xFF0000FFu, red = 0xFFFF0000u;
  const struct {
    std::vector<std::uint8_t> bits;
    std::uint32_t expected[2][3];  // top row first
  } rle_cases[] = {
      {{2, 1, 0, 0, 0, 3, 0, 1, 0, 0, 0, 1}, {{blue, red, blue}, {red, red, blue}}},
      {{0, 3, 1}, {{blue, blue, blue}, {red, blue, blue}}},
  };
  for (const auto& c : rle_cases) {
    ASSERT_TRUE(DecodeDib(rle_info.data(), rle_info.size(), c.bits.data(), c.bits.size(), pic));
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(pic.At(x, y), c.expected[y][x]) << x << ", " << y;
  }
  // Rows missing from the bits, a colour table past the end, absurd sizes.
  EXPECT_FALSE(DecodeDib(info.data(), info.size(), bits.data(), 7, pic));
  EXPECT_FALSE(DecodeDib(info.data(), 44, bits.data(), bits.size(), pic));
  PutU32(info, 4, 1u << 20);
  EXPECT_FALSE(DecodeDib(info.data(), info.size(), bits.data(), bits.size(), pic));
  EXPECT_TRUE(pic.pixels.empty());
}

}  // namespace
}  // namespace yel::gdi
