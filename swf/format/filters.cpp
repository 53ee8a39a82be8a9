// Filter encodings and the filter list.
#include "swf/format/filters.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/error.h"

namespace yel::swf {
namespace {

double ReadFixed16(TBitsEngine& be) { return static_cast<std::int32_t>(be.ReadDWord()) / 65536.0; }
void WriteFixed16(TBitsEngine& be, double v) { be.WriteDWord(static_cast<std::uint32_t>(FloatToFixed(v))); }
float ReadFixed8(TBitsEngine& be) { return Fixed8ToFloat(be.ReadWord()); }
void WriteFixed8(TBitsEngine& be, float v) { be.WriteWord(FloatToFixed8(v)); }

void ReadColor(TBitsEngine& be, TSWFRGBA& color) { color.SetRGBA(be.ReadRGBA()); }

// Bytes a filter body takes; for the two variable ones, the part that
// follows the counts is checked by their readers.
std::uint64_t FixedBodySize(std::uint8_t type) {
  switch (type) {
    case kFilterDropShadow: return 23;
    case kFilterBlur: return 9;
    case kFilterGlow: return 15;
    case kFilterBevel: return 27;
    case kFilterGradientGlow:
    case kFilterGradientBevel: return 1;
    case kFilterConvolution: return 10;
    case kFilterColorMatrix: return 80;
    default: return 0;
  }
}

template <class T>
const T& FilterSource(const TSWFFilter& source) {
  const T* typed = dynamic_cast<const T*>(&source);
  if (!typed) throw std::logic_error("filter Assign from another class");
  return *typed;
}

}  // namespace

const char* FilterName(std::uint8_t type) {
  switch (type) {
    case kFilterDropShadow: return "DropShadow";
    case kFilterBlur: return "Blur";
    case kFilterGlow: return "Glow";
    case kFilterBevel: return "Bevel";
    case kFilterGradientGlow: return "GradientGlow";
    case kFilterConvolution: return "Convolution";
    case kFilterColorMatrix: return "ColorMatrix";
    case kFilterGradientBevel: return "GradientBevel";
    default: return "";
  }
}

// --- drop shadow

void TSWFDropShadowFilter::Assign(const TSWFFilter& source) { *this = FilterSource<TSWFDropShadowFilter>(source); }

void TSWFDropShadowFilter::ReadFromStream(TBitsEngine& be) {
  ReadColor(be, Color);
  BlurX = ReadFixed16(be);
  BlurY = ReadFixed16(be);
  Angle = ReadFixed16(be);
  Distance = ReadFixed16(be);
  Strength = ReadFixed8(be);
  std::uint8_t flags = be.ReadByte();
  InnerShadow = flags & 0x80;
  Knockout = flags & 0x40;
  CompositeSource = flags & 0x20;
  Passes = flags & 0x1F;
}

void TSWFDropShadowFilter::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FilterType);
  be.WriteRGBA(Color.RGBA());
  WriteFixed16(be, BlurX);
  WriteFixed16(be, BlurY);
  WriteFixed16(be, Angle);
  WriteFixed16(be, Distance);
  WriteFixed8(be, Strength);
  be.WriteByte(static_cast<std::uint8_t>((InnerShadow ? 0x80 : 0) | (Knockout ? 0x40 : 0) |
                                         (CompositeSource ? 0x20 : 0) | (Passes & 0x1F)));
}

// --- blur

void TSWFBlurFilter::Assign(const TSWFFilter& source) { *this = FilterSource<TSWFBlurFilter>(source); }

void TSWFBlurFilter::ReadFromStream(TBitsEngine& be) {
  BlurX = ReadFixed16(be);
  BlurY = ReadFixed16(be);
  Passes = be.ReadByte() >> 3;
}

void TSWFBlurFilter::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FilterType);
  WriteFixed16(be, BlurX);
  WriteFixed16(be, BlurY);
  be.WriteByte(static_cast<std::uint8_t>((Passes & 0x1F) << 3));
}

// --- glow

void TSWFGlowFilter::Assign(const TSWFFilter& source) { *this = FilterSource<TSWFGlowFilter>(source); }

void TSWFGlowFilter::ReadFromStream(TBitsEngine& be) {
  ReadColor(be, Color);
  BlurX = ReadFixed16(be);
  BlurY = ReadFixed16(be);
  Strength = ReadFixed8(be);
  std::uint8_t flags = be.ReadByte();
  InnerGlow = flags & 0x80;
  Knockout = flags & 0x40;
  CompositeSource = flags & 0x20;
  Passes = flags & 0x1F;
}

