// Bit encodings of the shape records and the record list loops.
#include "swf/format/shape_records.h"

#include <algorithm>
#include <string>

#include "base/error.h"

namespace yel::swf {
namespace {

// Edge deltas are written with a 4-bit width field holding n - 2, so at most
// 17 bits: magnitudes up to 65535 always fit.
constexpr std::int64_t kMaxEdgeDelta = 65535;

std::int64_t Abs64(std::int64_t v) { return v < 0 ? -v : v; }

void WriteStraight(TBitsEngine& be, std::int32_t dx, std::int32_t dy) {
  if (dx == 0 && dy == 0) return;
  int n = GetSignedBitsCount(MaxAbs(dx, dy));
  be.WriteBit(1);
  be.WriteBit(1);
  be.WriteBits(static_cast<std::uint32_t>(n - 2), 4);
  if (dx != 0 && dy != 0) {
    be.WriteBit(1);
    be.WriteBits(static_cast<std::uint32_t>(dx), n);
    be.WriteBits(static_cast<std::uint32_t>(dy), n);
  } else {
    be.WriteBit(0);
    be.WriteBit(dx == 0 ? 1 : 0);
    be.WriteBits(static_cast<std::uint32_t>(dx == 0 ? dy : dx), n);
  }
}

// Rounds a / d to the nearest integer (d > 0).
std::int64_t DivRound(std::int64_t a, std::int64_t d) { return a >= 0 ? (a + d / 2) / d : -((-a + d / 2) / d); }

void WriteCurve(TBitsEngine& be, std::int64_t cx, std::int64_t cy, std::int64_t ax, std::int64_t ay) {
  if (cx == 0 && cy == 0 && ax == 0 && ay == 0) return;
  std::int64_t big = std::max({Abs64(cx), Abs64(cy), Abs64(ax), Abs64(ay)});
  if (big > kMaxEdgeDelta) {
    // de Casteljau at t = 1/2, positions relative to the start point; the
    // rounded midpoints move the outline by at most a twip and the end
    // point stays exact.
    std::int64_t p1x = cx, p1y = cy, p2x = cx + ax, p2y = cy + ay;
    std::int64_t q1x = DivRound(p1x, 2), q1y = DivRound(p1y, 2);
    std::int64_t mx = DivRound(2 * p1x + p2x, 4), my = DivRound(2 * p1y + p2y, 4);
    std::int64_t q2x = DivRound(p1x + p2x, 2), q2y = DivRound(p1y + p2y, 2);
    WriteCurve(be, q1x, q1y, mx - q1x, my - q1y);
    WriteCurve(be, q2x - mx, q2y - my, p2x - q2x, p2y - q2y);
    return;
  }
  auto x0 = static_cast<std::int32_t>(cx), y0 = static_cast<std::int32_t>(cy);
  auto x1 = static_cast<std::int32_t>(ax), y1 = static_cast<std::int32_t>(ay);
  int n = GetSignedBitsCount(MaxAbs(x0, y0, x1, y1));
  be.WriteBit(1);
  be.WriteBit(0);
  be.WriteBits(static_cast<std::uint32_t>(n - 2), 4);
  be.WriteBits(static_cast<std::uint32_t>(x0), n);
  be.WriteBits(static_cast<std::uint32_t>(y0), n);
  be.WriteBits(static_cast<std::uint32_t>(x1), n);
  be.WriteBits(static_cast<std::uint32_t>(y1), n);
}

// Bits the engine can still deliver.
std::uint64_t BitsLeft(TBitsEngine& be) { return be.Stream().Remaining() * 8 + be.BitCount(); }

void Need(TBitsEngine& be, std::uint64_t bits, const char* what) {
  if (BitsLeft(be) < bits)
    throw Error(std::string(what) + " at offset " + std::to_string(be.Stream().Position()) +
                " runs past the end of the tag");
}

template <class T>
const T& RecordSource(const TSWFShapeRecord& source) {
  const T* typed = dynamic_cast<const T*>(&source);
  if (!typed) throw std::logic_error("shape record Assign from another class");
  return *typed;
}

}  // namespace

void TSWFEndShapeRecord::Assign(const TSWFShapeRecord& source) { RecordSource<TSWFEndShapeRecord>(source); }

void TSWFEndShapeRecord::WriteToStream(TBitsEngine& be) { be.WriteBits(0, 6); }

void TSWFStraightEdgeRecord::Assign(const TSWFShapeRecord& source) {
  const auto& src = RecordSource<TSWFStraightEdgeRecord>(source);
  DeltaX = src.DeltaX;
  DeltaY = src.DeltaY;
  KeepWhenEmpty = src.KeepWhenEmpty;
}

void TSWFStraightEdgeRecord::WriteToStream(TBitsEngine& be) {
  std::int64_t big = std::max(Abs64(DeltaX), Abs64(DeltaY));
  if (big == 0 && KeepWhenEmpty) {
    be.WriteBits(0x30, 6);  // an edge, straight, 2-bit delta
    be.WriteBits(0x4, 4);   // vertical, 0
    return;
  }
  if (big <= kMaxEdgeDelta) {
    WriteStraight(be, DeltaX, DeltaY);
    return;
  }
  // Equal pieces along the line whose sum is exactly the whole delta.
  std::int64_t pieces = (big + kMaxEdgeDelta - 1) / kMaxEdgeDelta;
  std::int64_t doneX = 0, doneY = 0;
  for (std::int64_t i = 1; i <= pieces; ++i) {
    std::int64_t x = DeltaX * i / pieces, y = DeltaY * i / pieces;
    WriteStraight(be, static_cast<std::int32_t>(x - doneX), static_cast<std::int32_t>(y - doneY));
    doneX = x;
    doneY = y;
  }
}

void TSWFStyleChangeRecord::Assign(const TSWFShapeRecord& source) {
  TSWFStraightEdgeRecord::Assign(source);
  const auto& src = RecordSource<TSWFStyleChangeRecord>(source);
  NumFillBits = src.NumFillBits;
  NumLineBits = src.NumLineBits;
  fill0_ = src.fill0_;
  fill1_ = src.fill1_;
  line_ = src.line_;
  StateFillStyle0 = src.StateFillStyle0;
  StateFillStyle1 = src.StateFillStyle1;
  StateLineStyle = src.StateLineStyle;
  StateMoveTo = src.StateMoveTo;
  StateNewStyles = src.StateNewStyles;
  HasAlpha = src.HasAlpha;
  LineStyle2 = src.LineStyle2;
  ExtendedCounts = src.ExtendedCounts;
  CopyFillStyles(src.new_fills_, new_fills_);
  CopyLineStyles(src.new_lines_, new_lines_);
}

void TSWFStyleChangeRecord::SetFill0(std::uint16_t index) {
  fill0_ = index;
  StateFillStyle0 = true;
}

void TSWFStyleChangeRecord::SetFill1(std::uint16_t index) {
  fill1_ = index;
  StateFillStyle1 = true;
}

void TSWFStyleChangeRecord::SetLineStyle(std::uint16_t index) {
  line_ = index;
  StateLineStyle = true;
}

TSWFFillStyles& TSWFStyleChangeRecord::NewFillStyles() {
  StateNewStyles = true;
  return new_fills_;
}

TSWFLineStyles& TSWFStyleChangeRecord::NewLineStyles() {
  StateNewStyles = true;
  return new_lines_;
}

void TSWFStyleChangeRecord::WriteToStream(TBitsEngine& be) {
  be.WriteBit(0);
  be.WriteBit(StateNewStyles);
  be.WriteBit(StateLineStyle);
  be.WriteBit(StateFillStyle1);
  be.WriteBit(StateFillStyle0);
  // Five zero flag bits would read as the end record: a record that changes
  // nothing else is a move. One that brings new styles has a set bit already
  // and must not move the pen.
  bool move = StateMoveTo || !(StateFillStyle0 || StateFillStyle1 || StateLineStyle || StateNewStyles);
  be.WriteBit(move);
  if (move) {
    int n = GetSignedBitsCount(MaxAbs(DeltaX, DeltaY));
    be.WriteBits(static_cast<std::uint32_t>(n), 5);
    be.WriteBits(static_cast<std::uint32_t>(DeltaX), n);
    be.WriteBits(static_cast<std::uint32_t>(DeltaY), n);
  }
  if (StateFillStyle0) be.WriteBits(fill0_, NumFillBits);
  if (StateFillStyle1) be.WriteBits(fill1_, NumFillBits);
  if (StateLineStyle) be.WriteBits(line_, NumLineBits);
  if (StateNewStyles) {
    be.FlushLastByte(true);
    WriteFillStyles(be, new_fills_, HasAlpha, ExtendedCounts);
    WriteLineStyles(be, new_lines_, HasAlpha, LineStyle2, ExtendedCounts);
    be.FlushLastByte(true);
    NumFillBits = static_cast<std::uint8_t>(GetBitsCount(static_cast<std::uint32_t>(new_fills_.size())));
    NumLineBits = static_cast<std::uint8_t>(GetBitsCount(static_cast<std::uint32_t>(new_lines_.size())));
    be.WriteBits(NumFillBits, 4);
    be.WriteBits(NumLineBits, 4);
  }
}

void TSWFCurvedEdgeRecord::Assign(const TSWFShapeRecord& source) {
  const auto& src = RecordSource<TSWFCurvedEdgeRecord>(source);
  AnchorX = src.AnchorX;
  AnchorY = src.AnchorY;
  ControlX = src.ControlX;
  ControlY = src.ControlY;
}

void TSWFCurvedEdgeRecord::WriteToStream(TBitsEngine& be) { WriteCurve(be, ControlX, ControlY, AnchorX, AnchorY); }

std::unique_ptr<TSWFShapeRecord> CloneShapeRecord(const TSWFShapeRecord& source) {
  std::unique_ptr<TSWFShapeRecord> copy;
  switch (source.RecordKind) {
    case TSWFShapeRecordKind::End: copy = std::make_unique<TSWFEndShapeRecord>(); break;
    case TSWFShapeRecordKind::StyleChange: copy = std::make_unique<TSWFStyleChangeRecord>(); break;
    case TSWFShapeRecordKind::StraightEdge: copy = std::make_unique<TSWFStraightEdgeRecord>(); break;
    case TSWFShapeRecordKind::CurvedEdge: copy = std::make_unique<TSWFCurvedEdgeRecord>(); break;
  }
  copy->Assign(source);
  return copy;
}

void CopyShapeRecords(const TSWFShapeRecords& source, TSWFShapeRecords& target) {
  target.clear();
  target.reserve(source.size());
  for (const auto& record : source) target.push_back(CloneShapeRecord(*record));
}

void WriteShapeRecords(TBitsEngine& be, TSWFShapeRecords& records, int fillBits, int lineBits, bool hasAlpha,
                       bool lineStyle2, bool extendedCounts) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    TSWFShapeRecord& record = *records[i];
    bool last = i + 1 == records.size();
    if (record.RecordKind == TSWFShapeRecordKind::End && !last) continue;
    if (record.RecordKind != TSWFShapeRecordKind::StyleChange) {
      record.WriteToStream(be);
      continue;
    }
    auto& change = static_cast<TSWFStyleChangeRecord&>(record);
    change.HasAlpha = hasAlpha;
    change.LineStyle2 = lineStyle2;
    change.ExtendedCounts = extendedCounts;
    change.NumFillBits = static_cast<std::uint8_t>(fillBits);
    change.NumLineBits = static_cast<std::uint8_t>(lineBits);
    if (change.StateNewStyles) {
      change.WriteToStream(be);
      fillBits = change.NumFillBits;
      lineBits = change.NumLineBits;
      continue;
    }
    // Selections of styles that do not exist are dropped for this write
    // only, so the record stays as it was and writes the same way again.
    const bool fill0 = change.StateFillStyle0, fill1 = change.StateFillStyle1, line = change.StateLineStyle;
    if (fillBits == 0) change.StateFillStyle0 = change.StateFillStyle1 = false;
    if (lineBits == 0) change.StateLineStyle = false;
    bool left = change.StateFillStyle0 || change.StateFillStyle1 || change.StateLineStyle;
    // A record whose only changes were dropped would otherwise go out as a
    // move to its (unset) target and shift the pen: it is left out.
    if (left || change.StateMoveTo || !(fill0 || fill1 || line)) change.WriteToStream(be);
    change.StateFillStyle0 = fill0;
    change.StateFillStyle1 = fill1;
    change.StateLineStyle = line;
  }
  if (records.empty() || records.back()->RecordKind != TSWFShapeRecordKind::End) be.WriteBits(0, 6);
  be.FlushLastByte(true);
}

