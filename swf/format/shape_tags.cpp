// DefineShape bodies: id, bounds, (DefineShape4: edge bounds and stroke
// flags), style arrays, index widths and the records.
#include "swf/format/shape_tags.h"

namespace yel::swf {

void TSWFDefineShape::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineShape>(source);
  ShapeId = src.ShapeId;
  ShapeBounds.Assign(src.ShapeBounds);
  CopyFillStyles(src.FillStyles, FillStyles);
  CopyLineStyles(src.LineStyles, LineStyles);
  CopyShapeRecords(src.Edges, Edges);
}

void TSWFDefineShape::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ShapeId);
  be.WriteRect(ShapeBounds.Rect());
  WriteAddonToStream(be);
  // DefineShape readers know no extended style count.
  const bool extended = TagID != tag::DefineShape;
  WriteFillStyles(be, FillStyles, HasAlpha, extended);
  WriteLineStyles(be, LineStyles, HasAlpha, UsesLineStyle2(), extended);
  int fillBits = GetBitsCount(static_cast<std::uint32_t>(FillStyles.size()));
  int lineBits = GetBitsCount(static_cast<std::uint32_t>(LineStyles.size()));
  be.WriteBits(static_cast<std::uint32_t>(fillBits), 4);
  be.WriteBits(static_cast<std::uint32_t>(lineBits), 4);
  WriteShapeRecords(be, Edges, fillBits, lineBits, HasAlpha, UsesLineStyle2(), extended);
}

void TSWFDefineShape::ReadFromStream(TBitsEngine& be) {
  std::uint64_t start = be.Stream().Position();
  ShapeId = be.ReadWord();
  ShapeBounds.SetRect(be.ReadRect());
  ReadAddonFromStream(be);
  const bool extended = TagID != tag::DefineShape;
  ReadFillStyles(be, FillStyles, HasAlpha, extended);
  ReadLineStyles(be, LineStyles, HasAlpha, UsesLineStyle2(), extended);
  std::uint8_t widths = be.ReadByte();
  Edges.clear();
  ReadShapeRecords(be, Edges, widths >> 4, widths & 0x0F, HasAlpha, UsesLineStyle2(), extended);
  be.Stream().Seek(start + BodySize);
}

std::string TSWFDefineShape::Summary() const {
  std::size_t edges = 0;
  for (const auto& record : Edges)
    if (record->RecordKind == TSWFShapeRecordKind::StraightEdge ||
        record->RecordKind == TSWFShapeRecordKind::CurvedEdge)
      ++edges;
  return "shape " + std::to_string(ShapeId) + ", " + std::to_string(FillStyles.size()) + " fills, " +
         std::to_string(LineStyles.size()) + " lines, " + std::to_string(Edges.size()) + " records (" +
         std::to_string(edges) + " edges), bounds " + std::to_string(ShapeBounds.XMin()) + ".." +
         std::to_string(ShapeBounds.XMax()) + " x " + std::to_string(ShapeBounds.YMin()) + ".." +
         std::to_string(ShapeBounds.YMax());
}

void TSWFDefineShape4::Assign(const TBasedSWFObject& source) {
  TSWFDefineShape::Assign(source);
  if (const auto* src = dynamic_cast<const TSWFDefineShape4*>(&source)) {
    EdgeBounds.Assign(src->EdgeBounds);
    UsesNonScalingStrokes = src->UsesNonScalingStrokes;
    UsesScalingStrokes = src->UsesScalingStrokes;
  }
}

void TSWFDefineShape4::ReadAddonFromStream(TBitsEngine& be) {
  EdgeBounds.SetRect(be.ReadRect());
  std::uint8_t flags = be.ReadByte();
  UsesNonScalingStrokes = flags & 0x02;
  UsesScalingStrokes = flags & 0x01;
}

void TSWFDefineShape4::WriteAddonToStream(TBitsEngine& be) {
  UsesNonScalingStrokes = UsesScalingStrokes = false;
  for (const auto& line : LineStyles) {
    const auto* second = dynamic_cast<const TSWFLineStyle2*>(line.get());
    if (second && (second->NoHScaleFlag || second->NoVScaleFlag))
      UsesNonScalingStrokes = true;
    else
      UsesScalingStrokes = true;
  }
  TSWFRectRec r = EdgeBounds.SWFRect();
  be.WriteSWFRect(r.XMin, r.XMax, r.YMin, r.YMax);
  be.WriteByte(static_cast<std::uint8_t>((UsesNonScalingStrokes ? 0x02 : 0) | (UsesScalingStrokes ? 0x01 : 0)));
}

namespace {

void BitmapIdsOf(TSWFFillStyles& fills, TSWFLineStyles& lines, const std::function<void(std::uint16_t&)>& fn) {
  auto visit = [&](TSWFFillStyle* fill) {
    if (auto* image = dynamic_cast<TSWFImageFill*>(fill)) fn(image->BitmapId);
  };
  for (auto& fill : fills) visit(fill.get());
  for (auto& line : lines)
    if (auto* second = dynamic_cast<TSWFLineStyle2*>(line.get())) visit(second->FillStyle());
}

}  // namespace

void ForEachBitmapId(TSWFDefineShape& shape, const std::function<void(std::uint16_t&)>& fn) {
  BitmapIdsOf(shape.FillStyles, shape.LineStyles, fn);
  for (auto& record : shape.Edges)
    if (record->RecordKind == TSWFShapeRecordKind::StyleChange) {
      auto& change = static_cast<TSWFStyleChangeRecord&>(*record);
      if (change.StateNewStyles) BitmapIdsOf(change.NewFillStyles(), change.NewLineStyles(), fn);
    }
}

}  // namespace yel::swf