void TSWFGlowFilter::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FilterType);
  be.WriteRGBA(Color.RGBA());
  WriteFixed16(be, BlurX);
  WriteFixed16(be, BlurY);
  WriteFixed8(be, Strength);
  be.WriteByte(static_cast<std::uint8_t>((InnerGlow ? 0x80 : 0) | (Knockout ? 0x40 : 0) |
                                         (CompositeSource ? 0x20 : 0) | (Passes & 0x1F)));
}

// --- bevel

void TSWFBevelFilter::Assign(const TSWFFilter& source) { *this = FilterSource<TSWFBevelFilter>(source); }

void TSWFBevelFilter::ReadFromStream(TBitsEngine& be) {
  ReadColor(be, ShadowColor);
  ReadColor(be, HighlightColor);
  BlurX = ReadFixed16(be);
  BlurY = ReadFixed16(be);
  Angle = ReadFixed16(be);
  Distance = ReadFixed16(be);
  Strength = ReadFixed8(be);
  std::uint8_t flags = be.ReadByte();
  InnerShadow = flags & 0x80;
  Knockout = flags & 0x40;
  CompositeSource = flags & 0x20;
  OnTop = flags & 0x10;
  Passes = flags & 0x0F;
}

void TSWFBevelFilter::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FilterType);
  be.WriteRGBA(ShadowColor.RGBA());
  be.WriteRGBA(HighlightColor.RGBA());
  WriteFixed16(be, BlurX);
  WriteFixed16(be, BlurY);
  WriteFixed16(be, Angle);
  WriteFixed16(be, Distance);
  WriteFixed8(be, Strength);
  be.WriteByte(static_cast<std::uint8_t>((InnerShadow ? 0x80 : 0) | (Knockout ? 0x40 : 0) |
                                         (CompositeSource ? 0x20 : 0) | (OnTop ? 0x10 : 0) | (Passes & 0x0F)));
}

// --- gradient glow and gradient bevel

TSWFGradientGlowFilter::TSWFGradientGlowFilter() : TSWFGradientGlowFilter(kFilterGradientGlow) {}

TSWFGradientGlowFilter::TSWFGradientGlowFilter(std::uint8_t type) : TSWFFilter(type) {
  Gradient.resize(2);
  Gradient[0].Ratio = 0;
  Gradient[1].Ratio = 255;
}

void TSWFGradientGlowFilter::Assign(const TSWFFilter& source) {
  const auto& src = FilterSource<TSWFGradientGlowFilter>(source);
  Gradient = src.Gradient;
  BlurX = src.BlurX;
  BlurY = src.BlurY;
  Angle = src.Angle;
  Distance = src.Distance;
  Strength = src.Strength;
  InnerShadow = src.InnerShadow;
  Knockout = src.Knockout;
  CompositeSource = src.CompositeSource;
  OnTop = src.OnTop;
  Passes = src.Passes;
}

void TSWFGradientGlowFilter::ReadFromStream(TBitsEngine& be) {
  int count = be.ReadByte();
  NeedBytes(be, static_cast<std::uint64_t>(count) * 5 + 19,
            std::string(FilterName(FilterType)) + " filter with " + std::to_string(count) + " colours");
  Gradient.assign(count, {});
  for (auto& entry : Gradient) ReadColor(be, entry.Color);
  for (auto& entry : Gradient) entry.Ratio = be.ReadByte();
  BlurX = ReadFixed16(be);
  BlurY = ReadFixed16(be);
  Angle = ReadFixed16(be);
  Distance = ReadFixed16(be);
  Strength = ReadFixed8(be);
  std::uint8_t flags = be.ReadByte();
  InnerShadow = flags & 0x80;
  Knockout = flags & 0x40;
  CompositeSource = flags & 0x20;
  OnTop = flags & 0x10;
  Passes = flags & 0x0F;
}

void TSWFGradientGlowFilter::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FilterType);
  std::size_t count = std::min<std::size_t>(Gradient.size(), kMaxColors);
  be.WriteByte(static_cast<std::uint8_t>(count));
  for (std::size_t i = 0; i < count; ++i) be.WriteRGBA(Gradient[i].Color.RGBA());
  for (std::size_t i = 0; i < count; ++i) be.WriteByte(Gradient[i].Ratio);
  WriteFixed16(be, BlurX);
  WriteFixed16(be, BlurY);
  WriteFixed16(be, Angle);
  WriteFixed16(be, Distance);
  WriteFixed8(be, Strength);
  be.WriteByte(static_cast<std::uint8_t>((InnerShadow ? 0x80 : 0) | (Knockout ? 0x40 : 0) |
                                         (CompositeSource ? 0x20 : 0) | (OnTop ? 0x10 : 0) | (Passes & 0x0F)));
}

// --- convolution

