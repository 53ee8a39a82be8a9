// Value records of the SWF format and the colour helpers.
#include "swf/format/swf_records.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "swf/format/bits_engine.h"

namespace yel::swf {
namespace {

// The classic Windows default system colours (0x00BBGGRR), indexed by the low
// byte of a platform colour whose top byte is set.
constexpr std::uint32_t kSystemColors[] = {
    0xC8D0D4,  // scroll bar
    0xA56E3A,  // desktop
    0x6A240A,  // active caption
    0x808080,  // inactive caption
    0xC8D0D4,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC8D0D4,  // active border
    0xC8D0D4,  // inactive border
    0x808080,  // application workspace
    0x6A240A,  // highlight
    0xFFFFFF,  // highlight text
    0xC8D0D4,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xC8D0D4,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x404040,  // 3-D dark shadow
    0xC8D0D4,  // 3-D light
    0x000000,  // info text
    0xE1FFFF,  // info background
    0xB5B5B5,  // alternate button face
    0x800000,  // hot light
    0xF0CAA6,  // gradient active caption
    0xC0C0C0,  // gradient inactive caption
    0x6A240A,  // menu highlight
    0xC8D0D4,  // menu bar
};

std::uint32_t ResolveColor(TPlatformColor c) {
  if ((c & 0xFF000000u) == 0) return c;
  std::uint32_t index = c & 0xFF;
  return index < std::size(kSystemColors) ? kSystemColors[index] : 0;
}

}  // namespace

TSWFRGBRec SWFRGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {r, g, b}; }

TPackedColor SWFRGBA(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  return r | (g << 8) | (b << 16) | (static_cast<std::uint32_t>(a) << 24);
}

TSWFRGBRec ColorToSWFRGB(TPlatformColor c) {
  std::uint32_t rgb = ResolveColor(c);
  return {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
          static_cast<std::uint8_t>(rgb >> 16)};
}

TPackedColor ColorToSWFRGBA(TPlatformColor c, std::uint8_t a) {
  TSWFRGBRec rgb = ColorToSWFRGB(c);
  return SWFRGBA(rgb.R, rgb.G, rgb.B, a);
}

TPackedColor SetAlphaOf(TPackedColor packed, std::uint8_t a) {
  return (packed & 0x00FFFFFFu) | (static_cast<std::uint32_t>(a) << 24);
}

TRect NormalizeRect(const TRect& r) {
  return {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
          std::max(r.Top, r.Bottom)};
}

TSWFRectRec RectToSWFRect(const TRect& r, bool scale) {
  TSWFRectRec out{std::min(r.Left, r.Right), std::max(r.Left, r.Right), std::min(r.Top, r.Bottom),
                  std::max(r.Top, r.Bottom)};
  if (scale) {
    // Twenty twips to the pixel; computed wide and wrapped like the format's
    // 32-bit fields so extreme values cannot overflow.
    auto twips = [](std::int32_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) * 20u); };
    out = {twips(out.XMin), twips(out.XMax), twips(out.YMin), twips(out.YMax)};
  }
  return out;
}

TSWFMatrixRec MakeMatrix(bool hasScale, bool hasSkew, std::int32_t scaleX, std::int32_t scaleY,
                         std::int32_t skewX, std::int32_t skewY, std::int32_t translateX,
                         std::int32_t translateY) {
  return {hasScale, hasSkew, scaleX, scaleY, skewX, skewY, translateX, translateY};
}

// --- TSWFRect

