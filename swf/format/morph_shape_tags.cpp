// Morph fill and line styles and the DefineMorphShape bodies: id, both
// bounds, (DefineMorphShape2: edge bounds and stroke flags), the offset of
// the end edges, the style arrays and the two record lists.
#include "swf/format/morph_shape_tags.h"

#include <algorithm>

#include "base/error.h"

namespace yel::swf {
namespace {

template <class T>
const T& MorphSource(const TSWFMorphFillStyle& source) {
  const T* typed = dynamic_cast<const T*>(&source);
  if (!typed) throw std::logic_error("morph fill style Assign from another class");
  return *typed;
}

void WriteCount(TBitsEngine& be, std::size_t count, const char* what) {
  if (count > 0xFFFF) throw Error("a morph shape holds " + std::to_string(count) + " " + what + "; at most 65535 fit");
  if (count < 0xFF) {
    be.WriteByte(static_cast<std::uint8_t>(count));
  } else {
    be.WriteByte(0xFF);
    be.WriteWord(static_cast<std::uint16_t>(count));
  }
}

std::size_t ReadCount(TBitsEngine& be) {
  std::size_t count = be.ReadByte();
  if (count == 0xFF) count = be.ReadWord();
  return count;
}

// The end shape's style changes only move the pen: players pair each of its
// moves with a move of the start shape, edge with edge, and know no other
// style change there. A style change that does not move is left out of the
// end shape (it changes nothing there), and the style selections of a move
// are dropped.
void MakeEndMoves(TSWFShapeRecords& records) {
  std::erase_if(records, [](const std::unique_ptr<TSWFShapeRecord>& record) {
    if (record->RecordKind != TSWFShapeRecordKind::StyleChange) return false;
    auto& change = static_cast<TSWFStyleChangeRecord&>(*record);
    change.StateFillStyle0 = change.StateFillStyle1 = change.StateLineStyle = change.StateNewStyles = false;
    return !change.StateMoveTo;
  });
}

}  // namespace

// --- fill styles

void TSWFMorphFillStyle::Assign(const TSWFMorphFillStyle& source) { FillType = source.FillType; }

std::unique_ptr<TSWFMorphFillStyle> CreateMorphFillStyle(std::uint8_t type) {
  std::unique_ptr<TSWFMorphFillStyle> fill;
  switch (type) {
    case kFillSolid: fill = std::make_unique<TSWFMorphColorFill>(); break;
    case kFillLinearGradient: case kFillRadialGradient: fill = std::make_unique<TSWFMorphGradientFill>(); break;
    case kFillFocalGradient: fill = std::make_unique<TSWFMorphFocalGradientFill>(); break;
    case kFillTileBitmap: case kFillClipBitmap: case kFillNonSmoothTileBitmap: case kFillNonSmoothClipBitmap:
      fill = std::make_unique<TSWFMorphImageFill>();
      break;
    default: return nullptr;
  }
  fill->FillType = type;
  return fill;
}

std::unique_ptr<TSWFMorphFillStyle> CloneMorphFillStyle(const TSWFMorphFillStyle& source) {
  auto copy = CreateMorphFillStyle(source.FillType);
  if (!copy) throw std::logic_error("morph fill style of unknown type " + std::to_string(source.FillType));
  copy->Assign(source);
  return copy;
}

std::unique_ptr<TSWFMorphFillStyle> ReadMorphFillStyle(TBitsEngine& be) {
  std::uint64_t at = be.Stream().Position();
  NeedBytes(be, 1, "a morph fill style");
  std::uint8_t type = be.ReadByte();
  auto fill = CreateMorphFillStyle(type);
  if (!fill) throw Error("morph fill style at offset " + std::to_string(at) + " has the unknown type " + std::to_string(type));
  fill->ReadFromStream(be);
  return fill;
}

void TSWFMorphColorFill::Assign(const TSWFMorphFillStyle& source) {
  TSWFMorphFillStyle::Assign(source);
  const auto& src = MorphSource<TSWFMorphColorFill>(source);
  StartColor = src.StartColor;
  EndColor = src.EndColor;
}

void TSWFMorphColorFill::ReadFromStream(TBitsEngine& be) {
  NeedBytes(be, 8, "a morph colour fill");
  StartColor = be.ReadRGBA();
  EndColor = be.ReadRGBA();
}

void TSWFMorphColorFill::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FillType);
  be.WriteRGBA(StartColor);
  be.WriteRGBA(EndColor);
}

