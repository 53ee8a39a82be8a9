// Bit packing, field encodings, numeric helpers and value records.
#include "swf/format/bits_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "swf/format/swf_strings.h"

namespace yel::swf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(const std::function<void(TBitsEngine&)>& write) {
  TMemoryStream stream;
  TBitsEngine be(stream);
  write(be);
  return stream.Bytes();
}

struct EncodingCase {
  const char* name;
  std::function<void(TBitsEngine&)> write;
  Bytes expected;
};

TEST(BitsEngineTest, EncodesFieldsBitExactly) {
  const EncodingCase cases[] = {
      {"three bits and one bit", [](TBitsEngine& be) { be.WriteBits(5, 3); be.WriteBits(1, 1); be.FlushLastByte(true); }, {0xB0}},
      {"zero width writes nothing", [](TBitsEngine& be) { be.WriteBits(0xFFFF, 0); be.FlushLastByte(true); }, {}},
      {"value wider than its field is masked", [](TBitsEngine& be) { be.WriteBits(0xFF, 4); be.FlushLastByte(true); }, {0xF0}},
      {"32-bit field across five bytes", [](TBitsEngine& be) { be.WriteBits(1, 1); be.WriteBits(0x80000001u, 32); be.FlushLastByte(true); }, {0xC0, 0x00, 0x00, 0x00, 0x80}},
      {"byte after pending bits goes through the buffer", [](TBitsEngine& be) { be.WriteBits(0b101, 3); be.WriteByte(0xFF); be.FlushLastByte(true); }, {0xBF, 0xE0}},
      {"word after pending bits pads first", [](TBitsEngine& be) { be.WriteBits(1, 1); be.WriteWord(0x1234); }, {0x80, 0x34, 0x12}},
      {"flush without pad drops the bits", [](TBitsEngine& be) { be.WriteBits(1, 1); be.FlushLastByte(false); be.WriteByte(7); }, {0x07}},
      {"dword little-endian", [](TBitsEngine& be) { be.WriteDWord(0x01020304); }, {4, 3, 2, 1}},
      {"fixed 16.16", [](TBitsEngine& be) { be.WriteFixed(1.5f); }, {0x00, 0x80, 0x01, 0x00}},
      {"single", [](TBitsEngine& be) { be.WriteSingle(1.0f); }, {0x00, 0x00, 0x80, 0x3F}},
      {"empty rect", [](TBitsEngine& be) { be.WriteSWFRect(0, 0, 0, 0); }, {0x00}},
      {"550 x 400 stage rect", [](TBitsEngine& be) { be.WriteRect({0, 0, 11000, 8000}); }, {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00}},
      {"rect from an unordered TRect", [](TBitsEngine& be) { be.WriteRect({11000, 8000, 0, 0}); }, {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00}},
      {"identity matrix", [](TBitsEngine& be) { be.WriteMatrix({}); }, {0x00}},
      // scale bit, n=18, 65536 twice; skew bit 0; translate n=0.
      {"scale 1.0", [](TBitsEngine& be) { be.WriteMatrix(MakeMatrix(true, false, 65536, 65536, 0, 0, 0, 0)); }, {0xC9, 0x00, 0x00, 0x40, 0x00, 0x00}},
      // no scale; skew bit, n=2: SkewY=-1 (11) first, then SkewX=1 (01); translate n=0.
      {"skew order: SkewY first", [](TBitsEngine& be) { be.WriteMatrix(MakeMatrix(false, true, 0, 0, 1, -1, 0, 0)); }, {0x45, 0xA0}},
      // no scale, no skew, n=3: 1, -2.
      {"translate", [](TBitsEngine& be) { be.WriteMatrix(MakeMatrix(false, false, 0, 0, 0, 0, 1, -2)); }, {0x06, 0x70}},
      {"empty colour transform", [](TBitsEngine& be) { be.WriteColorTransform({}); }, {0x00}},
      // add flag, mult flag; n = 10 (256 needs 10); mult 256,256,256 then add 1,2,3.
      {"transform: mult before add, add flag first", [](TBitsEngine& be) {
         TSWFColorTransformRec c; c.HasAdd = c.HasMult = true; c.AddR = 1; c.AddG = 2; c.AddB = 3;
         be.WriteColorTransform(c); }, {0xE9, 0x00, 0x40, 0x10, 0x00, 0x04, 0x02, 0x00, 0xC0}},
      {"alpha terms only with HasAlpha", [](TBitsEngine& be) {
         TSWFColorTransformRec c; c.HasAdd = true; c.AddA = 100; c.AddR = 1;
         be.WriteColorTransform(c); }, {0x89, 0x00}},
      {"string with NUL", [](TBitsEngine& be) { be.WriteString("ab"); }, {'a', 'b', 0}},
      {"ANSI string as UTF-8", [](TBitsEngine& be) { be.WriteString("\xE9\x80", false, true); }, {0xC3, 0xA9, 0xE2, 0x82, 0xAC}},
      {"UTF-8 string stays UTF-8", [](TBitsEngine& be) { be.WriteString("\xC3\xA9", false, true); }, {0xC3, 0xA9}},
      {"bytes after pending bits", [](TBitsEngine& be) { be.WriteBit(1); be.WriteBytes("\xFF", 1, true); be.FlushLastByte(); }, {0xFF, 0x80, 0x00}},
  };
  for (const auto& c : cases) EXPECT_EQ(Encode(c.write), c.expected) << c.name;
}

