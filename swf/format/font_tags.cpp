// Font tag bodies. Glyph tables are offset tables followed by one shape
// record list per glyph; the readers check each offset and count against the
// body before anything is read or allocated.
#include "swf/format/font_tags.h"

#include <algorithm>
#include <utility>

#include "base/byte_stream.h"
#include "base/error.h"
#include "swf/format/swf_strings.h"

namespace yel::swf {
namespace {

std::uint64_t Remaining(TBitsEngine& be) { return be.Stream().Remaining(); }

// The rest of the body as bytes: glyphs are read from offsets into it.
std::vector<std::uint8_t> RestOfBody(TBitsEngine& be) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Remaining(be)));
  be.Stream().Read(bytes.data(), bytes.size());
  return bytes;
}

// Reads the glyphs at the given offsets of table (offsets[i] up to
// offsets[i + 1], the last one up to end).
void ReadGlyphs(const std::vector<std::uint8_t>& table, const std::vector<std::uint32_t>& offsets, std::uint64_t end,
                std::vector<TSWFGlyph>& glyphs) {
  glyphs.clear();
  glyphs.reserve(offsets.size());
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    std::uint64_t from = offsets[i];
    std::uint64_t to = i + 1 < offsets.size() ? offsets[i + 1] : end;
    if (from > to || to > table.size())
      throw Error("glyph " + std::to_string(i) + " at offset " + std::to_string(from) +
                  " lies outside the glyph data (" + std::to_string(std::min<std::uint64_t>(end, table.size())) +
                  " bytes)");
    TSWFGlyph& glyph = glyphs.emplace_back();
    if (from == to) continue;  // an empty glyph
    TBufferStream stream(table.data() + from, static_cast<std::size_t>(to - from));
    TBitsEngine glyphEngine(stream);
    std::uint8_t widths = glyphEngine.ReadByte();
    ReadShapeRecords(glyphEngine, glyph, widths >> 4, widths & 0x0F, false);
  }
}

// Glyph records as a SHAPE: one fill bit, no line bits. DefineFont2 glyphs
// select fill style 1 in their first style change.
void WriteGlyph(TBitsEngine& be, TSWFGlyph& glyph, bool forceFill1) {
  if (forceFill1 && !glyph.empty() && glyph.front()->RecordKind == TSWFShapeRecordKind::StyleChange) {
    auto& first = static_cast<TSWFStyleChangeRecord&>(*glyph.front());
    bool neither = !first.StateFillStyle0 && !first.StateFillStyle1;
    if (neither || (first.StateFillStyle1 && first.Fill1() == 0)) {
      first.StateFillStyle0 = false;
      first.SetFill1(1);
    }
  }
  be.WriteByte(0x10);
  WriteShapeRecords(be, glyph, 1, 0, false, false);
}

void CopyGlyphs(const std::vector<TSWFGlyph>& source, std::vector<TSWFGlyph>& target) {
  target.clear();
  target.resize(source.size());
  for (std::size_t i = 0; i < source.size(); ++i) CopyShapeRecords(source[i], target[i]);
}

// A length byte and the name's bytes (the UTF-8 form when utf8).
void WriteFontName(TBitsEngine& be, const std::string& name, bool utf8) {
  std::string bytes = utf8 ? AnsiToUtf8(name) : name;
  if (bytes.size() > 255) bytes.resize(255);
  be.WriteByte(static_cast<std::uint8_t>(bytes.size()));
  be.WriteBytes(bytes.data(), bytes.size());
}

// The name's bytes exactly as stored, terminating zeros included, so that a
// font read from a file is written back the same.
std::string ReadFontName(TBitsEngine& be) {
  std::uint8_t length = be.ReadByte();
  NeedBytes(be, length, "the font name");
  std::string name(length, '\0');
  be.Stream().Read(name.data(), length);
  return name;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text.substr(0, text.find('\0'))) + "\""; }

}  // namespace

// --- DefineFont

void TSWFDefineFont::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineFont>(source);
  FontID = src.FontID;
  CopyGlyphs(src.Glyphs, Glyphs);
}

