// Shape records (end, style change, straight and curved edges): the outline
// data of shapes, morph shapes and glyphs, with the record list writer and
// reader that all of them share.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/format/fill_line_styles.h"

namespace yel::swf {

enum class TSWFShapeRecordKind : std::uint8_t { End = 0, StyleChange = 1, StraightEdge = 2, CurvedEdge = 3 };

class TSWFShapeRecord {
 public:
  virtual ~TSWFShapeRecord() = default;
  virtual void Assign(const TSWFShapeRecord& source) = 0;
  // Appends the record's bits; records are not byte-aligned.
  virtual void WriteToStream(TBitsEngine& be) = 0;

  const TSWFShapeRecordKind RecordKind;

 protected:
  explicit TSWFShapeRecord(TSWFShapeRecordKind kind) : RecordKind(kind) {}
};

using TSWFShapeRecords = std::vector<std::unique_ptr<TSWFShapeRecord>>;

class TSWFEndShapeRecord : public TSWFShapeRecord {
 public:
  TSWFEndShapeRecord() : TSWFShapeRecord(TSWFShapeRecordKind::End) {}
  void Assign(const TSWFShapeRecord& source) override;
  void WriteToStream(TBitsEngine& be) override;
};

class TSWFStraightEdgeRecord : public TSWFShapeRecord {
 public:
  TSWFStraightEdgeRecord() : TSWFShapeRecord(TSWFShapeRecordKind::StraightEdge) {}
  TSWFStraightEdgeRecord(std::int32_t dx, std::int32_t dy)
      : TSWFShapeRecord(TSWFShapeRecordKind::StraightEdge), DeltaX(dx), DeltaY(dy) {}
  void Assign(const TSWFShapeRecord& source) override;
  // Writes nothing for (0, 0) unless KeepWhenEmpty. An edge too long for
  // the 17-bit delta fields is written as several edges in a line.
  void WriteToStream(TBitsEngine& be) override;

  std::int32_t DeltaX = 0;
  std::int32_t DeltaY = 0;
  // An empty edge read from a file (some fonts have them) is written back.
  bool KeepWhenEmpty = false;

 protected:
  explicit TSWFStraightEdgeRecord(TSWFShapeRecordKind kind) : TSWFShapeRecord(kind) {}
};

// DeltaX and DeltaY are the move-to target.
class TSWFStyleChangeRecord : public TSWFStraightEdgeRecord {
 public:
  TSWFStyleChangeRecord() : TSWFStraightEdgeRecord(TSWFShapeRecordKind::StyleChange) {}
  void Assign(const TSWFShapeRecord& source) override;
  // Uses NumFillBits and NumLineBits for the indices; with new styles it
  // stores and writes the widths of the new lists.
  void WriteToStream(TBitsEngine& be) override;

  std::uint16_t Fill0() const { return fill0_; }
  std::uint16_t Fill1() const { return fill1_; }
  std::uint16_t LineStyle() const { return line_; }
  // Each setter also sets its state flag.
  void SetFill0(std::uint16_t index);
  void SetFill1(std::uint16_t index);
  void SetLineStyle(std::uint16_t index);
  // Asking for the new lists sets StateNewStyles.
  TSWFFillStyles& NewFillStyles();
  TSWFLineStyles& NewLineStyles();
  const TSWFFillStyles& NewFillStyles() const { return new_fills_; }
  const TSWFLineStyles& NewLineStyles() const { return new_lines_; }

  std::uint8_t NumFillBits = 0;
  std::uint8_t NumLineBits = 0;
  bool StateFillStyle0 = false;
  bool StateFillStyle1 = false;
  bool StateLineStyle = false;
  bool StateMoveTo = false;
  bool StateNewStyles = false;
  // Colours of the new styles are RGBA.
  bool HasAlpha = false;
  // The new line styles are LINESTYLE2 (DefineShape4).
  bool LineStyle2 = false;
  // The new style counts may take the extended form (all but DefineShape).
  bool ExtendedCounts = true;

 private:
  std::uint16_t fill0_ = 0;
  std::uint16_t fill1_ = 0;
  std::uint16_t line_ = 0;
  TSWFFillStyles new_fills_;
  TSWFLineStyles new_lines_;
};

class TSWFCurvedEdgeRecord : public TSWFShapeRecord {
 public:
  TSWFCurvedEdgeRecord() : TSWFShapeRecord(TSWFShapeRecordKind::CurvedEdge) {}
  TSWFCurvedEdgeRecord(std::int32_t cx, std::int32_t cy, std::int32_t ax, std::int32_t ay)
      : TSWFShapeRecord(TSWFShapeRecordKind::CurvedEdge), AnchorX(ax), AnchorY(ay), ControlX(cx), ControlY(cy) {}
  void Assign(const TSWFShapeRecord& source) override;
  // Writes nothing when all deltas are 0; a curve too large for the 17-bit
  // fields is split in halves until the pieces fit.
  void WriteToStream(TBitsEngine& be) override;

  std::int32_t AnchorX = 0;
  std::int32_t AnchorY = 0;
  std::int32_t ControlX = 0;
  std::int32_t ControlY = 0;
};

std::unique_ptr<TSWFShapeRecord> CloneShapeRecord(const TSWFShapeRecord& source);
void CopyShapeRecords(const TSWFShapeRecords& source, TSWFShapeRecords& target);

// Writes a record list that starts with the index widths fillBits and
// lineBits (already written by the caller): every style-change record gets
// hasAlpha, lineStyle2, extendedCounts and the widths in force. Without new
// styles, its fill selections are left out of the bytes when fillBits is 0
// and its line selection when lineBits is 0 (the record keeps its flags); a
// record left with nothing to write is not written. End records inside the
// list are skipped and exactly one closes it. Ends with the last byte padded.
void WriteShapeRecords(TBitsEngine& be, TSWFShapeRecords& records, int fillBits, int lineBits, bool hasAlpha,
                       bool lineStyle2, bool extendedCounts = true);
// Reads records up to the end record (appended to records) with the given
// starting widths, then drops the pending bits. New styles are read with
// hasAlpha, as LINESTYLE2 when lineStyle2, with extended counts when
// extendedCounts. Fails with yel::Error when a
// record is cut off by the end of the stream; a stream that ends exactly
// between records ends the list.
void ReadShapeRecords(TBitsEngine& be, TSWFShapeRecords& records, int fillBits, int lineBits, bool hasAlpha = true,
                      bool lineStyle2 = false, bool extendedCounts = true);

}  // namespace yel::swf
