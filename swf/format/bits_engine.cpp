// Bit packing and the SWF field encodings of TBitsEngine.
#include "swf/format/bits_engine.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#include "base/error.h"
#include "swf/format/swf_strings.h"

namespace yel::swf {

// --- numeric helpers

int GetBitsCount(std::uint32_t u) {
  if (u == 0 || u >= 0x80000000u) return 0;
  return std::bit_width(u);
}

int GetSignedBitsCount(std::int32_t v) {
  if (v == 0) return 0;
  // |INT32_MIN| does not fit an int32; as an unsigned value it is 2^31.
  std::uint32_t magnitude = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
  return GetBitsCount(magnitude) + 1;
}

int SignedFieldWidth(std::int32_t maxAbs, int widthBits) {
  // Same as GetSignedBitsCount below 2^30; from there on (including the
  // magnitude 2^31 of INT32_MIN, for which GetBitsCount gives 0) the widest
  // width the width field can state.
  std::uint32_t magnitude = maxAbs < 0 ? 0u - static_cast<std::uint32_t>(maxAbs) : static_cast<std::uint32_t>(maxAbs);
  int width = magnitude == 0 ? 0 : std::bit_width(magnitude) + 1;
  return std::min(width, (1 << widthBits) - 1);
}

namespace {
std::uint32_t Magnitude(std::int32_t v) {
  return v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
}
}  // namespace

// The result feeds GetSignedBitsCount, so the magnitude is returned as a
// positive int32 except for INT32_MIN, which stays itself (same width).
std::int32_t MaxAbs(std::int32_t a, std::int32_t b) {
  std::uint32_t m = std::max(Magnitude(a), Magnitude(b));
  return static_cast<std::int32_t>(m);
}

std::int32_t MaxAbs(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
  std::uint32_t m = std::max({Magnitude(a), Magnitude(b), Magnitude(c), Magnitude(d)});
  return static_cast<std::int32_t>(m);
}

bool CheckBit(std::uint16_t flags, int n) {
  if (n < 1 || n > 16) return false;
  return (flags >> (n - 1)) & 1u;
}

std::int32_t FloatToFixed(double x) {
  double v = std::trunc(x * 65536.0);
  // Out-of-range values saturate instead of being undefined.
  if (!(v >= -2147483648.0)) return v != v ? 0 : INT32_MIN;
  if (v > 2147483647.0) return INT32_MAX;
  return static_cast<std::int32_t>(v);
}

float FixedToFloat(std::int32_t i) { return static_cast<float>(i / 65536.0); }

std::uint16_t FloatToFixed8(double x) {
  if (!std::isfinite(x)) return 0;
  double whole = std::trunc(x);
  double frac = x - whole;
  // Wrapped to 16 bits like the field that receives it.
  auto high = static_cast<std::uint16_t>(static_cast<std::int64_t>(std::fmod(whole, 65536.0)) << 8);
  auto low = static_cast<std::uint16_t>(static_cast<std::int64_t>(std::nearbyint(frac * 256.0)));
  return static_cast<std::uint16_t>(high + low);
}

float Fixed8ToFloat(std::uint16_t w) { return static_cast<float>((w >> 8) + (w & 0xFF) / 256.0); }

double CubicBezierValue(double p0, double p1, double p2, double p3, double t) {
  double f = 3 * (p1 - p0);
  double g = 3 * (p2 - p1) - f;
  return p0 + t * f + t * t * g + t * t * t * (p3 - p0 - g - f);
}

// --- writing

void TBitsEngine::WriteFixed(float value) { WriteDWord(static_cast<std::uint32_t>(FloatToFixed(value))); }

void TBitsEngine::WriteSingle(float value) { WriteDWord(std::bit_cast<std::uint32_t>(value)); }

void TBitsEngine::WriteRGB(const TSWFRGBRec& c) {
  std::uint8_t out[3] = {c.R, c.G, c.B};
  stream_.Write(out, 3);
}

void TBitsEngine::WriteRGBA(TPackedColor c) {
  std::uint8_t out[4] = {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                         static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 24)};
  stream_.Write(out, 4);
}

void TBitsEngine::WriteRect(const TRect& r) { WriteSWFRect(RectToSWFRect(r, false)); }