void TSWFRect::CheckX() {
  if (xmin_ > xmax_) std::swap(xmin_, xmax_);
}
void TSWFRect::CheckY() {
  if (ymin_ > ymax_) std::swap(ymin_, ymax_);
}
void TSWFRect::SetXMin(std::int32_t v) {
  xmin_ = v;
  CheckX();
}
void TSWFRect::SetXMax(std::int32_t v) {
  xmax_ = v;
  CheckX();
}
void TSWFRect::SetYMin(std::int32_t v) {
  ymin_ = v;
  CheckY();
}
void TSWFRect::SetYMax(std::int32_t v) {
  ymax_ = v;
  CheckY();
}
void TSWFRect::SetRect(const TSWFRectRec& r) {
  xmin_ = r.XMin;
  xmax_ = r.XMax;
  ymin_ = r.YMin;
  ymax_ = r.YMax;
  CheckX();
  CheckY();
}
void TSWFRect::SetRect(const TRect& r) { SetRect(TSWFRectRec{r.Left, r.Right, r.Top, r.Bottom}); }

// --- TSWFRGB, TSWFRGBA

void TSWFRGB::SetRGB(TPackedColor packed) {
  R = static_cast<std::uint8_t>(packed);
  G = static_cast<std::uint8_t>(packed >> 8);
  B = static_cast<std::uint8_t>(packed >> 16);
}

void TSWFRGB::Assign(const TSWFRGB& source) {
  R = source.R;
  G = source.G;
  B = source.B;
}

TSWFRGBA::TSWFRGBA(bool hasAlpha) { SetHasAlpha(hasAlpha); }

void TSWFRGBA::SetRGB(TPackedColor packed) {
  TSWFRGB::SetRGB(packed);
  SetA(255);
}

void TSWFRGBA::Assign(const TSWFRGB& source) {
  TSWFRGB::Assign(source);
  if (const auto* rgba = dynamic_cast<const TSWFRGBA*>(&source)) {
    SetA(rgba->A());
  } else {
    SetA(255);
  }
}

void TSWFRGBA::SetRGBA(TPackedColor packed) {
  TSWFRGB::SetRGB(packed);
  SetA(static_cast<std::uint8_t>(packed >> 24));
}

TPackedColor TSWFRGBA::RGBA() const { return SWFRGBA(R, G, B, alpha_); }

void TSWFRGBA::SetA(std::uint8_t a) {
  alpha_ = a;
  if (a != 255) has_alpha_ = true;
}

void TSWFRGBA::SetHasAlpha(bool has) {
  has_alpha_ = has;
  if (!has) alpha_ = 255;
}

// --- TSWFMatrix

TSWFMatrixRec TSWFMatrix::Rec() const {
  return {HasScale, HasSkew, ScaleX, ScaleY, SkewX, SkewY, TranslateX, TranslateY};
}

void TSWFMatrix::SetRec(const TSWFMatrixRec& r) {
  HasScale = r.HasScale;
  HasSkew = r.HasSkew;
  ScaleX = r.ScaleX;
  ScaleY = r.ScaleY;
  SkewX = r.SkewX;
  SkewY = r.SkewY;
  TranslateX = r.TranslateX;
  TranslateY = r.TranslateY;
}

float TSWFMatrix::GetScaleX() const { return FixedToFloat(ScaleX); }
float TSWFMatrix::GetScaleY() const { return FixedToFloat(ScaleY); }
float TSWFMatrix::GetSkewX() const { return FixedToFloat(SkewX); }
float TSWFMatrix::GetSkewY() const { return FixedToFloat(SkewY); }

void TSWFMatrix::SetScaleX(float v) {
  ScaleX = FloatToFixed(v);
  HasScale = true;
}
void TSWFMatrix::SetScaleY(float v) {
  ScaleY = FloatToFixed(v);
  HasScale = true;
}
void TSWFMatrix::SetSkewX(float v) {
  SkewX = FloatToFixed(v);
  HasSkew = true;
}
void TSWFMatrix::SetSkewY(float v) {
  SkewY = FloatToFixed(v);
  HasSkew = true;
}
void TSWFMatrix::SetScale(float scaleX, float scaleY) {
  SetScaleX(scaleX);
  SetScaleY(scaleY);
}
void TSWFMatrix::SetSkew(float skewX, float skewY) {
  SetSkewX(skewX);
  SetSkewY(skewY);
}
void TSWFMatrix::SetTranslate(std::int32_t x, std::int32_t y) {
  TranslateX = x;
  TranslateY = y;
}