void TSWFMorphGradientFill::Assign(const TSWFMorphFillStyle& source) {
  TSWFMorphFillStyle::Assign(source);
  const auto& src = MorphSource<TSWFMorphGradientFill>(source);
  StartMatrix.Assign(src.StartMatrix);
  EndMatrix.Assign(src.EndMatrix);
  SpreadMode = src.SpreadMode;
  InterpolationMode = src.InterpolationMode;
  Gradient = src.Gradient;
}

void TSWFMorphGradientFill::ReadFromStream(TBitsEngine& be) {
  StartMatrix.SetRec(be.ReadMatrix());
  EndMatrix.SetRec(be.ReadMatrix());
  NeedBytes(be, 1, "a morph gradient");
  std::uint8_t head = be.ReadByte();
  SpreadMode = head >> 6;
  InterpolationMode = (head >> 4) & 3;
  Gradient.assign(head & 0x0F, {});
  NeedBytes(be, Gradient.size() * 10, "a morph gradient");
  for (auto& entry : Gradient) {
    entry.StartRatio = be.ReadByte();
    entry.StartColor = be.ReadRGBA();
    entry.EndRatio = be.ReadByte();
    entry.EndColor = be.ReadRGBA();
  }
}

void TSWFMorphGradientFill::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FillType);
  be.WriteMatrix(StartMatrix.Rec());
  be.WriteMatrix(EndMatrix.Rec());
  int count = std::min<int>(static_cast<int>(Gradient.size()), kMaxEntries);
  be.WriteByte(static_cast<std::uint8_t>((SpreadMode & 3) << 6 | (InterpolationMode & 3) << 4 | count));
  for (int i = 0; i < count; ++i) {
    be.WriteByte(Gradient[i].StartRatio);
    be.WriteRGBA(Gradient[i].StartColor);
    be.WriteByte(Gradient[i].EndRatio);
    be.WriteRGBA(Gradient[i].EndColor);
  }
}

void TSWFMorphFocalGradientFill::Assign(const TSWFMorphFillStyle& source) {
  TSWFMorphGradientFill::Assign(source);
  const auto& src = MorphSource<TSWFMorphFocalGradientFill>(source);
  StartFocalPoint = src.StartFocalPoint;
  EndFocalPoint = src.EndFocalPoint;
}

void TSWFMorphFocalGradientFill::ReadFromStream(TBitsEngine& be) {
  TSWFMorphGradientFill::ReadFromStream(be);
  NeedBytes(be, 4, "a morph focal gradient");
  StartFocalPoint = static_cast<std::int16_t>(be.ReadWord());
  EndFocalPoint = static_cast<std::int16_t>(be.ReadWord());
}

void TSWFMorphFocalGradientFill::WriteToStream(TBitsEngine& be) {
  TSWFMorphGradientFill::WriteToStream(be);
  be.WriteWord(static_cast<std::uint16_t>(StartFocalPoint));
  be.WriteWord(static_cast<std::uint16_t>(EndFocalPoint));
}

void TSWFMorphImageFill::Assign(const TSWFMorphFillStyle& source) {
  TSWFMorphFillStyle::Assign(source);
  const auto& src = MorphSource<TSWFMorphImageFill>(source);
  BitmapId = src.BitmapId;
  StartMatrix.Assign(src.StartMatrix);
  EndMatrix.Assign(src.EndMatrix);
}