void TSWFDefineFont::ReadFromStream(TBitsEngine& be) {
  FontID = be.ReadWord();
  std::vector<std::uint8_t> table = RestOfBody(be);
  Glyphs.clear();
  if (table.size() < 2) return;
  std::uint32_t first = table[0] | table[1] << 8;
  // The first glyph starts right after the offset table: its offset gives
  // the number of glyphs.
  std::size_t count = first / 2;
  if (first % 2 != 0 || first > table.size())
    throw Error("the first glyph offset " + std::to_string(first) + " does not fit the glyph data (" +
                std::to_string(table.size()) + " bytes)");
  std::vector<std::uint32_t> offsets(count);
  for (std::size_t i = 0; i < count; ++i) offsets[i] = table[2 * i] | table[2 * i + 1] << 8;
  ReadGlyphs(table, offsets, table.size(), Glyphs);
}

void TSWFDefineFont::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(FontID);
  if (Glyphs.empty()) {
    be.WriteWord(0);
    return;
  }
  TMemoryStream data;
  std::vector<std::uint32_t> offsets;
  {
    TBitsEngine glyphs(data);
    for (auto& glyph : Glyphs) {
      offsets.push_back(static_cast<std::uint32_t>(2 * Glyphs.size() + data.Size()));
      WriteGlyph(glyphs, glyph, false);
    }
  }
  if (offsets.back() > 0xFFFF) throw Error("DefineFont " + std::to_string(FontID) + ": glyph data past 64 KB");
  for (std::uint32_t offset : offsets) be.WriteWord(static_cast<std::uint16_t>(offset));
  be.WriteBytes(std::as_const(data).Data(), static_cast<std::size_t>(data.Size()));
}

std::string TSWFDefineFont::Summary() const {
  return "font " + std::to_string(FontID) + ", " + std::to_string(Glyphs.size()) + " glyphs";
}

// --- DefineFont2 / DefineFont3

void TSWFDefineFont2::Assign(const TBasedSWFObject& source) {
  TSWFDefineFont::Assign(source);
  const auto& src = AssignSource<TSWFDefineFont2>(source);
  HasLayout = src.HasLayout;
  ShiftJIS = src.ShiftJIS;
  SmallText = src.SmallText;
  ANSI = src.ANSI;
  WideOffsets = src.WideOffsets;
  WideCodes = src.WideCodes;
  Italic = src.Italic;
  Bold = src.Bold;
  EmptyCodeTableOffset = src.EmptyCodeTableOffset;
  LanguageCode = src.LanguageCode;
  FontName = src.FontName;
  Codes = src.Codes;
  Ascent = src.Ascent;
  Descent = src.Descent;
  Leading = src.Leading;
  Advances = src.Advances;
  Bounds = src.Bounds;
  Kerning = src.Kerning;
  SWFVersion = src.SWFVersion;
}

void TSWFDefineFont2::SetReadContext(const TSWFReadContext& context) { SWFVersion = context.Version; }

