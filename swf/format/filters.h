// Bitmap filters of PlaceObject3 and DefineButton2 records (drop shadow,
// blur, glow, bevel, gradient glow, convolution, colour matrix, gradient
// bevel) and the filter list that carries them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "swf/format/bits_engine.h"

namespace yel::swf {

enum : std::uint8_t {
  kFilterDropShadow = 0,
  kFilterBlur = 1,
  kFilterGlow = 2,
  kFilterBevel = 3,
  kFilterGradientGlow = 4,
  kFilterConvolution = 5,
  kFilterColorMatrix = 6,
  kFilterGradientBevel = 7,
};

// "DropShadow", "Blur", ...; empty for a type outside the table.
const char* FilterName(std::uint8_t type);

class TSWFFilter {
 public:
  virtual ~TSWFFilter() = default;
  virtual void Assign(const TSWFFilter& source) = 0;
  // Reads the body; the type byte has already been consumed.
  virtual void ReadFromStream(TBitsEngine& be) = 0;
  // Writes the type byte and the body.
  virtual void WriteToStream(TBitsEngine& be) = 0;

  std::uint8_t FilterType;

 protected:
  explicit TSWFFilter(std::uint8_t type) : FilterType(type) {}
};

// 16.16 values are held as doubles, which keep every fixed-point value exactly.
class TSWFDropShadowFilter : public TSWFFilter {
 public:
  TSWFDropShadowFilter() : TSWFFilter(kFilterDropShadow) {}
  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  TSWFRGBA Color{false};  // opaque black
  double BlurX = 0, BlurY = 0, Angle = 0, Distance = 0;
  float Strength = 0;
  bool InnerShadow = false;
  bool Knockout = false;
  bool CompositeSource = true;
  std::uint8_t Passes = 1;  // 5 bits
};

class TSWFBlurFilter : public TSWFFilter {
 public:
  TSWFBlurFilter() : TSWFFilter(kFilterBlur) {}
  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  double BlurX = 0, BlurY = 0;
  std::uint8_t Passes = 1;  // 5 bits
};

class TSWFGlowFilter : public TSWFFilter {
 public:
  TSWFGlowFilter() : TSWFFilter(kFilterGlow) {}
  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  TSWFRGBA Color{false};
  double BlurX = 0, BlurY = 0;
  float Strength = 0;
  bool InnerGlow = false;
  bool Knockout = false;
  bool CompositeSource = true;
  std::uint8_t Passes = 1;  // 5 bits
};

class TSWFBevelFilter : public TSWFFilter {
 public:
  TSWFBevelFilter() : TSWFFilter(kFilterBevel) {}
  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  TSWFRGBA ShadowColor{false};
  TSWFRGBA HighlightColor{false};
  double BlurX = 0, BlurY = 0, Angle = 0, Distance = 0;
  float Strength = 0;
  bool InnerShadow = false;
  bool Knockout = false;
  bool CompositeSource = true;
  bool OnTop = false;
  std::uint8_t Passes = 1;  // 4 bits
};

struct TSWFFilterGradientRec {
  TSWFRGBA Color{false};
  std::uint8_t Ratio = 0;
};

class TSWFGradientGlowFilter : public TSWFFilter {
 public:
  static constexpr int kMaxColors = 15;

  TSWFGradientGlowFilter();
  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  // At most kMaxColors are written.
  std::vector<TSWFFilterGradientRec> Gradient;
  double BlurX = 0, BlurY = 0, Angle = 0, Distance = 0;
  float Strength = 0;
  bool InnerShadow = false;
  bool Knockout = false;
  bool CompositeSource = true;
  bool OnTop = false;
  std::uint8_t Passes = 1;  // 4 bits

 protected:
  explicit TSWFGradientGlowFilter(std::uint8_t type);
};

class TSWFGradientBevelFilter : public TSWFGradientGlowFilter {
 public:
  TSWFGradientBevelFilter() : TSWFGradientGlowFilter(kFilterGradientBevel) {}
};

// Divisor, Bias and the matrix are IEEE single-precision values, as the
// players read them.
class TSWFConvolutionFilter : public TSWFFilter {
 public:
  TSWFConvolutionFilter() : TSWFFilter(kFilterConvolution) {}
  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;

  // MatrixX * MatrixY values are written; missing ones as 0.
  std::uint8_t MatrixX = 0;
  std::uint8_t MatrixY = 0;
  float Divisor = 0;
  float Bias = 0;
  std::vector<float> Matrix;
  TSWFRGBA DefaultColor{true};
  bool Clamp = false;
  bool PreserveAlpha = false;
};

class TSWFColorMatrixFilter : public TSWFFilter {
 public:
  TSWFColorMatrixFilter() : TSWFFilter(kFilterColorMatrix) { ResetValues(); }
  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) override;
  // The identity: 1.0 at 0, 6, 12 and 18.
  void ResetValues();

  std::array<float, 20> Matrix{};  // row-major 4 x 5
};

// New filter of the class for a type byte (null for an unknown type).
std::unique_ptr<TSWFFilter> CreateFilter(std::uint8_t type);

// Owned, ordered filters; a count byte, then each filter with its type byte.
class TSWFFilterList {
 public:
  void Assign(const TSWFFilterList& source);
  // Fails with yel::Error on an unknown type or a list that runs past the
  // end of the stream.
  void ReadFromStream(TBitsEngine& be);
  // At most 255 filters are written.
  void WriteToStream(TBitsEngine& be);
  // Appends a new filter of the type (null for an unknown type).
  TSWFFilter* AddFilter(std::uint8_t type);

  std::vector<std::unique_ptr<TSWFFilter>> Filters;
};

}  // namespace yel::swf