TEST(BitsEngineTest, ReadsBackWhatItWrote) {
  TMemoryStream stream;
  TBitsEngine out(stream);
  TSWFMatrixRec m = MakeMatrix(true, true, -65536, 98304, 300, -7, -20000, 11);
  TSWFColorTransformRec c;
  c.HasAdd = c.HasMult = c.HasAlpha = true;
  c.AddR = -255;
  c.AddA = 255;
  c.MultG = 0;
  c.MultA = 128;
  out.WriteBits(0x2A, 6);
  out.WriteBits(static_cast<std::uint32_t>(-3), 5);
  out.FlushLastByte();
  out.WriteRect({-100, 20, 300, -40});
  out.WriteMatrix(m);
  out.WriteColorTransform(c);
  out.WriteString("name");
  out.WriteWord(0xBEEF);
  out.WriteRGBA(0x80112233);

  stream.Seek(0);
  TBitsEngine in(stream);
  EXPECT_EQ(in.ReadBits(6), 0x2Au);
  EXPECT_EQ(in.ReadSBits(5), -3);
  in.FlushLastByte(false);
  EXPECT_EQ(in.ReadRect(), (TRect{-100, -40, 300, 20}));
  EXPECT_EQ(in.ReadMatrix(), m);
  EXPECT_EQ(in.ReadColorTransform(true), c);
  EXPECT_EQ(in.ReadString(), "name");
  EXPECT_EQ(in.ReadWord(), 0xBEEF);
  EXPECT_EQ(in.ReadRGBA(), 0x80112233u);
  // Past the end every read yields zeros.
  EXPECT_EQ(in.ReadDWord(), 0u);
  EXPECT_EQ(in.ReadBits(12), 0u);
  EXPECT_EQ(in.ReadString(), "");
}

TEST(BitsEngineTest, FieldsWiderThan32BitsKeepTheStreamInStep) {
  // 48 bits: 16 high bits, then 0x12345678; the byte after must follow.
  const std::uint8_t bytes[] = {0xFF, 0xFF, 0x12, 0x34, 0x56, 0x78, 0xAB};
  TMemoryStream stream;
  stream.Write(bytes, sizeof bytes);
  stream.Seek(0);
  TBitsEngine in(stream);
  EXPECT_EQ(in.ReadBits(48), 0x12345678u);
  EXPECT_EQ(in.ReadByte(), 0xABu);
}

TEST(BitsEngineTest, WidestReadableValuesSurviveAWrite) {
  // -2^30 fills a 31-bit field; its width must not overflow the 5-bit width.
  constexpr std::int32_t low = -(1 << 30);
  TMemoryStream stream;
  TBitsEngine out(stream);
  out.WriteRect({low, 0, 5, 7});
  out.WriteMatrix(MakeMatrix(true, true, low, 1, low, 2, low, 3));
  TSWFColorTransformRec c;
  c.HasAdd = true;
  c.AddR = -16384;  // fills a 15-bit field, the widest a 4-bit width states
  out.WriteColorTransform(c);
  EXPECT_EQ(stream.Bytes()[0] >> 3, 31);
  stream.Seek(0);
  TBitsEngine in(stream);
  EXPECT_EQ(in.ReadRect(), (TRect{low, 0, 5, 7}));
  EXPECT_EQ(in.ReadMatrix(), MakeMatrix(true, true, low, 1, low, 2, low, 3));
  EXPECT_EQ(in.ReadColorTransform(false).AddR, -16384);
  EXPECT_EQ(SignedFieldWidth(low, 5), 31);
  EXPECT_EQ(SignedFieldWidth(255, 5), 9);
  EXPECT_EQ(SignedFieldWidth(INT32_MIN, 5), 31);
  EXPECT_EQ(SignedFieldWidth(INT32_MAX, 4), 15);
}