void TBitsEngine::WriteSWFRect(std::int32_t xmin, std::int32_t xmax, std::int32_t ymin, std::int32_t ymax) {
  int n = SignedFieldWidth(MaxAbs(xmin, xmax, ymin, ymax), 5);
  WriteBits(n, 5);
  WriteBits(static_cast<std::uint32_t>(xmin), n);
  WriteBits(static_cast<std::uint32_t>(xmax), n);
  WriteBits(static_cast<std::uint32_t>(ymin), n);
  WriteBits(static_cast<std::uint32_t>(ymax), n);
  FlushLastByte(true);
}

void TBitsEngine::WriteMatrix(const TSWFMatrixRec& m) {
  WriteBit(m.HasScale);
  if (m.HasScale) {
    int n = SignedFieldWidth(MaxAbs(m.ScaleX, m.ScaleY), 5);
    WriteBits(n, 5);
    WriteBits(static_cast<std::uint32_t>(m.ScaleX), n);
    WriteBits(static_cast<std::uint32_t>(m.ScaleY), n);
  }
  WriteBit(m.HasSkew);
  if (m.HasSkew) {
    int n = SignedFieldWidth(MaxAbs(m.SkewX, m.SkewY), 5);
    WriteBits(n, 5);
    WriteBits(static_cast<std::uint32_t>(m.SkewY), n);
    WriteBits(static_cast<std::uint32_t>(m.SkewX), n);
  }
  int n = SignedFieldWidth(MaxAbs(m.TranslateX, m.TranslateY), 5);
  WriteBits(n, 5);
  if (n > 0) {
    WriteBits(static_cast<std::uint32_t>(m.TranslateX), n);
    WriteBits(static_cast<std::uint32_t>(m.TranslateY), n);
  }
  FlushLastByte(true);
}

void TBitsEngine::WriteColorTransform(const TSWFColorTransformRec& c) {
  int addBits = 0, multBits = 0;
  if (c.HasAdd)
    addBits = SignedFieldWidth(MaxAbs(c.AddR, c.AddG, c.AddB, c.HasAlpha ? c.AddA : 0), 4);
  if (c.HasMult)
    multBits = SignedFieldWidth(MaxAbs(c.MultR, c.MultG, c.MultB, c.HasAlpha ? c.MultA : 0), 4);
  int n = std::max(addBits, multBits);
  WriteBit(c.HasAdd);
  WriteBit(c.HasMult);
  if (c.HasAdd || c.HasMult) {
    WriteBits(n, 4);
    auto term = [&](std::int16_t v) { WriteBits(static_cast<std::uint32_t>(static_cast<std::int32_t>(v)), n); };
    if (c.HasMult) {
      term(c.MultR);
      term(c.MultG);
      term(c.MultB);
      if (c.HasAlpha) term(c.MultA);
    }
    if (c.HasAdd) {
      term(c.AddR);
      term(c.AddG);
      term(c.AddB);
      if (c.HasAlpha) term(c.AddA);
    }
  }
  FlushLastByte(true);
}

void TBitsEngine::WriteString(std::string_view text, bool addNul, bool asUTF8) {
  if (asUTF8) {
    std::string utf8 = AnsiToUtf8(text);
    WriteBytes(utf8.data(), utf8.size(), addNul);
  } else {
    WriteBytes(text.data(), text.size(), addNul);
  }
}

// --- reading

float TBitsEngine::ReadFixed() { return FixedToFloat(static_cast<std::int32_t>(ReadDWord())); }

float TBitsEngine::ReadSingle() { return std::bit_cast<float>(ReadDWord()); }

double TBitsEngine::ReadDoubleBE() {
  std::uint8_t b[8] = {};
  stream_.Read(b, 8);
  std::uint64_t v = 0;
  for (std::uint8_t byte : b) v = (v << 8) | byte;
  return std::bit_cast<double>(v);
}

TSWFRGBRec TBitsEngine::ReadRGB() {
  std::uint8_t b[3] = {0, 0, 0};
  stream_.Read(b, 3);
  return {b[0], b[1], b[2]};
}

TPackedColor TBitsEngine::ReadRGBA() { return ReadNBytes(4); }

TRect TBitsEngine::ReadRect() {
  int n = static_cast<int>(ReadBits(5));
  TRect r;
  r.Left = ReadSBits(n);
  r.Right = ReadSBits(n);
  r.Top = ReadSBits(n);
  r.Bottom = ReadSBits(n);
  FlushLastByte(false);
  return r;
}