void TSWFDefineFont2::ReadFromStream(TBitsEngine& be) {
  FontID = be.ReadWord();
  std::uint8_t flags = be.ReadByte();
  HasLayout = flags & 0x80;
  ShiftJIS = flags & 0x40;
  SmallText = flags & 0x20;
  ANSI = flags & 0x10;
  WideOffsets = flags & 0x08;
  WideCodes = flags & 0x04;
  Italic = flags & 0x02;
  Bold = flags & 0x01;
  LanguageCode = be.ReadByte();
  FontName = ReadFontName(be);
  std::uint16_t count = be.ReadWord();
  const std::uint32_t offsetSize = WideOffsets ? 4 : 2;
  const std::uint32_t codeSize = WideCodes ? 2 : 1;
  Glyphs.clear();
  Codes.clear();
  Advances.clear();
  Bounds.clear();
  Kerning.clear();
  if (count > 0) {
    NeedBytes(be, std::uint64_t{count + 1u} * offsetSize, std::to_string(count) + " glyph offsets");
    std::vector<std::uint32_t> offsets(count);
    for (auto& offset : offsets) offset = WideOffsets ? be.ReadDWord() : be.ReadWord();
    std::uint32_t codeTable = WideOffsets ? be.ReadDWord() : be.ReadWord();
    // Offsets count from the start of the offset table.
    const std::uint64_t tableSize = std::uint64_t{count + 1u} * offsetSize;
    std::vector<std::uint8_t> rest = RestOfBody(be);
    if (codeTable < tableSize || codeTable - tableSize > rest.size())
      throw Error("the code table offset " + std::to_string(codeTable) + " lies outside the tag");
    std::vector<std::uint32_t> local(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (offsets[i] < tableSize)
        throw Error("glyph " + std::to_string(i) + " at offset " + std::to_string(offsets[i]) +
                    " lies inside the offset table");
      local[i] = static_cast<std::uint32_t>(offsets[i] - tableSize);
    }
    ReadGlyphs(rest, local, codeTable - tableSize, Glyphs);
    // The codes and the layout follow the code table offset.
    TBufferStream tail(rest.data() + (codeTable - tableSize), rest.size() - (codeTable - tableSize));
    TBitsEngine after(tail);
    NeedBytes(after, std::uint64_t{count} * codeSize, std::to_string(count) + " character codes");
    Codes.resize(count);
    for (auto& code : Codes) code = WideCodes ? after.ReadWord() : after.ReadByte();
    if (HasLayout) ReadLayout(after, count);
  } else {
    // No glyphs: a code table offset may still stand there, before the
    // layout. It does when the bytes after it are exactly a layout.
    std::vector<std::uint8_t> rest = RestOfBody(be);
    if (HasLayout) {
      std::size_t kernings = rest.size() >= offsetSize + 8 ? rest[offsetSize + 6] | rest[offsetSize + 7] << 8 : 0;
      EmptyCodeTableOffset =
          rest.size() >= offsetSize + 8 && rest.size() - offsetSize == 8 + kernings * (2 * codeSize + 2);
    } else {
      EmptyCodeTableOffset = rest.size() >= offsetSize;
    }
    TBufferStream tail(rest.data(), rest.size());
    TBitsEngine after(tail);
    tail.Seek(EmptyCodeTableOffset ? offsetSize : 0);
    if (HasLayout) ReadLayout(after, 0);
  }
}

void TSWFDefineFont2::ReadLayout(TBitsEngine& be, std::size_t count) {
  const std::uint32_t codeSize = WideCodes ? 2 : 1;
  NeedBytes(be, 6 + 2ull * count, "the font layout");
  Ascent = be.ReadWord();
  Descent = be.ReadWord();
  Leading = static_cast<std::int16_t>(be.ReadWord());
  Advances.resize(count);
  for (auto& advance : Advances) advance = static_cast<std::int16_t>(be.ReadWord());
  Bounds.resize(count);
  for (auto& bounds : Bounds) {
    if (Remaining(be) == 0) throw Error("the glyph bounds run past the tag");
    TRect r = be.ReadRect();
    bounds = {r.Left, r.Right, r.Top, r.Bottom};
  }
  std::uint16_t kernings = be.ReadWord();
  NeedBytes(be, std::uint64_t{kernings} * (2 * codeSize + 2), std::to_string(kernings) + " kerning records");
  Kerning.resize(kernings);
  for (auto& kerning : Kerning) {
    kerning.KerningCode1 = WideCodes ? be.ReadWord() : be.ReadByte();
    kerning.KerningCode2 = WideCodes ? be.ReadWord() : be.ReadByte();
    kerning.KerningAdjustment = static_cast<std::int16_t>(be.ReadWord());
  }
}