TEST(BitsEngineTest, ColorTransformReadKeepsAbsentGroups) {
  Bytes bytes = {0x4C, 0x80};  // mult only, width 3, MultR 1
  TBufferStream stream(bytes.data(), bytes.size());
  TBitsEngine be(stream);
  TSWFColorTransformRec rec;
  rec.AddR = 77;
  be.ReadColorTransform(rec, false);
  EXPECT_FALSE(rec.HasAdd);
  EXPECT_TRUE(rec.HasMult);
  EXPECT_EQ(rec.AddR, 77);
}

TEST(BitsEngineTest, ReadsOtherForms) {
  Bytes bytes = {0x12, 0x34, 0x00, 0x03, 'a', 'b', 'c', 'a', 'b', 0, 'c', 'd', 0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0xAA, 0xBB};
  TBufferStream stream(bytes.data(), bytes.size());
  TBitsEngine be(stream);
  EXPECT_EQ(be.ReadWordBE(), 0x1234);
  EXPECT_EQ(be.ReadStringBE(), "abc");
  EXPECT_EQ(be.ReadFixedString(5), "ab");
  EXPECT_EQ(stream.Position(), 12u);
  EXPECT_EQ(be.ReadDoubleBE(), 1.0);
  EXPECT_EQ(be.ReadNBytes(7), 0xBBAAu);
}

TEST(BitsEngineTest, FieldWidthsAndFixedPoint) {
  EXPECT_EQ(GetSignedBitsCount(-1), 2);
  EXPECT_EQ(GetSignedBitsCount(0), 0);
  EXPECT_EQ(GetSignedBitsCount(255), 9);
  EXPECT_EQ(GetSignedBitsCount(-4), 4);
  EXPECT_EQ(GetSignedBitsCount(INT32_MIN), 1);
  EXPECT_EQ(GetBitsCount(1), 1);
  EXPECT_EQ(GetBitsCount(256), 9);
  EXPECT_EQ(GetBitsCount(0x7FFFFFFF), 31);
  EXPECT_EQ(GetBitsCount(0x80000000u), 0);
  EXPECT_EQ(MaxAbs(3, -9, 4, 2), 9);
  EXPECT_TRUE(CheckBit(0x0004, 3));
  EXPECT_FALSE(CheckBit(0x0004, 2));

  EXPECT_EQ(FloatToFixed(-1.5), -98304);
  EXPECT_EQ(FloatToFixed(0.99999999), 65535);
  EXPECT_EQ(FloatToFixed(1e12), INT32_MAX);
  EXPECT_EQ(FloatToFixed8(12.5), 0x0C80);
  EXPECT_EQ(Fixed8ToFloat(0x0C80), 12.5f);
  EXPECT_EQ(FloatToFixed8(24), 0x1800);
  EXPECT_EQ(FixedToFloat(98304), 1.5f);
  EXPECT_DOUBLE_EQ(CubicBezierValue(0, 1, 2, 3, 0.5), 1.5);
  EXPECT_DOUBLE_EQ(CubicBezierValue(0, 0, 10, 10, 1), 10);
}

TEST(BitsEngineTest, Windows1252Conversion) {
  EXPECT_EQ(Windows1252ToUtf8("A\x80\x9F\xFF"), "A\xE2\x82\xAC\xC5\xB8\xC3\xBF");
  EXPECT_TRUE(IsValidUtf8("plain \xE2\x82\xAC"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));      // cut off
  // UTF-8 to the code page of SWF 5 and older, and back.
  EXPECT_EQ(Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8 \xE4\xB8\xAD \xF0\x9F\x98\x80"), "caf\xE9 \x80 \x9F ? ?");
  EXPECT_EQ(Utf8ToAnsi("caf\xE9"), "caf\xE9");  // already Windows-1252
  EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi("\xC3\xA0 la \xE2\x80\x9Cmode\xE2\x80\x9D")), "\xC3\xA0 la \xE2\x80\x9Cmode\xE2\x80\x9D");
}