TSWFMatrixRec TBitsEngine::ReadMatrix() {
  TSWFMatrixRec m;
  m.HasScale = ReadBits(1);
  if (m.HasScale) {
    int n = static_cast<int>(ReadBits(5));
    m.ScaleX = ReadSBits(n);
    m.ScaleY = ReadSBits(n);
  }
  m.HasSkew = ReadBits(1);
  if (m.HasSkew) {
    int n = static_cast<int>(ReadBits(5));
    m.SkewY = ReadSBits(n);
    m.SkewX = ReadSBits(n);
  }
  int n = static_cast<int>(ReadBits(5));
  m.TranslateX = ReadSBits(n);
  m.TranslateY = ReadSBits(n);
  FlushLastByte(false);
  return m;
}

void TBitsEngine::ReadColorTransform(TSWFColorTransformRec& rec, bool withAlpha) {
  rec.HasAlpha = withAlpha;
  rec.HasAdd = ReadBits(1);
  rec.HasMult = ReadBits(1);
  if (rec.HasAdd || rec.HasMult) {
    int n = static_cast<int>(ReadBits(4));
    auto term = [&] { return static_cast<std::int16_t>(ReadSBits(n)); };
    if (rec.HasMult) {
      rec.MultR = term();
      rec.MultG = term();
      rec.MultB = term();
      if (withAlpha) rec.MultA = term();
    }
    if (rec.HasAdd) {
      rec.AddR = term();
      rec.AddG = term();
      rec.AddB = term();
      if (withAlpha) rec.AddA = term();
    }
  }
  FlushLastByte(false);
}

TSWFColorTransformRec TBitsEngine::ReadColorTransform(bool withAlpha) {
  TSWFColorTransformRec rec;
  ReadColorTransform(rec, withAlpha);
  return rec;
}

std::string TBitsEngine::ReadString() {
  std::string out;
  // Memory-backed streams are scanned in place; others byte by byte.
  if (auto* memory = dynamic_cast<TMemoryStream*>(&stream_)) {
    auto pos = memory->Position();
    if (pos < memory->Size()) {
      const auto* start = std::as_const(*memory).Data() + pos;
      std::size_t avail = memory->Size() - pos;
      const void* nul = std::memchr(start, 0, avail);
      std::size_t len = nul ? static_cast<const std::uint8_t*>(nul) - start : avail;
      out.assign(reinterpret_cast<const char*>(start), len);
      memory->Seek(pos + len + (nul ? 1 : 0));
    }
    return out;
  }
  if (auto* view = dynamic_cast<TBufferStream*>(&stream_)) {
    auto pos = view->Position();
    if (pos < view->Size()) {
      const auto* start = view->Data() + pos;
      std::size_t avail = view->Size() - pos;
      const void* nul = std::memchr(start, 0, avail);
      std::size_t len = nul ? static_cast<const std::uint8_t*>(nul) - start : avail;
      out.assign(reinterpret_cast<const char*>(start), len);
      view->Seek(pos + len + (nul ? 1 : 0));
    }
    return out;
  }
  std::uint8_t b;
  while (stream_.Read(&b, 1) == 1 && b != 0) out += static_cast<char>(b);
  return out;
}

std::string TBitsEngine::ReadFixedString(int n) {
  n = std::clamp(n, 0, 255);
  char buf[255];
  std::size_t got = stream_.Read(buf, n);
  std::size_t len = 0;
  while (len < got && buf[len] != 0) ++len;
  return std::string(buf, len);
}

std::string TBitsEngine::ReadStringBE() {
  std::uint16_t len = ReadWordBE();
  std::string out(std::min<std::uint64_t>(len, stream_.Remaining()), '\0');
  std::size_t got = stream_.Read(out.data(), out.size());
  out.resize(got);
  return out;
}

void NeedBytes(TBitsEngine& be, std::uint64_t bytes, std::string_view what) {
  const std::uint64_t left = be.Stream().Remaining();
  if (left < bytes)
    throw Error(std::string(what) + " at offset " + std::to_string(be.Stream().Position()) + " needs " +
                std::to_string(bytes) + " bytes, the tag has " + std::to_string(left) + " left");
}

}  // namespace yel::swf