void TSWFConvolutionFilter::Assign(const TSWFFilter& source) { *this = FilterSource<TSWFConvolutionFilter>(source); }

void TSWFConvolutionFilter::ReadFromStream(TBitsEngine& be) {
  MatrixX = be.ReadByte();
  MatrixY = be.ReadByte();
  Divisor = be.ReadSingle();
  Bias = be.ReadSingle();
  std::size_t count = static_cast<std::size_t>(MatrixX) * MatrixY;
  NeedBytes(be, count * 4 + 5,
            "Convolution filter of " + std::to_string(MatrixX) + " x " + std::to_string(MatrixY) + " values");
  Matrix.resize(count);
  for (float& value : Matrix) value = be.ReadSingle();
  ReadColor(be, DefaultColor);
  std::uint8_t flags = be.ReadByte();
  Clamp = flags & 0x02;
  PreserveAlpha = flags & 0x01;
}

void TSWFConvolutionFilter::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FilterType);
  be.WriteByte(MatrixX);
  be.WriteByte(MatrixY);
  be.WriteSingle(Divisor);
  be.WriteSingle(Bias);
  std::size_t count = static_cast<std::size_t>(MatrixX) * MatrixY;
  for (std::size_t i = 0; i < count; ++i) be.WriteSingle(i < Matrix.size() ? Matrix[i] : 0.0f);
  be.WriteRGBA(DefaultColor.RGBA());
  be.WriteByte(static_cast<std::uint8_t>((Clamp ? 0x02 : 0) | (PreserveAlpha ? 0x01 : 0)));
}

// --- colour matrix

void TSWFColorMatrixFilter::Assign(const TSWFFilter& source) { Matrix = FilterSource<TSWFColorMatrixFilter>(source).Matrix; }

void TSWFColorMatrixFilter::ResetValues() {
  Matrix.fill(0.0f);
  Matrix[0] = Matrix[6] = Matrix[12] = Matrix[18] = 1.0f;
}

void TSWFColorMatrixFilter::ReadFromStream(TBitsEngine& be) {
  for (float& value : Matrix) value = be.ReadSingle();
}

void TSWFColorMatrixFilter::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FilterType);
  for (float value : Matrix) be.WriteSingle(value);
}

// --- factory and list

std::unique_ptr<TSWFFilter> CreateFilter(std::uint8_t type) {
  switch (type) {
    case kFilterDropShadow: return std::make_unique<TSWFDropShadowFilter>();
    case kFilterBlur: return std::make_unique<TSWFBlurFilter>();
    case kFilterGlow: return std::make_unique<TSWFGlowFilter>();
    case kFilterBevel: return std::make_unique<TSWFBevelFilter>();
    case kFilterGradientGlow: return std::make_unique<TSWFGradientGlowFilter>();
    case kFilterConvolution: return std::make_unique<TSWFConvolutionFilter>();
    case kFilterColorMatrix: return std::make_unique<TSWFColorMatrixFilter>();
    case kFilterGradientBevel: return std::make_unique<TSWFGradientBevelFilter>();
    default: return nullptr;
  }
}

void TSWFFilterList::Assign(const TSWFFilterList& source) {
  Filters.clear();
  for (const auto& filter : source.Filters) {
    auto copy = CreateFilter(filter->FilterType);
    copy->Assign(*filter);
    Filters.push_back(std::move(copy));
  }
}

TSWFFilter* TSWFFilterList::AddFilter(std::uint8_t type) {
  auto filter = CreateFilter(type);
  if (!filter) return nullptr;
  Filters.push_back(std::move(filter));
  return Filters.back().get();
}

void TSWFFilterList::ReadFromStream(TBitsEngine& be) {
  Filters.clear();
  int count = be.ReadByte();
  for (int i = 0; i < count; ++i) {
    std::uint64_t at = be.Stream().Position();
    if (be.Stream().Remaining() == 0)
      throw Error("filter list of " + std::to_string(count) + " runs past the end of the tag after " +
                  std::to_string(i));
    std::uint8_t type = be.ReadByte();
    auto filter = CreateFilter(type);
    if (!filter) throw Error("unknown filter type " + std::to_string(type) + " at offset " + std::to_string(at));
    NeedBytes(be, FixedBodySize(type), std::string(FilterName(type)) + " filter at offset " + std::to_string(at));
    filter->ReadFromStream(be);
    Filters.push_back(std::move(filter));
  }
}

void TSWFFilterList::WriteToStream(TBitsEngine& be) {
  std::size_t count = std::min<std::size_t>(Filters.size(), 255);
  be.WriteByte(static_cast<std::uint8_t>(count));
  for (std::size_t i = 0; i < count; ++i) Filters[i]->WriteToStream(be);
}

}  // namespace yel::swf