TEST(ValueRecordsTest, RectKeepsItsBoundsOrdered) {
  TSWFRect r;
  r.SetXMin(50);
  EXPECT_EQ(r.XMin(), 0);
  EXPECT_EQ(r.XMax(), 50);
  r.SetRect(TRect{10, 40, -10, 20});
  EXPECT_EQ(r.SWFRect(), (TSWFRectRec{-10, 10, 20, 40}));
  EXPECT_EQ(r.Width(), 20);
  EXPECT_EQ(r.Height(), 20);
  EXPECT_EQ(RectToSWFRect({1, 2, 3, 4}, true), (TSWFRectRec{20, 60, 40, 80}));
}

TEST(ValueRecordsTest, RGBAAlphaRules) {
  TSWFRGBA opaque(false);
  EXPECT_EQ(opaque.RGBA(), 0xFF000000u);
  opaque.SetRGBA(0x00123456);
  EXPECT_TRUE(opaque.HasAlpha());
  EXPECT_EQ(opaque.RGBA(), 0x00123456u);
  opaque.SetHasAlpha(false);
  EXPECT_EQ(opaque.A(), 255);
  opaque.SetA(255);
  EXPECT_FALSE(opaque.HasAlpha());

  TSWFRGBA clear(true);
  EXPECT_EQ(clear.RGBA(), 0u);
  clear.SetRGB(0x7F010203);
  EXPECT_EQ(clear.RGBA(), 0xFF010203u);
  TSWFRGB plain;
  plain.SetRGB(0x00445566);
  clear.SetA(3);
  clear.Assign(plain);
  EXPECT_EQ(clear.RGBA(), 0xFF445566u);

  EXPECT_EQ(ColorToSWFRGB(0x00332211), (TSWFRGBRec{0x11, 0x22, 0x33}));
  EXPECT_EQ(ColorToSWFRGB(0xFF00000F), (TSWFRGBRec{212, 208, 200}));  // button face
  EXPECT_EQ(ColorToSWFRGBA(0x00332211, 0x80), 0x80332211u);
  EXPECT_EQ(SetAlphaOf(0x11223344, 0xAB), 0xAB223344u);
}

TEST(ValueRecordsTest, ColorTransformClampsAndFlags) {
  TSWFColorTransform t;
  t.SetMultR(300);
  t.SetAddG(-400);
  EXPECT_EQ(t.MultR(), 256);
  EXPECT_EQ(t.AddG(), -255);
  EXPECT_TRUE(t.HasMult);
  EXPECT_TRUE(t.HasAdd);
  EXPECT_FALSE(t.HasAlpha);
  t.SetMultA(10);
  EXPECT_TRUE(t.HasAlpha);

  TSWFColorTransformRec rec;
  rec.HasMult = true;
  rec.MultB = 500;
  rec.AddR = 9;  // its group is absent
  TSWFColorTransform copy;
  copy.SetRec(rec);
  EXPECT_EQ(copy.MultB(), 256);
  EXPECT_FALSE(copy.HasAdd);
  EXPECT_EQ(copy.Rec().AddR, 0);
}

TEST(ValueRecordsTest, MatrixRotation) {
  TSWFMatrix m;
  m.SetRotate(90);
  EXPECT_TRUE(m.HasScale);
  EXPECT_TRUE(m.HasSkew);
  EXPECT_NEAR(m.GetScaleX(), 0, 1e-4);
  EXPECT_NEAR(m.GetSkewX(), 1, 1e-4);
  EXPECT_NEAR(m.GetSkewY(), -1, 1e-4);

  TSWFMatrix scaled;
  scaled.SetScale(2, 3);
  scaled.SetRotate(30);
  double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
  EXPECT_NEAR(scaled.GetScaleX(), 2 * c, 1e-4);
  EXPECT_NEAR(scaled.GetScaleY(), 3 * c, 1e-4);
  EXPECT_NEAR(scaled.GetSkewX(), 3 * s, 1e-4);
  EXPECT_NEAR(scaled.GetSkewY(), -2 * s, 1e-4);
  scaled.SetTranslate(5, -6);
  EXPECT_EQ(scaled.Rec().TranslateY, -6);
}

}  // namespace
}  // namespace yel::swf
