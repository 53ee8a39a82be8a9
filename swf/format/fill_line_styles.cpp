// Encodings of fill styles, gradients, line styles and the style arrays.
#include "swf/format/fill_line_styles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/error.h"

namespace yel::swf {
namespace {

void WriteColor(TBitsEngine& be, const TSWFRGBA& color, bool hasAlpha) {
  if (hasAlpha)
    be.WriteRGBA(color.RGBA());
  else
    be.WriteRGB(color.RGB());
}

void ReadColor(TBitsEngine& be, TSWFRGBA& color, bool hasAlpha) {
  if (hasAlpha) {
    color.SetRGBA(be.ReadRGBA());
  } else {
    color.SetHasAlpha(false);
    TSWFRGBRec rgb = be.ReadRGB();
    color.SetRGB(rgb.R | rgb.G << 8 | rgb.B << 16);
  }
}

void WriteCount(TBitsEngine& be, std::size_t count, bool extended) {
  std::size_t most = extended ? 0xFFFF : 0xFF;
  if (count > most)
    throw Error("a style list holds " + std::to_string(count) + " styles; at most " + std::to_string(most) +
                (extended ? " fit" : " fit in a DefineShape"));
  if (count < 0xFF || !extended) {
    be.WriteByte(static_cast<std::uint8_t>(count));
  } else {
    be.WriteByte(0xFF);
    be.WriteWord(static_cast<std::uint16_t>(count));
  }
}

std::size_t ReadCount(TBitsEngine& be, bool extended) {
  std::size_t count = be.ReadByte();
  if (count == 0xFF && extended) count = be.ReadWord();
  return count;
}

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
  return text;
}

}  // namespace

const char* FillTypeName(std::uint8_t type) {
  switch (type) {
    case kFillSolid: return "Solid";
    case kFillLinearGradient: return "LinearGradient";
    case kFillRadialGradient: return "RadialGradient";
    case kFillFocalGradient: return "FocalGradient";
    case kFillTileBitmap: return "TileBitmap";
    case kFillClipBitmap: return "ClipBitmap";
    case kFillNonSmoothTileBitmap: return "NonSmoothTileBitmap";
    case kFillNonSmoothClipBitmap: return "NonSmoothClipBitmap";
    default: return "";
  }
}

std::unique_ptr<TSWFFillStyle> CreateFillStyle(std::uint8_t type) {
  std::unique_ptr<TSWFFillStyle> fill;
  switch (type) {
    case kFillSolid:
      fill = std::make_unique<TSWFColorFill>();
      break;
    case kFillLinearGradient:
    case kFillRadialGradient:
      fill = std::make_unique<TSWFGradientFill>();
      break;
    case kFillFocalGradient:
      fill = std::make_unique<TSWFFocalGradientFill>();
      break;
    case kFillTileBitmap:
    case kFillClipBitmap:
    case kFillNonSmoothTileBitmap:
    case kFillNonSmoothClipBitmap:
      fill = std::make_unique<TSWFImageFill>();
      break;
    default:
      return nullptr;
  }
  fill->FillType = type;
  return fill;
}

std::unique_ptr<TSWFFillStyle> CloneFillStyle(const TSWFFillStyle& source) {
  auto copy = CreateFillStyle(source.FillType);
  if (!copy) throw std::logic_error("fill style of unknown type " + Hex(source.FillType));
  copy->Assign(source);
  return copy;
}

// --- TSWFFillStyle and the fill classes

void TSWFFillStyle::Assign(const TSWFFillStyle& source) {
  HasAlpha = source.HasAlpha;
  FillType = source.FillType;
}

template <class T>
static const T& FillSource(const TSWFFillStyle& source) {
  const T* typed = dynamic_cast<const T*>(&source);
  if (!typed) throw std::logic_error("fill style Assign from another class");
  return *typed;
}

