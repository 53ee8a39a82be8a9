// Font tags: DefineFont, DefineFont2, DefineFont3 (glyph outlines as shape
// records with one fill style), DefineFontInfo and DefineFontInfo2 (names
// and codes of a DefineFont), DefineFontAlignZones and DefineFontName.
// Reading checks every count and offset against the tag's own length, so a
// damaged font becomes an error tag and never a large allocation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/format/shape_records.h"
#include "swf/format/swf_object.h"

namespace yel::swf {

struct TSWFKerningRecord {
  std::uint16_t KerningCode1 = 0;
  std::uint16_t KerningCode2 = 0;
  std::int16_t KerningAdjustment = 0;
  bool operator==(const TSWFKerningRecord&) const = default;
};

// One glyph: its outline records (style changes select fill style 1).
using TSWFGlyph = TSWFShapeRecords;

class TSWFDefineFont : public TSWFObject {
 public:
  TSWFDefineFont() : TSWFObject(tag::DefineFont) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t FontID = 0;
  std::vector<TSWFGlyph> Glyphs;

 protected:
  explicit TSWFDefineFont(std::uint16_t tagId) : TSWFObject(tagId) {}
};

// DefineFont2 and DefineFont3 (the same layout under its own code).
class TSWFDefineFont2 : public TSWFDefineFont {
 public:
  TSWFDefineFont2() : TSWFDefineFont(tag::DefineFont2) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void ReadFromStream(TBitsEngine& be) override;
  // WideOffsets is turned on when there are more than 128 glyphs or the
  // glyph data does not fit 16-bit offsets; a set flag stays set. More than
  // 65,535 glyphs cannot be written (yel::Error).
  void WriteTagBody(TBitsEngine& be) override;
  void SetReadContext(const TSWFReadContext& context) override;
  std::string Summary() const override;

  bool HasLayout = false;
  bool ShiftJIS = false;
  bool SmallText = false;
  bool ANSI = false;
  bool WideOffsets = false;
  bool WideCodes = false;
  bool Italic = false;
  bool Bold = false;
  std::uint8_t LanguageCode = 0;
  // The name's bytes as the file has them (UTF-8 from version 6 on).
  std::string FontName;
  // One code per glyph.
  std::vector<std::uint16_t> Codes;
  std::uint16_t Ascent = 0;
  std::uint16_t Descent = 0;
  std::int16_t Leading = 0;
  std::vector<std::int16_t> Advances;
  // Glyph bounds as stored: producers mark an empty box with XMin > XMax.
  std::vector<TSWFRectRec> Bounds;
  std::vector<TSWFKerningRecord> Kerning;
  // Version of the movie: from 6 on the name is written as UTF-8.
  std::uint8_t SWFVersion = 6;
  // A font without glyphs still carries a code table offset (some
  // producers write one, others do not; a file read keeps its form).
  bool EmptyCodeTableOffset = false;

 protected:
  explicit TSWFDefineFont2(std::uint16_t tagId) : TSWFDefineFont(tagId) {}

 private:
  // Metrics, advances and bounds of count glyphs, and the kerning records.
  void ReadLayout(TBitsEngine& be, std::size_t count);
};

class TSWFDefineFont3 : public TSWFDefineFont2 {
 public:
  TSWFDefineFont3() : TSWFDefineFont2(tag::DefineFont3) {}
  int MinVersion() const override { return 8; }
};

// Names the font of a DefineFont and gives the code of each of its glyphs.
// The codes fill the rest of the body (one byte each, two with WideCodes).
class TSWFDefineFontInfo : public TSWFObject {
 public:
  TSWFDefineFontInfo() : TSWFObject(tag::DefineFontInfo) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void SetReadContext(const TSWFReadContext& context) override;
  std::string Summary() const override;

  std::uint16_t FontID = 0;
  std::string FontName;
  bool SmallText = false;
  bool ShiftJIS = false;
  bool ANSI = false;
  bool Italic = false;
  bool Bold = false;
  bool WideCodes = false;
  std::vector<std::uint16_t> Codes;
  std::uint8_t SWFVersion = 6;

 protected:
  explicit TSWFDefineFontInfo(std::uint16_t tagId) : TSWFObject(tagId) {}
  // DefineFontInfo2: UTF-8 name, wide codes and the language code.
  virtual bool IsInfo2() const { return false; }
};

class TSWFDefineFontInfo2 : public TSWFDefineFontInfo {
 public:
  TSWFDefineFontInfo2() : TSWFDefineFontInfo(tag::DefineFontInfo2) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 6; }

  std::uint8_t LanguageCode = 0;

 protected:
  bool IsInfo2() const override { return true; }
};

// Alignment zone of a glyph: the two 16-bit halves of the format's
// half-precision floats, kept as they are.
struct TSWFZoneData {
  std::uint16_t AlignmentCoordinate = 0;
  std::uint16_t Range = 0;
  bool operator==(const TSWFZoneData&) const = default;
};

struct TSWFZoneRecord {
  std::vector<TSWFZoneData> ZoneData;
  bool MaskX = false;
  bool MaskY = false;
  bool operator==(const TSWFZoneRecord&) const = default;
};

// The zone masks sit in the two lowest bits of each record's flag byte
// (MaskY bit 1, MaskX bit 0), as the published format places them and as
// the files of other producers have them.
class TSWFDefineFontAlignZones : public TSWFObject {
 public:
  TSWFDefineFontAlignZones() : TSWFObject(tag::DefineFontAlignZones) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t FontID = 0;
  std::uint8_t CSMTableHint = 0;  // 2 bits
  std::vector<TSWFZoneRecord> ZoneTable;
};

// The full name and copyright text of a font (written by version 8
// authoring tools, although the format lists it from version 9).
class TSWFDefineFontName : public TSWFObject {
 public:
  TSWFDefineFontName() : TSWFObject(tag::DefineFontName) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t FontID = 0;
  std::string FontName;
  std::string FontCopyright;
};

}  // namespace yel::swf