void TSWFMatrix::SetRotate(float angle) {
  double sx = HasScale ? GetScaleX() : 1.0;
  double sy = HasScale ? GetScaleY() : 1.0;
  double kx = HasSkew ? GetSkewX() : 0.0;
  double ky = HasSkew ? GetSkewY() : 0.0;
  double r = angle * std::numbers::pi / 180.0;
  double c = std::cos(r), s = std::sin(r);
  SetScaleX(static_cast<float>(c * sx + s * ky));
  SetScaleY(static_cast<float>(c * sy - s * kx));
  SetSkewX(static_cast<float>(s * sy + c * kx));
  SetSkewY(static_cast<float>(-s * sx + c * ky));
}

// --- TSWFColorTransform

namespace {
std::int32_t ClampAdd(std::int32_t v) { return std::clamp(v, -255, 255); }
std::int32_t ClampMult(std::int32_t v) { return std::clamp(v, 0, 256); }
}  // namespace

void TSWFColorTransform::SetAddR(std::int32_t v) {
  add_[0] = ClampAdd(v);
  HasAdd = true;
}
void TSWFColorTransform::SetAddG(std::int32_t v) {
  add_[1] = ClampAdd(v);
  HasAdd = true;
}
void TSWFColorTransform::SetAddB(std::int32_t v) {
  add_[2] = ClampAdd(v);
  HasAdd = true;
}
void TSWFColorTransform::SetAddA(std::int32_t v) {
  add_[3] = ClampAdd(v);
  HasAdd = true;
  HasAlpha = true;
}
void TSWFColorTransform::SetMultR(std::int32_t v) {
  mult_[0] = ClampMult(v);
  HasMult = true;
}
void TSWFColorTransform::SetMultG(std::int32_t v) {
  mult_[1] = ClampMult(v);
  HasMult = true;
}
void TSWFColorTransform::SetMultB(std::int32_t v) {
  mult_[2] = ClampMult(v);
  HasMult = true;
}
void TSWFColorTransform::SetMultA(std::int32_t v) {
  mult_[3] = ClampMult(v);
  HasMult = true;
  HasAlpha = true;
}

TSWFColorTransformRec TSWFColorTransform::Rec() const {
  TSWFColorTransformRec r;
  r.HasAdd = HasAdd;
  r.HasMult = HasMult;
  r.HasAlpha = HasAlpha;
  if (HasAdd) {
    r.AddR = static_cast<std::int16_t>(add_[0]);
    r.AddG = static_cast<std::int16_t>(add_[1]);
    r.AddB = static_cast<std::int16_t>(add_[2]);
    if (HasAlpha) r.AddA = static_cast<std::int16_t>(add_[3]);
  }
  if (HasMult) {
    r.MultR = static_cast<std::int16_t>(mult_[0]);
    r.MultG = static_cast<std::int16_t>(mult_[1]);
    r.MultB = static_cast<std::int16_t>(mult_[2]);
    if (HasAlpha) r.MultA = static_cast<std::int16_t>(mult_[3]);
  }
  return r;
}

void TSWFColorTransform::SetRec(const TSWFColorTransformRec& r) {
  HasAlpha = r.HasAlpha;
  if (r.HasAdd) {
    SetAddR(r.AddR);
    SetAddG(r.AddG);
    SetAddB(r.AddB);
    if (r.HasAlpha) SetAddA(r.AddA);
  } else {
    HasAdd = false;
  }
  if (r.HasMult) {
    SetMultR(r.MultR);
    SetMultG(r.MultG);
    SetMultB(r.MultB);
    if (r.HasAlpha) SetMultA(r.MultA);
  } else {
    HasMult = false;
  }
}

}  // namespace yel::swf