void TSWFColorFill::Assign(const TSWFFillStyle& source) {
  TSWFFillStyle::Assign(source);
  Color.Assign(FillSource<TSWFColorFill>(source).Color);
}

void TSWFColorFill::ReadFromStream(TBitsEngine& be) { ReadColor(be, Color, HasAlpha); }

void TSWFColorFill::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FillType);
  WriteColor(be, Color, HasAlpha);
}

void TSWFBaseGradientFill::Assign(const TSWFFillStyle& source) {
  TSWFFillStyle::Assign(source);
  const auto& src = FillSource<TSWFBaseGradientFill>(source);
  Matrix.Assign(src.Matrix);
  SpreadMode = src.SpreadMode;
  InterpolationMode = src.InterpolationMode;
  Gradient = src.Gradient;
}

TSWFGradientRec& TSWFBaseGradientFill::GradientRecord(int index) {
  if (index < 0 || index >= kMaxEntries) throw std::out_of_range("gradient entry " + std::to_string(index));
  if (static_cast<std::size_t>(index) >= Gradient.size()) Gradient.resize(index + 1);
  return Gradient[index];
}

void TSWFBaseGradientFill::ReadGradient(TBitsEngine& be) {
  std::uint8_t head = be.ReadByte();
  SpreadMode = head >> 6;
  InterpolationMode = (head >> 4) & 3;
  int count = head & 0x0F;
  Gradient.assign(count, {});
  for (auto& entry : Gradient) {
    entry.Ratio = be.ReadByte();
    ReadColor(be, entry.Color, HasAlpha);
  }
}

void TSWFBaseGradientFill::WriteGradient(TBitsEngine& be) {
  int count = std::min(Count(), kMaxEntries);
  be.WriteByte(static_cast<std::uint8_t>((SpreadMode & 3) << 6 | (InterpolationMode & 3) << 4 | count));
  for (int i = 0; i < count; ++i) {
    be.WriteByte(Gradient[i].Ratio);
    WriteColor(be, Gradient[i].Color, HasAlpha);
  }
}

void TSWFGradientFill::ReadFromStream(TBitsEngine& be) {
  Matrix.SetRec(be.ReadMatrix());
  ReadGradient(be);
}

void TSWFGradientFill::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FillType);
  be.WriteMatrix(Matrix.Rec());
  WriteGradient(be);
}

void TSWFFocalGradientFill::Assign(const TSWFFillStyle& source) {
  TSWFGradientFill::Assign(source);
  FocalPoint = FillSource<TSWFFocalGradientFill>(source).FocalPoint;
}

float TSWFFocalGradientFill::GetFocalPoint() const {
  return std::clamp(FocalPoint / 255.0f, -1.0f, 1.0f);
}

void TSWFFocalGradientFill::SetFocalPoint(float f) {
  double value = std::isfinite(f) ? std::nearbyint(f * 255.0) : 0.0;
  FocalPoint = static_cast<std::int16_t>(std::clamp(value, -255.0, 255.0));
}

void TSWFFocalGradientFill::ReadFromStream(TBitsEngine& be) {
  TSWFGradientFill::ReadFromStream(be);
  FocalPoint = static_cast<std::int16_t>(be.ReadWord());
}

void TSWFFocalGradientFill::WriteToStream(TBitsEngine& be) {
  TSWFGradientFill::WriteToStream(be);
  be.WriteWord(static_cast<std::uint16_t>(FocalPoint));
}

void TSWFImageFill::Assign(const TSWFFillStyle& source) {
  TSWFFillStyle::Assign(source);
  const auto& src = FillSource<TSWFImageFill>(source);
  BitmapId = src.BitmapId;
  Matrix.Assign(src.Matrix);
}

void TSWFImageFill::ReadFromStream(TBitsEngine& be) {
  BitmapId = be.ReadWord();
  Matrix.SetRec(be.ReadMatrix());
}

void TSWFImageFill::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FillType);
  be.WriteWord(BitmapId);
  be.WriteMatrix(Matrix.Rec());
}

