// Plain records and small value classes of the SWF format: rectangles,
// colours, matrices and colour transforms, with the colour helpers.
#pragma once

#include <cstdint>

namespace yel::swf {

// Rectangle in twips, in screen order.
struct TRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
  bool operator==(const TRect&) const = default;
};

// The same four values in the order the format stores them.
struct TSWFRectRec {
  std::int32_t XMin = 0;
  std::int32_t XMax = 0;
  std::int32_t YMin = 0;
  std::int32_t YMax = 0;
  bool operator==(const TSWFRectRec&) const = default;
};

struct TSWFRGBRec {
  std::uint8_t R = 0;
  std::uint8_t G = 0;
  std::uint8_t B = 0;
  bool operator==(const TSWFRGBRec&) const = default;
};

// x' = ScaleX*x + SkewX*y + TranslateX, y' = SkewY*x + ScaleY*y + TranslateY;
// scales and skews are 16.16 fixed point, translations twips.
struct TSWFMatrixRec {
  bool HasScale = false;
  bool HasSkew = false;
  std::int32_t ScaleX = 0;
  std::int32_t ScaleY = 0;
  std::int32_t SkewX = 0;
  std::int32_t SkewY = 0;
  std::int32_t TranslateX = 0;
  std::int32_t TranslateY = 0;
  bool operator==(const TSWFMatrixRec&) const = default;
};

// Add terms and 8.8 multiply terms (256 = 1.0); HasAlpha selects the form
// with alpha terms.
struct TSWFColorTransformRec {
  std::int16_t AddR = 0;
  std::int16_t AddG = 0;
  std::int16_t AddB = 0;
  std::int16_t AddA = 0;
  std::int16_t MultR = 256;
  std::int16_t MultG = 256;
  std::int16_t MultB = 256;
  std::int16_t MultA = 256;
  bool HasAdd = false;
  bool HasMult = false;
  bool HasAlpha = false;
  bool operator==(const TSWFColorTransformRec&) const = default;
};

// Packed colour: red | green << 8 | blue << 16 | alpha << 24.
using TPackedColor = std::uint32_t;
// Platform colour 0x00BBGGRR; a set top byte names a system colour.
using TPlatformColor = std::uint32_t;

TSWFRGBRec SWFRGB(std::uint8_t r, std::uint8_t g, std::uint8_t b);
TPackedColor SWFRGBA(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a);
// Resolves system colours (to the classic Windows defaults) first.
TSWFRGBRec ColorToSWFRGB(TPlatformColor c);
TPackedColor ColorToSWFRGBA(TPlatformColor c, std::uint8_t a);
TPackedColor SetAlphaOf(TPackedColor packed, std::uint8_t a);

TRect NormalizeRect(const TRect& r);
// Orders the bounds; with scale, pixels become twips (times 20).
TSWFRectRec RectToSWFRect(const TRect& r, bool scale);
TSWFMatrixRec MakeMatrix(bool hasScale, bool hasSkew, std::int32_t scaleX, std::int32_t scaleY,
                         std::int32_t skewX, std::int32_t skewY, std::int32_t translateX,
                         std::int32_t translateY);

// Rectangle whose bounds stay ordered: every setter swaps the two values of
// its axis when they would cross.
class TSWFRect {
 public:
  TSWFRect() = default;
  std::int32_t XMin() const { return xmin_; }
  std::int32_t XMax() const { return xmax_; }
  std::int32_t YMin() const { return ymin_; }
  std::int32_t YMax() const { return ymax_; }
  void SetXMin(std::int32_t v);
  void SetXMax(std::int32_t v);
  void SetYMin(std::int32_t v);
  void SetYMax(std::int32_t v);
  void SetRect(const TSWFRectRec& r);
  void SetRect(const TRect& r);
  TSWFRectRec SWFRect() const { return {xmin_, xmax_, ymin_, ymax_}; }
  TRect Rect() const { return {xmin_, ymin_, xmax_, ymax_}; }
  std::int32_t Width() const { return xmax_ - xmin_; }
  std::int32_t Height() const { return ymax_ - ymin_; }
  void Assign(const TSWFRect& source) { *this = source; }

