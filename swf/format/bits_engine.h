// TBitsEngine: the one encoder and decoder of SWF fields over a byte stream
// it does not own (the bit packing and integers of BitStream, plus
// fixed-point values, colours, rectangles, matrices, colour transforms and
// strings); and the numeric helpers that decide field widths and fixed-point
// conversions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/bit_stream.h"
#include "swf/format/swf_records.h"

namespace yel::swf {

class TBitsEngine : public BitStream {
 public:
  explicit TBitsEngine(TStream& stream) : BitStream(stream) {}

  // --- writing (bits, bytes and integers: see BitStream)
  void WriteFixed(float value);
  void WriteSingle(float value);
  // Colours go straight to the stream: callers issue them at byte boundaries.
  void WriteRGB(const TSWFRGBRec& c);
  void WriteRGBA(TPackedColor c);
  void WriteRect(const TRect& r);
  void WriteSWFRect(std::int32_t xmin, std::int32_t xmax, std::int32_t ymin, std::int32_t ymax);
  void WriteSWFRect(const TSWFRectRec& r) { WriteSWFRect(r.XMin, r.XMax, r.YMin, r.YMax); }
  void WriteMatrix(const TSWFMatrixRec& m);
  void WriteColorTransform(const TSWFColorTransformRec& c);
  // asUTF8 converts Windows-1252 text to UTF-8 first (see AnsiToUtf8).
  void WriteString(std::string_view text, bool addNul = true, bool asUTF8 = false);

  // --- reading; past the end of the stream every read yields zeros
  float ReadFixed();
  float ReadSingle();
  double ReadDoubleBE();
  TSWFRGBRec ReadRGB();
  TPackedColor ReadRGBA();
  TRect ReadRect();
  TSWFMatrixRec ReadMatrix();
  // Terms of a group that is absent keep the values they have in rec.
  void ReadColorTransform(TSWFColorTransformRec& rec, bool withAlpha);
  TSWFColorTransformRec ReadColorTransform(bool withAlpha);
  // Bytes up to (not including) a 0 byte or the end of the stream.
  std::string ReadString();
  // Consumes exactly n (at most 255) bytes; the text ends at the first 0.
  std::string ReadFixedString(int n);
  // 16-bit big-endian length, then that many bytes.
  std::string ReadStringBE();
};

// Throws an error naming what is read, where, and how many bytes the tag
// still has when fewer than bytes remain: a tag's counts and lengths are
// checked with it before anything is read or allocated for them.
void NeedBytes(TBitsEngine& be, std::uint64_t bytes, std::string_view what);

// Smallest c with u < 2^c (0 for 0, and 0 for values of 2^31 and above).
int GetBitsCount(std::uint32_t u);
// Width of a signed field holding v: GetBitsCount(|v|) + 1, 0 for 0.
int GetSignedBitsCount(std::int32_t v);
// Width for signed values of magnitude up to maxAbs in a field whose width is
// stated in widthBits bits: GetSignedBitsCount, but never more than that
// width field can state. Without the limit a value such as -2^30 (which fits
// 31 bits) would ask for 32, which a 5-bit width field turns into 0.
int SignedFieldWidth(std::int32_t maxAbs, int widthBits);
std::int32_t MaxAbs(std::int32_t a, std::int32_t b);
std::int32_t MaxAbs(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
// Bit n-1 of the flag word (n counts from 1 at the least significant bit).
bool CheckBit(std::uint16_t flags, int n);
// 16.16 fixed point by truncation toward zero.
std::int32_t FloatToFixed(double x);
float FixedToFloat(std::int32_t i);
// 8.8 fixed point: integer part shifted, fraction rounded to 1/256.
std::uint16_t FloatToFixed8(double x);
float Fixed8ToFloat(std::uint16_t w);
double CubicBezierValue(double p0, double p1, double p2, double p3, double t);

}  // namespace yel::swf