std::unique_ptr<TSWFFillStyle> ReadFillStyle(TBitsEngine& be, bool hasAlpha) {
  std::uint64_t at = be.Stream().Position();
  std::uint8_t type = be.ReadByte();
  auto fill = CreateFillStyle(type);
  if (!fill) throw Error("unknown fill style type " + Hex(type) + " at offset " + std::to_string(at));
  fill->HasAlpha = hasAlpha;
  fill->ReadFromStream(be);
  return fill;
}

// --- line styles

void TSWFLineStyle::Assign(const TSWFLineStyle& source) {
  Width = source.Width;
  Color.SetHasAlpha(source.Color.HasAlpha());
  Color.Assign(source.Color);
}

void TSWFLineStyle::ReadFromStream(TBitsEngine& be) {
  Width = be.ReadWord();
  ReadColor(be, Color, Color.HasAlpha());
}

void TSWFLineStyle::WriteToStream(TBitsEngine& be) {
  be.WriteWord(Width);
  WriteColor(be, Color, Color.HasAlpha());
}

void TSWFLineStyle2Flags::ReadFlags(TBitsEngine& be) {
  StartCapStyle = static_cast<std::uint8_t>(be.ReadBits(2));
  JoinStyle = static_cast<std::uint8_t>(be.ReadBits(2));
  HasFillFlag = be.ReadBits(1);
  NoHScaleFlag = be.ReadBits(1);
  NoVScaleFlag = be.ReadBits(1);
  PixelHintingFlag = be.ReadBits(1);
  be.ReadBits(5);
  NoClose = be.ReadBits(1);
  EndCapStyle = static_cast<std::uint8_t>(be.ReadBits(2));
  be.FlushLastByte(false);
  if (JoinStyle == 2) MiterLimitFactor = Fixed8ToFloat(be.ReadWord());
}

void TSWFLineStyle2Flags::WriteFlags(TBitsEngine& be, bool hasFill) const {
  be.WriteBits(StartCapStyle, 2);
  be.WriteBits(JoinStyle, 2);
  be.WriteBit(hasFill);
  be.WriteBit(NoHScaleFlag);
  be.WriteBit(NoVScaleFlag);
  be.WriteBit(PixelHintingFlag);
  be.WriteBits(0, 5);
  be.WriteBit(NoClose);
  be.WriteBits(EndCapStyle, 2);
  be.FlushLastByte(true);
  if (JoinStyle == 2) be.WriteWord(FloatToFixed8(MiterLimitFactor));
}

void TSWFLineStyle2::Assign(const TSWFLineStyle& source) {
  TSWFLineStyle::Assign(source);
  const auto* src = dynamic_cast<const TSWFLineStyle2*>(&source);
  if (!src) {
    // A plain line style becomes a LINESTYLE2 with its width and colour.
    static_cast<TSWFLineStyle2Flags&>(*this) = {};
    fill_.reset();
    return;
  }
  static_cast<TSWFLineStyle2Flags&>(*this) = *src;
  fill_ = src->fill_ ? CloneFillStyle(*src->fill_) : nullptr;
}

TSWFFillStyle* TSWFLineStyle2::SetFillStyleType(std::uint8_t type) {
  if (!fill_ || fill_->FillType != type) {
    auto created = CreateFillStyle(type);
    if (!created) return nullptr;
    fill_ = std::move(created);
  }
  fill_->HasAlpha = true;
  fill_->FillType = type;
  return fill_.get();
}

void TSWFLineStyle2::ReadFromStream(TBitsEngine& be) {
  Width = be.ReadWord();
  ReadFlags(be);
  if (HasFillFlag) {
    fill_ = ReadFillStyle(be, true);
  } else {
    fill_.reset();
    Color.SetRGBA(be.ReadRGBA());
  }
}