void TSWFDefineFont2::WriteTagBody(TBitsEngine& be) {
  if (Glyphs.size() > 0xFFFF)
    throw Error("font " + Quoted(FontName) + ": " + std::to_string(Glyphs.size()) +
                " glyphs, a font can hold at most 65535");
  const std::size_t count = Glyphs.size();
  // Glyph data first: its size decides the offset width.
  TMemoryStream data;
  std::vector<std::uint64_t> offsets;
  {
    TBitsEngine glyphs(data);
    for (auto& glyph : Glyphs) {
      offsets.push_back(data.Size());
      WriteGlyph(glyphs, glyph, true);
    }
  }
  const bool hasCodes = count > 0;
  if (count > 128 || (count + 1) * 2 + data.Size() > 0xFFFF) WideOffsets = true;
  const std::uint32_t offsetSize = WideOffsets ? 4 : 2;
  const bool layout = HasLayout;
  be.WriteWord(FontID);
  be.WriteByte(static_cast<std::uint8_t>(layout << 7 | ShiftJIS << 6 | SmallText << 5 | ANSI << 4 | WideOffsets << 3 |
                                         WideCodes << 2 | Italic << 1 | Bold));
  be.WriteByte(LanguageCode);
  WriteFontName(be, FontName, SWFVersion >= 6);
  be.WriteWord(static_cast<std::uint16_t>(count));
  const std::uint64_t tableSize = (count + 1) * offsetSize;
  auto writeOffset = [&](std::uint64_t offset) {
    if (WideOffsets) be.WriteDWord(static_cast<std::uint32_t>(offset));
    else be.WriteWord(static_cast<std::uint16_t>(offset));
  };
  for (std::uint64_t offset : offsets) writeOffset(tableSize + offset);
  if (hasCodes || EmptyCodeTableOffset) writeOffset(tableSize + data.Size());
  be.WriteBytes(std::as_const(data).Data(), static_cast<std::size_t>(data.Size()));
  for (std::size_t i = 0; i < count; ++i) {
    std::uint16_t code = i < Codes.size() ? Codes[i] : 0;
    if (WideCodes) be.WriteWord(code);
    else be.WriteByte(static_cast<std::uint8_t>(code));
  }
  if (!layout) return;
  be.WriteWord(Ascent);
  be.WriteWord(Descent);
  be.WriteWord(static_cast<std::uint16_t>(Leading));
  for (std::size_t i = 0; i < count; ++i)
    be.WriteWord(static_cast<std::uint16_t>(i < Advances.size() ? Advances[i] : 0));
  for (std::size_t i = 0; i < count; ++i) {
    be.WriteSWFRect(i < Bounds.size() ? Bounds[i] : TSWFRectRec{});
    be.FlushLastByte(true);
  }
  const std::size_t kernings = std::min<std::size_t>(Kerning.size(), 0xFFFF);
  be.WriteWord(static_cast<std::uint16_t>(kernings));
  for (std::size_t i = 0; i < kernings; ++i) {
    const TSWFKerningRecord& k = Kerning[i];
    if (WideCodes) {
      be.WriteWord(k.KerningCode1);
      be.WriteWord(k.KerningCode2);
    } else {
      be.WriteByte(static_cast<std::uint8_t>(k.KerningCode1));
      be.WriteByte(static_cast<std::uint8_t>(k.KerningCode2));
    }
    be.WriteWord(static_cast<std::uint16_t>(k.KerningAdjustment));
  }
}

std::string TSWFDefineFont2::Summary() const {
  std::string out =
      "font " + std::to_string(FontID) + " " + Quoted(FontName) + ", " + std::to_string(Glyphs.size()) + " glyphs";
  if (Bold) out += ", bold";
  if (Italic) out += ", italic";
  if (WideCodes) out += ", wide codes";
  if (HasLayout) out += ", layout";
  return out;
}

// --- DefineFontInfo / DefineFontInfo2

void TSWFDefineFontInfo::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineFontInfo>(source);
  FontID = src.FontID;
  FontName = src.FontName;
  SmallText = src.SmallText;
  ShiftJIS = src.ShiftJIS;
  ANSI = src.ANSI;
  Italic = src.Italic;
  Bold = src.Bold;
  WideCodes = src.WideCodes;
  Codes = src.Codes;
  SWFVersion = src.SWFVersion;
}

void TSWFDefineFontInfo::SetReadContext(const TSWFReadContext& context) { SWFVersion = context.Version; }

