// Fill styles (solid, gradients, bitmaps), line styles (LINESTYLE and
// LINESTYLE2) and the style arrays of shapes, with their encodings. Shapes,
// morph shapes and glyph outlines all use these.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/format/bits_engine.h"

namespace yel::swf {

// Fill type bytes.
inline constexpr std::uint8_t kFillSolid = 0x00;
inline constexpr std::uint8_t kFillLinearGradient = 0x10;
inline constexpr std::uint8_t kFillRadialGradient = 0x12;
inline constexpr std::uint8_t kFillFocalGradient = 0x13;
inline constexpr std::uint8_t kFillTileBitmap = 0x40;
inline constexpr std::uint8_t kFillClipBitmap = 0x41;
inline constexpr std::uint8_t kFillNonSmoothTileBitmap = 0x42;
inline constexpr std::uint8_t kFillNonSmoothClipBitmap = 0x43;

// "Solid", "LinearGradient", ...; empty for a type outside the table.
const char* FillTypeName(std::uint8_t type);
inline bool IsBitmapFill(std::uint8_t type) { return type >= 0x40 && type <= 0x43; }

class TSWFFillStyle {
 public:
  virtual ~TSWFFillStyle() = default;
  // Copies from a fill of the same class (HasAlpha and FillType included).
  virtual void Assign(const TSWFFillStyle& source);
  // Reads the body; the type byte has already been consumed.
  virtual void ReadFromStream(TBitsEngine& be) = 0;
  // Writes the type byte and the body.
  virtual void WriteToStream(TBitsEngine& be) = 0;

  // Colours are RGBA; the owning shape sets this before every write and read.
  bool HasAlpha = false;
  std::uint8_t FillType = 0;

 protected:
  explicit TSWFFillStyle(std::uint8_t type) : FillType(type) {}
};

using TSWFFillStyles = std::vector<std::unique_ptr<TSWFFillStyle>>;

// New fill object of the class for a type byte (null for an unknown type).
std::unique_ptr<TSWFFillStyle> CreateFillStyle(std::uint8_t type);
std::unique_ptr<TSWFFillStyle> CloneFillStyle(const TSWFFillStyle& source);

class TSWFColorFill : public TSWFFillStyle {
 public:
  TSWFColorFill() : TSWFFillStyle(kFillSolid) {}
  void Assign(const TSWFFillStyle& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  TSWFRGBA Color{false};
};

struct TSWFGradientRec {
  std::uint8_t Ratio = 0;
  TSWFRGBA Color{false};
};

// The gradient record shared by the linear, radial and focal fills.
class TSWFBaseGradientFill : public TSWFFillStyle {
 public:
  static constexpr int kMaxEntries = 15;

  void Assign(const TSWFFillStyle& source) override;
  // Entry i (0..14), created when asked for; the count grows to include it.
  TSWFGradientRec& GradientRecord(int index);
  int Count() const { return static_cast<int>(Gradient.size()); }

  TSWFMatrix Matrix;
  std::uint8_t SpreadMode = 0;         // 2 bits
  std::uint8_t InterpolationMode = 0;  // 2 bits
  // At most kMaxEntries are written.
  std::vector<TSWFGradientRec> Gradient;

 protected:
  using TSWFFillStyle::TSWFFillStyle;
  void ReadGradient(TBitsEngine& be);
  void WriteGradient(TBitsEngine& be);
};

class TSWFGradientFill : public TSWFBaseGradientFill {
 public:
  TSWFGradientFill() : TSWFBaseGradientFill(kFillLinearGradient) {}
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