void TSWFMorphImageFill::ReadFromStream(TBitsEngine& be) {
  NeedBytes(be, 2, "a morph bitmap fill");
  BitmapId = be.ReadWord();
  StartMatrix.SetRec(be.ReadMatrix());
  EndMatrix.SetRec(be.ReadMatrix());
}

void TSWFMorphImageFill::WriteToStream(TBitsEngine& be) {
  be.WriteByte(FillType);
  be.WriteWord(BitmapId);
  be.WriteMatrix(StartMatrix.Rec());
  be.WriteMatrix(EndMatrix.Rec());
}

// --- line styles

void TSWFMorphLineStyle::Assign(const TSWFMorphLineStyle& source) {
  StartWidth = source.StartWidth;
  EndWidth = source.EndWidth;
  StartColor = source.StartColor;
  EndColor = source.EndColor;
}

void TSWFMorphLineStyle::ReadFromStream(TBitsEngine& be) {
  NeedBytes(be, 12, "a morph line style");
  StartWidth = be.ReadWord();
  EndWidth = be.ReadWord();
  StartColor = be.ReadRGBA();
  EndColor = be.ReadRGBA();
}

void TSWFMorphLineStyle::WriteToStream(TBitsEngine& be) {
  be.WriteWord(StartWidth);
  be.WriteWord(EndWidth);
  be.WriteRGBA(StartColor);
  be.WriteRGBA(EndColor);
}

void TSWFMorphLineStyle2::Assign(const TSWFMorphLineStyle& source) {
  TSWFMorphLineStyle::Assign(source);
  const auto* src = dynamic_cast<const TSWFMorphLineStyle2*>(&source);
  if (!src || src == this) return;
  static_cast<TSWFLineStyle2Flags&>(*this) = *src;
  fill_ = src->fill_ ? CloneMorphFillStyle(*src->fill_) : nullptr;
}

void TSWFMorphLineStyle2::SetFillStyle(std::unique_ptr<TSWFMorphFillStyle> fill) {
  fill_ = std::move(fill);
  HasFillFlag = fill_ != nullptr;
}

void TSWFMorphLineStyle2::ReadFromStream(TBitsEngine& be) {
  NeedBytes(be, 6, "a morph line style");
  StartWidth = be.ReadWord();
  EndWidth = be.ReadWord();
  // A cut-off miter limit reads as 0; the fill or colours after it are
  // checked and report the short tag.
  ReadFlags(be);
  if (HasFillFlag) {
    fill_ = ReadMorphFillStyle(be);
  } else {
    fill_.reset();
    NeedBytes(be, 8, "a morph line style");
    StartColor = be.ReadRGBA();
    EndColor = be.ReadRGBA();
  }
}

void TSWFMorphLineStyle2::WriteToStream(TBitsEngine& be) {
  const bool fill = HasFillFlag && fill_;
  be.WriteWord(StartWidth);
  be.WriteWord(EndWidth);
  WriteFlags(be, fill);
  if (fill) {
    fill_->WriteToStream(be);
  } else {
    be.WriteRGBA(StartColor);
    be.WriteRGBA(EndColor);
  }
}

// --- TSWFDefineMorphShape

void TSWFDefineMorphShape::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineMorphShape>(source);
  if (&src == this) return;
  CharacterId = src.CharacterId;
  StartBounds.Assign(src.StartBounds);
  EndBounds.Assign(src.EndBounds);
  MorphFillStyles.clear();
  for (const auto& fill : src.MorphFillStyles) MorphFillStyles.push_back(CloneMorphFillStyle(*fill));
  MorphLineStyles.clear();
  for (const auto& line : src.MorphLineStyles) {
    std::unique_ptr<TSWFMorphLineStyle> copy;
    if (dynamic_cast<const TSWFMorphLineStyle2*>(line.get()))
      copy = std::make_unique<TSWFMorphLineStyle2>();
    else
      copy = std::make_unique<TSWFMorphLineStyle>();
    copy->Assign(*line);
    MorphLineStyles.push_back(std::move(copy));
  }
  CopyShapeRecords(src.StartEdges, StartEdges);
  CopyShapeRecords(src.EndEdges, EndEdges);
}