 private:
  void CheckX();
  void CheckY();
  std::int32_t xmin_ = 0, xmax_ = 0, ymin_ = 0, ymax_ = 0;
};

class TSWFRGB {
 public:
  TSWFRGB() = default;
  virtual ~TSWFRGB() = default;
  // From a packed colour; the alpha byte is ignored here.
  virtual void SetRGB(TPackedColor packed);
  virtual void Assign(const TSWFRGB& source);
  TSWFRGBRec RGB() const { return {R, G, B}; }

  std::uint8_t R = 0;
  std::uint8_t G = 0;
  std::uint8_t B = 0;
};

// Colour with alpha: alpha is 255 whenever HasAlpha is false, and any other
// alpha value turns HasAlpha on.
class TSWFRGBA : public TSWFRGB {
 public:
  explicit TSWFRGBA(bool hasAlpha = true);
  void SetRGB(TPackedColor packed) override;  // alpha becomes 255
  void Assign(const TSWFRGB& source) override;
  void SetRGBA(TPackedColor packed);
  TPackedColor RGBA() const;
  std::uint8_t A() const { return alpha_; }
  void SetA(std::uint8_t a);
  bool HasAlpha() const { return has_alpha_; }
  void SetHasAlpha(bool has);

 private:
  std::uint8_t alpha_ = 0;
  bool has_alpha_ = true;
};

class TSWFMatrix {
 public:
  TSWFMatrixRec Rec() const;
  void SetRec(const TSWFMatrixRec& r);
  float GetScaleX() const;
  float GetScaleY() const;
  float GetSkewX() const;
  float GetSkewY() const;
  void SetScaleX(float v);  // each float setter also sets its flag
  void SetScaleY(float v);
  void SetSkewX(float v);
  void SetSkewY(float v);
  void SetScale(float scaleX, float scaleY);
  void SetSkew(float skewX, float skewY);
  void SetTranslate(std::int32_t x, std::int32_t y);
  // Rotates by angle degrees on top of the present scale and skew.
  void SetRotate(float angle);
  void Assign(const TSWFMatrix& source) { *this = source; }

  bool HasScale = false;
  bool HasSkew = false;
  std::int32_t ScaleX = 0;
  std::int32_t ScaleY = 0;
  std::int32_t SkewX = 0;
  std::int32_t SkewY = 0;
  std::int32_t TranslateX = 0;
  std::int32_t TranslateY = 0;
};

// Colour transform whose setters clamp (add -255..255, multiply 0..256) and
// keep the presence flags in step with the terms that were set.
class TSWFColorTransform {
 public:
  explicit TSWFColorTransform(bool hasAlpha = false) : HasAlpha(hasAlpha) {}
  std::int32_t AddR() const { return add_[0]; }
  std::int32_t AddG() const { return add_[1]; }
  std::int32_t AddB() const { return add_[2]; }
  std::int32_t AddA() const { return add_[3]; }
  std::int32_t MultR() const { return mult_[0]; }
  std::int32_t MultG() const { return mult_[1]; }
  std::int32_t MultB() const { return mult_[2]; }
  std::int32_t MultA() const { return mult_[3]; }
  void SetAddR(std::int32_t v);
  void SetAddG(std::int32_t v);
  void SetAddB(std::int32_t v);
  void SetAddA(std::int32_t v);  // also sets HasAlpha
  void SetMultR(std::int32_t v);
  void SetMultG(std::int32_t v);
  void SetMultB(std::int32_t v);
  void SetMultA(std::int32_t v);  // also sets HasAlpha
  TSWFColorTransformRec Rec() const;
  void SetRec(const TSWFColorTransformRec& r);
  void Assign(const TSWFColorTransform& source) { SetRec(source.Rec()); }

  bool HasAdd = false;
  bool HasMult = false;
  bool HasAlpha = false;

 private:
  std::int32_t add_[4] = {0, 0, 0, 0};
  std::int32_t mult_[4] = {256, 256, 256, 256};
};

}  // namespace yel::swf