 protected:
  explicit TSWFGradientFill(std::uint8_t type) : TSWFBaseGradientFill(type) {}
};

class TSWFFocalGradientFill : public TSWFGradientFill {
 public:
  TSWFFocalGradientFill() : TSWFGradientFill(kFillFocalGradient) {}
  void Assign(const TSWFFillStyle& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  // Focal position -1.0..1.0, stored as round(f * 255).
  float GetFocalPoint() const;
  void SetFocalPoint(float f);

  // The stored 16-bit value, kept exactly as read.
  std::int16_t FocalPoint = 0;
};

class TSWFImageFill : public TSWFFillStyle {
 public:
  TSWFImageFill() : TSWFFillStyle(kFillClipBitmap) {}
  void Assign(const TSWFFillStyle& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  std::uint16_t BitmapId = 0;
  TSWFMatrix Matrix;
};

class TSWFLineStyle {
 public:
  TSWFLineStyle() = default;
  virtual ~TSWFLineStyle() = default;
  virtual void Assign(const TSWFLineStyle& source);
  // The colour's HasAlpha (set by the shape) decides RGB or RGBA.
  virtual void ReadFromStream(TBitsEngine& be);
  virtual void WriteToStream(TBitsEngine& be);

  std::uint16_t Width = 0;
  TSWFRGBA Color{false};

 protected:
  explicit TSWFLineStyle(bool colorHasAlpha) : Color(colorHasAlpha) {}
};

// LINESTYLE2 of DefineShape4: caps, joins, scaling flags and an optional fill.
// The caps, join, scaling and fill flags that LINESTYLE2 and MORPHLINESTYLE2
// share, with the miter limit that follows them.
struct TSWFLineStyle2Flags {
  std::uint8_t StartCapStyle = 0;  // 0..3
  std::uint8_t JoinStyle = 0;      // 0..3; 2 is a miter join
  bool HasFillFlag = false;
  bool NoHScaleFlag = false;
  bool NoVScaleFlag = false;
  bool PixelHintingFlag = false;
  bool NoClose = false;
  std::uint8_t EndCapStyle = 0;  // 0..3
  float MiterLimitFactor = 0;

  // The two flag bytes, then the miter limit of a miter join.
  void ReadFlags(TBitsEngine& be);
  // hasFill is written in place of HasFillFlag.
  void WriteFlags(TBitsEngine& be, bool hasFill) const;
};

class TSWFLineStyle2 : public TSWFLineStyle, public TSWFLineStyle2Flags {
 public:
  TSWFLineStyle2() : TSWFLineStyle(true) {}
  void Assign(const TSWFLineStyle& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  TSWFFillStyle* FillStyle() const { return fill_.get(); }
  // Keeps the present fill when it has this type, otherwise replaces it with
  // a new one of the class for the type (null for an unknown type); the fill
  // gets HasAlpha and the type.
  TSWFFillStyle* SetFillStyleType(std::uint8_t type);
  void ClearFillStyle() { fill_.reset(); }

 private:
  std::unique_ptr<TSWFFillStyle> fill_;
};

using TSWFLineStyles = std::vector<std::unique_ptr<TSWFLineStyle>>;

std::unique_ptr<TSWFLineStyle> CloneLineStyle(const TSWFLineStyle& source);
void CopyFillStyles(const TSWFFillStyles& source, TSWFFillStyles& target);
void CopyLineStyles(const TSWFLineStyles& source, TSWFLineStyles& target);

// Style arrays: the count as one byte, or 0xFF and a 16-bit count from 255
// on, then each style. Without extendedCounts (DefineShape, whose readers
// know no extended count) the byte 0xFF means 255 styles and more cannot be
// written (yel::Error). Every style is written and read with hasAlpha; the
// line styles as LINESTYLE2 exactly when lineStyle2 is set (a style of the
// other form is converted on the way out). Reading fails with yel::Error on
// an unknown fill type or a list that runs past the end of the stream.
void WriteFillStyles(TBitsEngine& be, TSWFFillStyles& styles, bool hasAlpha, bool extendedCounts = true);
void ReadFillStyles(TBitsEngine& be, TSWFFillStyles& styles, bool hasAlpha, bool extendedCounts = true);
void WriteLineStyles(TBitsEngine& be, TSWFLineStyles& styles, bool hasAlpha, bool lineStyle2,
                     bool extendedCounts = true);
void ReadLineStyles(TBitsEngine& be, TSWFLineStyles& styles, bool hasAlpha, bool lineStyle2,
                    bool extendedCounts = true);
// Reads one fill style (type byte and body).
std::unique_ptr<TSWFFillStyle> ReadFillStyle(TBitsEngine& be, bool hasAlpha);

}  // namespace yel::swf