void TSWFDefineMorphShape::WriteTagBody(TBitsEngine& be) {
  const bool second = SecondForm();
  TStream& stream = be.Stream();
  be.WriteWord(CharacterId);
  be.WriteRect(StartBounds.Rect());
  be.WriteRect(EndBounds.Rect());
  WriteAddonToStream(be);
  std::uint64_t offsetAt = stream.Position();
  be.WriteDWord(0);
  WriteCount(be, MorphFillStyles.size(), "fill styles");
  for (auto& fill : MorphFillStyles) fill->WriteToStream(be);
  WriteCount(be, MorphLineStyles.size(), "line styles");
  for (auto& line : MorphLineStyles) {
    // Each form writes the line styles of its own kind.
    if (second && !dynamic_cast<TSWFMorphLineStyle2*>(line.get())) {
      TSWFMorphLineStyle2 converted;
      converted.Assign(*line);
      converted.WriteToStream(be);
    } else if (!second && dynamic_cast<TSWFMorphLineStyle2*>(line.get())) {
      TSWFMorphLineStyle plain;
      plain.Assign(*line);
      plain.WriteToStream(be);
    } else {
      line->WriteToStream(be);
    }
  }
  int fillBits = GetBitsCount(static_cast<std::uint32_t>(MorphFillStyles.size()));
  int lineBits = GetBitsCount(static_cast<std::uint32_t>(MorphLineStyles.size()));
  be.WriteBits(static_cast<std::uint32_t>(fillBits), 4);
  be.WriteBits(static_cast<std::uint32_t>(lineBits), 4);
  WriteShapeRecords(be, StartEdges, fillBits, lineBits, true, second);
  be.FlushLastByte(true);
  std::uint64_t endEdgesAt = stream.Position();
  if (endEdgesAt - offsetAt - 4 > 0xFFFFFFFFu) throw Error("morph shape start edges larger than 4 GB");
  stream.Seek(offsetAt);
  be.WriteDWord(static_cast<std::uint32_t>(endEdgesAt - offsetAt - 4));
  stream.Seek(endEdgesAt);
  MakeEndMoves(EndEdges);
  int endFillBits = second ? fillBits : 0, endLineBits = second ? lineBits : 0;
  be.WriteBits(static_cast<std::uint32_t>(endFillBits), 4);
  be.WriteBits(static_cast<std::uint32_t>(endLineBits), 4);
  WriteShapeRecords(be, EndEdges, endFillBits, endLineBits, true, second);
  be.FlushLastByte(true);
}

void TSWFDefineMorphShape::ReadFromStream(TBitsEngine& be) {
  const bool second = SecondForm();
  std::uint64_t start = be.Stream().Position();
  CharacterId = be.ReadWord();
  StartBounds.SetRect(be.ReadRect());
  EndBounds.SetRect(be.ReadRect());
  ReadAddonFromStream(be);
  NeedBytes(be, 4, "the morph shape header");
  std::uint32_t offset = be.ReadDWord();
  std::uint64_t endEdgesAt = be.Stream().Position() + offset;
  MorphFillStyles.clear();
  MorphLineStyles.clear();
  NeedBytes(be, 1, "the morph fill styles");
  std::size_t fills = ReadCount(be);
  // Each fill takes at least 9 bytes: a count the body cannot hold is damage.
  NeedBytes(be, fills * 9, "the morph fill list of " + std::to_string(fills) + " styles");
  for (std::size_t i = 0; i < fills; ++i) MorphFillStyles.push_back(ReadMorphFillStyle(be));
  NeedBytes(be, 1, "the morph line styles");
  std::size_t lines = ReadCount(be);
  NeedBytes(be, lines * (second ? 6 : 12), "the morph line list of " + std::to_string(lines) + " styles");
  for (std::size_t i = 0; i < lines; ++i) {
    std::unique_ptr<TSWFMorphLineStyle> line;
    if (second)
      line = std::make_unique<TSWFMorphLineStyle2>();
    else
      line = std::make_unique<TSWFMorphLineStyle>();
    line->ReadFromStream(be);
    MorphLineStyles.push_back(std::move(line));
  }
  StartEdges.clear();
  EndEdges.clear();
  NeedBytes(be, 1, "the morph start edges");
  std::uint8_t widths = be.ReadByte();
  ReadShapeRecords(be, StartEdges, widths >> 4, widths & 0x0F, true, second);
  // The end edges start where the offset says; with an offset of 0 or one
  // past the body they follow the start edges.
  if (offset != 0 && endEdgesAt <= start + BodySize)
    be.Stream().Seek(endEdgesAt);
  if (be.Stream().Remaining() > 0) {
    widths = be.ReadByte();
    ReadShapeRecords(be, EndEdges, widths >> 4, widths & 0x0F, true, second);
  }
  be.Stream().Seek(start + BodySize);
}

