// Bodies of the control tags.
#include "swf/format/control_tags.h"

#include <algorithm>
#include <cstdio>

#include "swf/format/md5.h"

namespace yel::swf {
namespace {

// Bytes of the body not consumed yet, for a body that started at start.
std::uint64_t BodyLeft(TBitsEngine& be, std::uint64_t start, std::uint32_t bodySize) {
  std::uint64_t used = be.Stream().Position() - start;
  std::uint64_t left = used < bodySize ? bodySize - used : 0;
  return std::min(left, be.Stream().Remaining());
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

// --- SetBackgroundColor

void TSWFSetBackgroundColor::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  Color.Assign(AssignSource<TSWFSetBackgroundColor>(source).Color);
}

void TSWFSetBackgroundColor::ReadFromStream(TBitsEngine& be) {
  TSWFRGBRec c = be.ReadRGB();
  Color.R = c.R;
  Color.G = c.G;
  Color.B = c.B;
}

void TSWFSetBackgroundColor::WriteTagBody(TBitsEngine& be) { be.WriteRGB(Color.RGB()); }

std::string TSWFSetBackgroundColor::Summary() const {
  char text[16];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", Color.R, Color.G, Color.B);
  return text;
}

// --- FrameLabel

void TSWFFrameLabel::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFFrameLabel>(source);
  Name = src.Name;
  isAnchor = src.isAnchor;
}

void TSWFFrameLabel::ReadFromStream(TBitsEngine& be) {
  std::uint64_t start = be.Stream().Position();
  Name = be.ReadString();
  if (BodyLeft(be, start, BodySize) == 1) isAnchor = be.ReadByte() != 0;
}

void TSWFFrameLabel::WriteTagBody(TBitsEngine& be) {
  be.WriteString(Name, true, false);
  if (isAnchor) be.WriteByte(1);
}

std::string TSWFFrameLabel::Summary() const { return Quoted(Name) + (isAnchor ? " anchor" : ""); }

// --- Protect, EnableDebugger, EnableDebugger2

void TSWFProtect::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFProtect>(source);
  Password = src.Password;
  Hash = src.Hash;
}

int TSWFProtect::MinVersion() const { return Password.empty() && Hash.empty() ? 2 : 5; }

void TSWFProtect::ReadFromStream(TBitsEngine& be) {
  if (BodySize == 0) return;
  std::uint64_t start = be.Stream().Position();
  // The hash follows a reserved 0 word. Some writers leave the word out (the
  // published EnableDebugger layout has none); skipping two bytes of such a
  // body would cut the start off the hash, so it is read from the start.
  std::uint16_t reserved = be.ReadWord();
  if (reserved != 0) be.Stream().Seek(start);
  Hash = be.ReadFixedString(static_cast<int>(std::min<std::uint64_t>(BodyLeft(be, start, BodySize), 255)));
}

void TSWFProtect::WriteTagBody(TBitsEngine& be) {
  if (Password.empty() && Hash.empty()) return;
  be.WriteWord(0);
  if (!Password.empty()) Hash = MD5Crypt(Password);
  be.WriteString(Hash, true, false);
}

std::string TSWFProtect::Summary() const { return Hash.empty() ? "no password" : "hash " + Hash; }

// --- ExportAssets, ImportAssets, ImportAssets2

void TSWFExportAssets::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  Assets = AssignSource<TSWFExportAssets>(source).Assets;
}

void TSWFExportAssets::AddAsset(const std::string& name, std::uint16_t id) {
  for (auto& asset : Assets) {
    if (asset.Name == name) {
      asset.ID = id;
      return;
    }
  }
  Assets.push_back({name, id});
}

void TSWFExportAssets::ReadAssets(TBitsEngine& be) {
  std::uint16_t count = be.ReadWord();
  Assets.clear();
  // A count larger than the body can hold ends with the body.
  for (std::uint16_t i = 0; i < count && be.Stream().Remaining() > 0; ++i) {
    TSWFAsset asset;
    asset.ID = be.ReadWord();
    asset.Name = be.ReadString();
    Assets.push_back(std::move(asset));
  }
}

void TSWFExportAssets::WriteAssets(TBitsEngine& be) {
  be.WriteWord(static_cast<std::uint16_t>(Assets.size()));
  for (const auto& asset : Assets) {
    be.WriteWord(asset.ID);
    be.WriteString(asset.Name, true, false);
  }
}

void TSWFExportAssets::ReadFromStream(TBitsEngine& be) { ReadAssets(be); }
void TSWFExportAssets::WriteTagBody(TBitsEngine& be) { WriteAssets(be); }

std::string TSWFExportAssets::Summary() const {
  std::string text;
  for (const auto& asset : Assets) {
    if (!text.empty()) text += ", ";
    text += std::to_string(asset.ID) + " " + Quoted(asset.Name);
  }
  return text.empty() ? "no assets" : text;
}