void TSWFLineStyle2::WriteToStream(TBitsEngine& be) {
  be.WriteWord(Width);
  WriteFlags(be, HasFillFlag);
  if (HasFillFlag && fill_) {
    fill_->HasAlpha = true;
    fill_->WriteToStream(be);
  } else if (HasFillFlag) {
    // The flag promises a fill that is not there: a solid fill of the colour
    // keeps the bytes readable.
    TSWFColorFill fill;
    fill.HasAlpha = true;
    fill.Color.Assign(Color);
    fill.WriteToStream(be);
  } else {
    be.WriteRGBA(Color.RGBA());
  }
}

std::unique_ptr<TSWFLineStyle> CloneLineStyle(const TSWFLineStyle& source) {
  std::unique_ptr<TSWFLineStyle> copy;
  if (dynamic_cast<const TSWFLineStyle2*>(&source))
    copy = std::make_unique<TSWFLineStyle2>();
  else
    copy = std::make_unique<TSWFLineStyle>();
  copy->Assign(source);
  return copy;
}

void CopyFillStyles(const TSWFFillStyles& source, TSWFFillStyles& target) {
  target.clear();
  for (const auto& fill : source) target.push_back(CloneFillStyle(*fill));
}

void CopyLineStyles(const TSWFLineStyles& source, TSWFLineStyles& target) {
  target.clear();
  for (const auto& line : source) target.push_back(CloneLineStyle(*line));
}

// --- style arrays

void WriteFillStyles(TBitsEngine& be, TSWFFillStyles& styles, bool hasAlpha, bool extendedCounts) {
  WriteCount(be, styles.size(), extendedCounts);
  for (auto& fill : styles) {
    fill->HasAlpha = hasAlpha;
    fill->WriteToStream(be);
  }
}

void ReadFillStyles(TBitsEngine& be, TSWFFillStyles& styles, bool hasAlpha, bool extendedCounts) {
  styles.clear();
  std::size_t count = ReadCount(be, extendedCounts);
  for (std::size_t i = 0; i < count; ++i) {
    // Never trust the count beyond the bytes that are there.
    if (be.Stream().Remaining() == 0)
      throw Error("fill style list of " + std::to_string(count) + " runs past the end of the tag after " +
                  std::to_string(i));
    styles.push_back(ReadFillStyle(be, hasAlpha));
  }
}

void WriteLineStyles(TBitsEngine& be, TSWFLineStyles& styles, bool hasAlpha, bool lineStyle2,
                     bool extendedCounts) {
  WriteCount(be, styles.size(), extendedCounts);
  for (auto& line : styles) {
    auto* second = dynamic_cast<TSWFLineStyle2*>(line.get());
    if (lineStyle2 && !second) {
      TSWFLineStyle2 converted;
      converted.Assign(*line);
      converted.WriteToStream(be);
    } else if (lineStyle2) {
      second->WriteToStream(be);
    } else {
      // Only width and colour exist outside DefineShape4.
      line->Color.SetHasAlpha(hasAlpha);
      line->TSWFLineStyle::WriteToStream(be);
    }
  }
}

void ReadLineStyles(TBitsEngine& be, TSWFLineStyles& styles, bool hasAlpha, bool lineStyle2,
                    bool extendedCounts) {
  styles.clear();
  std::size_t count = ReadCount(be, extendedCounts);
  for (std::size_t i = 0; i < count; ++i) {
    if (be.Stream().Remaining() == 0)
      throw Error("line style list of " + std::to_string(count) + " runs past the end of the tag after " +
                  std::to_string(i));
    std::unique_ptr<TSWFLineStyle> line;
    if (lineStyle2) {
      line = std::make_unique<TSWFLineStyle2>();
    } else {
      line = std::make_unique<TSWFLineStyle>();
      line->Color.SetHasAlpha(hasAlpha);
    }
    line->ReadFromStream(be);
    styles.push_back(std::move(line));
  }
}

}  // namespace yel::swf