void TSWFDefineFontInfo::ReadFromStream(TBitsEngine& be) {
  FontID = be.ReadWord();
  FontName = ReadFontName(be);
  std::uint8_t flags = be.ReadByte();
  SmallText = flags & 0x20;
  ShiftJIS = flags & 0x10;
  ANSI = flags & 0x08;
  Italic = flags & 0x04;
  Bold = flags & 0x02;
  WideCodes = flags & 0x01;
  if (IsInfo2()) static_cast<TSWFDefineFontInfo2&>(*this).LanguageCode = be.ReadByte();
  const bool wide = WideCodes || IsInfo2();
  Codes.resize(static_cast<std::size_t>(Remaining(be) / (wide ? 2 : 1)));
  for (auto& code : Codes) code = wide ? be.ReadWord() : be.ReadByte();
}

void TSWFDefineFontInfo::WriteTagBody(TBitsEngine& be) {
  const bool info2 = IsInfo2();
  be.WriteWord(FontID);
  WriteFontName(be, FontName, info2 || SWFVersion >= 6);
  const bool wide = WideCodes || info2;
  be.WriteByte(static_cast<std::uint8_t>(SmallText << 5 | ShiftJIS << 4 | ANSI << 3 | Italic << 2 | Bold << 1 | wide));
  if (info2) be.WriteByte(static_cast<const TSWFDefineFontInfo2&>(*this).LanguageCode);
  for (std::uint16_t code : Codes) {
    if (wide) be.WriteWord(code);
    else be.WriteByte(static_cast<std::uint8_t>(code));
  }
}

std::string TSWFDefineFontInfo::Summary() const {
  return "font " + std::to_string(FontID) + " " + Quoted(FontName) + ", " + std::to_string(Codes.size()) + " codes";
}

void TSWFDefineFontInfo2::Assign(const TBasedSWFObject& source) {
  TSWFDefineFontInfo::Assign(source);
  LanguageCode = AssignSource<TSWFDefineFontInfo2>(source).LanguageCode;
}

// --- DefineFontAlignZones

void TSWFDefineFontAlignZones::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineFontAlignZones>(source);
  FontID = src.FontID;
  CSMTableHint = src.CSMTableHint;
  ZoneTable = src.ZoneTable;
}

void TSWFDefineFontAlignZones::ReadFromStream(TBitsEngine& be) {
  FontID = be.ReadWord();
  CSMTableHint = be.ReadByte() >> 6;
  ZoneTable.clear();
  while (Remaining(be) > 0) {
    TSWFZoneRecord& zone = ZoneTable.emplace_back();
    std::uint8_t count = be.ReadByte();
    NeedBytes(be, 4ull * count + 1, "zone record " + std::to_string(ZoneTable.size() - 1));
    zone.ZoneData.resize(count);
    for (auto& data : zone.ZoneData) {
      data.AlignmentCoordinate = be.ReadWord();
      data.Range = be.ReadWord();
    }
    std::uint8_t masks = be.ReadByte();
    zone.MaskY = masks & 0x02;
    zone.MaskX = masks & 0x01;
  }
}

void TSWFDefineFontAlignZones::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(FontID);
  be.WriteByte(static_cast<std::uint8_t>((CSMTableHint & 3) << 6));
  for (const auto& zone : ZoneTable) {
    const std::size_t count = std::min<std::size_t>(zone.ZoneData.size(), 255);
    be.WriteByte(static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
      be.WriteWord(zone.ZoneData[i].AlignmentCoordinate);
      be.WriteWord(zone.ZoneData[i].Range);
    }
    be.WriteByte(static_cast<std::uint8_t>(zone.MaskY << 1 | zone.MaskX));
  }
}

std::string TSWFDefineFontAlignZones::Summary() const {
  return "font " + std::to_string(FontID) + ", " + std::to_string(ZoneTable.size()) + " zone records";
}

// --- DefineFontName

void TSWFDefineFontName::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineFontName>(source);
  FontID = src.FontID;
  FontName = src.FontName;
  FontCopyright = src.FontCopyright;
}

void TSWFDefineFontName::ReadFromStream(TBitsEngine& be) {
  FontID = be.ReadWord();
  FontName = be.ReadString();
  FontCopyright = be.ReadString();
}

void TSWFDefineFontName::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(FontID);
  be.WriteString(FontName);
  be.WriteString(FontCopyright);
}

std::string TSWFDefineFontName::Summary() const { return "font " + std::to_string(FontID) + " " + Quoted(FontName); }

}  // namespace yel::swf