void TSWFImportAssets::Assign(const TBasedSWFObject& source) {
  TSWFExportAssets::Assign(source);
  URL = AssignSource<TSWFImportAssets>(source).URL;
}

void TSWFImportAssets::ReadFromStream(TBitsEngine& be) {
  URL = be.ReadString();
  ReadAssets(be);
}

void TSWFImportAssets::WriteTagBody(TBitsEngine& be) {
  be.WriteString(URL, true, false);
  WriteAssets(be);
}

std::string TSWFImportAssets::Summary() const { return "from " + Quoted(URL) + ": " + TSWFExportAssets::Summary(); }

void TSWFImportAssets2::ReadFromStream(TBitsEngine& be) {
  URL = be.ReadString();
  be.ReadByte();
  be.ReadByte();
  ReadAssets(be);
}

void TSWFImportAssets2::WriteTagBody(TBitsEngine& be) {
  be.WriteString(URL, true, false);
  be.WriteByte(1);
  be.WriteByte(0);
  WriteAssets(be);
}

// --- ScriptLimits, SetTabIndex

void TSWFScriptLimits::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFScriptLimits>(source);
  MaxRecursionDepth = src.MaxRecursionDepth;
  ScriptTimeoutSeconds = src.ScriptTimeoutSeconds;
}

void TSWFScriptLimits::ReadFromStream(TBitsEngine& be) {
  MaxRecursionDepth = be.ReadWord();
  ScriptTimeoutSeconds = be.ReadWord();
}

void TSWFScriptLimits::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(MaxRecursionDepth);
  be.WriteWord(ScriptTimeoutSeconds);
}

std::string TSWFScriptLimits::Summary() const {
  return "recursion " + std::to_string(MaxRecursionDepth) + ", timeout " + std::to_string(ScriptTimeoutSeconds) + " s";
}

void TSWFSetTabIndex::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFSetTabIndex>(source);
  Depth = src.Depth;
  TabIndex = src.TabIndex;
}

void TSWFSetTabIndex::ReadFromStream(TBitsEngine& be) {
  Depth = be.ReadWord();
  TabIndex = be.ReadWord();
}

void TSWFSetTabIndex::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(Depth);
  be.WriteWord(TabIndex);
}

std::string TSWFSetTabIndex::Summary() const {
  return "depth " + std::to_string(Depth) + ", tab index " + std::to_string(TabIndex);
}

// --- FileAttributes

void TSWFFileAttributes::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFFileAttributes>(source);
  HasMetadata = src.HasMetadata;
  UseNetwork = src.UseNetwork;
}

void TSWFFileAttributes::ReadFromStream(TBitsEngine& be) {
  std::uint8_t flags = be.ReadByte();
  HasMetadata = flags & 0x10;
  UseNetwork = flags & 0x01;
  be.ReadByte();
  be.ReadByte();
  be.ReadByte();
}

void TSWFFileAttributes::WriteTagBody(TBitsEngine& be) {
  be.WriteByte(static_cast<std::uint8_t>((HasMetadata ? 0x10 : 0) | (UseNetwork ? 0x01 : 0)));
  be.WriteByte(0);
  be.WriteByte(0);
  be.WriteByte(0);
}

std::string TSWFFileAttributes::Summary() const {
  return std::string(HasMetadata ? "metadata" : "no metadata") + (UseNetwork ? ", network" : ", local files");
}

// --- Metadata

void TSWFMetadata::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  Value = AssignSource<TSWFMetadata>(source).Value;
}

void TSWFMetadata::ReadFromStream(TBitsEngine& be) { Value = be.ReadString(); }

void TSWFMetadata::WriteTagBody(TBitsEngine& be) { be.WriteString(Value, true, true); }

std::string TSWFMetadata::Summary() const {
  std::string text = Value.size() > 60 ? Value.substr(0, 57) + "..." : Value;
  for (char& ch : text)
    if (ch == '\n' || ch == '\r' || ch == '\t') ch = ' ';
  return std::to_string(Value.size()) + " bytes: " + text;
}

// --- DefineScalingGrid

void TSWFDefineScalingGrid::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineScalingGrid>(source);
  ID = src.ID;
  Splitter.Assign(src.Splitter);
}

void TSWFDefineScalingGrid::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  Splitter.SetRect(be.ReadRect());
}

void TSWFDefineScalingGrid::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  be.WriteRect(Splitter.Rect());
}

std::string TSWFDefineScalingGrid::Summary() const {
  return "character " + std::to_string(ID) + ", splitter " + std::to_string(Splitter.XMin()) + "," +
         std::to_string(Splitter.YMin()) + " - " + std::to_string(Splitter.XMax()) + "," +
         std::to_string(Splitter.YMax());
}

}  // namespace yel::swf