std::string TSWFDefineMorphShape::Summary() const {
  return "morph shape " + std::to_string(CharacterId) + ", " + std::to_string(MorphFillStyles.size()) + " fills, " +
         std::to_string(MorphLineStyles.size()) + " lines, " + std::to_string(StartEdges.size()) + " start and " +
         std::to_string(EndEdges.size()) + " end records";
}

// --- TSWFDefineMorphShape2

void TSWFDefineMorphShape2::Assign(const TBasedSWFObject& source) {
  TSWFDefineMorphShape::Assign(source);
  if (const auto* src = dynamic_cast<const TSWFDefineMorphShape2*>(&source)) {
    StartEdgeBounds.Assign(src->StartEdgeBounds);
    EndEdgeBounds.Assign(src->EndEdgeBounds);
    UsesNonScalingStrokes = src->UsesNonScalingStrokes;
    UsesScalingStrokes = src->UsesScalingStrokes;
  }
}

void TSWFDefineMorphShape2::ReadAddonFromStream(TBitsEngine& be) {
  StartEdgeBounds.SetRect(be.ReadRect());
  EndEdgeBounds.SetRect(be.ReadRect());
  NeedBytes(be, 1, "the morph shape flags");
  std::uint8_t flags = be.ReadByte();
  UsesNonScalingStrokes = flags & 0x02;
  UsesScalingStrokes = flags & 0x01;
}

void TSWFDefineMorphShape2::WriteAddonToStream(TBitsEngine& be) {
  UsesNonScalingStrokes = UsesScalingStrokes = false;
  for (const auto& line : MorphLineStyles) {
    const auto* second = dynamic_cast<const TSWFMorphLineStyle2*>(line.get());
    if (second && (second->NoHScaleFlag || second->NoVScaleFlag))
      UsesNonScalingStrokes = true;
    else
      UsesScalingStrokes = true;
  }
  be.WriteSWFRect(StartEdgeBounds.SWFRect());
  be.WriteSWFRect(EndEdgeBounds.SWFRect());
  be.WriteByte(static_cast<std::uint8_t>((UsesNonScalingStrokes ? 0x02 : 0) | (UsesScalingStrokes ? 0x01 : 0)));
}

void ForEachBitmapId(TSWFDefineMorphShape& shape, const std::function<void(std::uint16_t&)>& fn) {
  auto visit = [&](TSWFMorphFillStyle* fill) {
    if (auto* image = dynamic_cast<TSWFMorphImageFill*>(fill)) fn(image->BitmapId);
  };
  for (auto& fill : shape.MorphFillStyles) visit(fill.get());
  for (auto& line : shape.MorphLineStyles)
    if (auto* second = dynamic_cast<TSWFMorphLineStyle2*>(line.get())) visit(second->FillStyle());
}

}  // namespace yel::swf