void ReadShapeRecords(TBitsEngine& be, TSWFShapeRecords& records, int fillBits, int lineBits, bool hasAlpha,
                      bool lineStyle2, bool extendedCounts) {
  for (;;) {
    // Fewer than six bits left can only be padding: the list ends there.
    if (BitsLeft(be) < 6) {
      records.push_back(std::make_unique<TSWFEndShapeRecord>());
      break;
    }
    if (be.ReadBits(1) == 1) {
      Need(be, 5, "edge record");
      bool straight = be.ReadBits(1) == 1;
      int n = static_cast<int>(be.ReadBits(4)) + 2;
      if (straight) {
        auto edge = std::make_unique<TSWFStraightEdgeRecord>();
        Need(be, 1, "straight edge");
        if (be.ReadBits(1) == 1) {
          Need(be, 2 * n, "straight edge");
          edge->DeltaX = be.ReadSBits(n);
          edge->DeltaY = be.ReadSBits(n);
        } else {
          Need(be, 1 + n, "straight edge");
          bool vertical = be.ReadBits(1) == 1;
          (vertical ? edge->DeltaY : edge->DeltaX) = be.ReadSBits(n);
        }
        edge->KeepWhenEmpty = edge->DeltaX == 0 && edge->DeltaY == 0;
        records.push_back(std::move(edge));
      } else {
        Need(be, 4 * n, "curved edge");
        auto edge = std::make_unique<TSWFCurvedEdgeRecord>();
        edge->ControlX = be.ReadSBits(n);
        edge->ControlY = be.ReadSBits(n);
        edge->AnchorX = be.ReadSBits(n);
        edge->AnchorY = be.ReadSBits(n);
        records.push_back(std::move(edge));
      }
      continue;
    }
    std::uint32_t flags = be.ReadBits(5);
    if (flags == 0) {
      records.push_back(std::make_unique<TSWFEndShapeRecord>());
      break;
    }
    auto change = std::make_unique<TSWFStyleChangeRecord>();
    change->HasAlpha = hasAlpha;
    change->LineStyle2 = lineStyle2;
    change->ExtendedCounts = extendedCounts;
    change->NumFillBits = static_cast<std::uint8_t>(fillBits);
    change->NumLineBits = static_cast<std::uint8_t>(lineBits);
    change->StateMoveTo = flags & 0x01;
    if (change->StateMoveTo) {
      Need(be, 5, "style change record");
      int n = static_cast<int>(be.ReadBits(5));
      Need(be, 2 * n, "style change record");
      change->DeltaX = be.ReadSBits(n);
      change->DeltaY = be.ReadSBits(n);
    }
    if (flags & 0x02) {
      Need(be, fillBits, "style change record");
      change->SetFill0(static_cast<std::uint16_t>(be.ReadBits(fillBits)));
    }
    if (flags & 0x04) {
      Need(be, fillBits, "style change record");
      change->SetFill1(static_cast<std::uint16_t>(be.ReadBits(fillBits)));
    }
    if (flags & 0x08) {
      Need(be, lineBits, "style change record");
      change->SetLineStyle(static_cast<std::uint16_t>(be.ReadBits(lineBits)));
    }
    if (flags & 0x10) {
      be.FlushLastByte(false);
      ReadFillStyles(be, change->NewFillStyles(), hasAlpha, extendedCounts);
      ReadLineStyles(be, change->NewLineStyles(), hasAlpha, lineStyle2, extendedCounts);
      be.FlushLastByte(false);
      Need(be, 8, "new style widths");
      std::uint8_t widths = be.ReadByte();
      fillBits = widths >> 4;
      lineBits = widths & 0x0F;
      change->NumFillBits = static_cast<std::uint8_t>(fillBits);
      change->NumLineBits = static_cast<std::uint8_t>(lineBits);
    }
    records.push_back(std::move(change));
  }
  be.FlushLastByte(false);
}

}  // namespace yel::swf
