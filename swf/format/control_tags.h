// Control tags: End, ShowFrame, SetBackgroundColor, FrameLabel, the Protect
// family, ExportAssets and the ImportAssets tags, ScriptLimits, SetTabIndex,
// FileAttributes, Metadata and DefineScalingGrid.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "swf/format/swf_object.h"

namespace yel::swf {

class TSWFEnd : public TSWFObject {
 public:
  TSWFEnd() : TSWFObject(tag::End) {}
};

class TSWFShowFrame : public TSWFObject {
 public:
  TSWFShowFrame() : TSWFObject(tag::ShowFrame) {}
};

class TSWFSetBackgroundColor : public TSWFObject {
 public:
  TSWFSetBackgroundColor() : TSWFObject(tag::SetBackgroundColor) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  TSWFRGB Color;
};

class TSWFFrameLabel : public TSWFObject {
 public:
  TSWFFrameLabel() : TSWFObject(tag::FrameLabel) {}
  explicit TSWFFrameLabel(std::string name) : TSWFObject(tag::FrameLabel), Name(std::move(name)) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return isAnchor ? 6 : 3; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::string Name;
  bool isAnchor = false;
};

// Protect (24); the debugger tags share its body. A set Password is hashed
// into Hash, with a fresh salt, every time the tag is written.
class TSWFProtect : public TSWFObject {
 public:
  TSWFProtect() : TSWFObject(tag::Protect) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::string Password;
  std::string Hash;

 protected:
  explicit TSWFProtect(std::uint16_t tagId) : TSWFObject(tagId) {}
};

class TSWFEnableDebugger : public TSWFProtect {
 public:
  TSWFEnableDebugger() : TSWFProtect(tag::EnableDebugger) {}
  int MinVersion() const override { return 5; }
};

class TSWFEnableDebugger2 : public TSWFProtect {
 public:
  TSWFEnableDebugger2() : TSWFProtect(tag::EnableDebugger2) {}
  int MinVersion() const override { return 6; }
};

struct TSWFAsset {
  std::string Name;
  std::uint16_t ID = 0;
};

class TSWFExportAssets : public TSWFObject {
 public:
  TSWFExportAssets() : TSWFObject(tag::ExportAssets) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 5; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;
  // Updates the id of an asset with exactly this name, or appends a new one.
  void AddAsset(const std::string& name, std::uint16_t id);

  std::vector<TSWFAsset> Assets;

 protected:
  explicit TSWFExportAssets(std::uint16_t tagId) : TSWFObject(tagId) {}
  void ReadAssets(TBitsEngine& be);
  void WriteAssets(TBitsEngine& be);
};

class TSWFImportAssets : public TSWFExportAssets {
 public:
  TSWFImportAssets() : TSWFExportAssets(tag::ImportAssets) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::string URL;

 protected:
  explicit TSWFImportAssets(std::uint16_t tagId) : TSWFExportAssets(tagId) {}
};

class TSWFImportAssets2 : public TSWFImportAssets {
 public:
  TSWFImportAssets2() : TSWFImportAssets(tag::ImportAssets2) {}
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
};

class TSWFScriptLimits : public TSWFObject {
 public:
  TSWFScriptLimits() : TSWFObject(tag::ScriptLimits) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 7; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t MaxRecursionDepth = 0;
  std::uint16_t ScriptTimeoutSeconds = 0;
};

class TSWFSetTabIndex : public TSWFObject {
 public:
  TSWFSetTabIndex() : TSWFObject(tag::SetTabIndex) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 7; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t Depth = 0;
  std::uint16_t TabIndex = 0;
};

class TSWFFileAttributes : public TSWFObject {
 public:
  TSWFFileAttributes() : TSWFObject(tag::FileAttributes) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  bool HasMetadata = false;
  bool UseNetwork = false;
};

// XML text; written as UTF-8, read back as stored.
class TSWFMetadata : public TSWFObject {
 public:
  TSWFMetadata() : TSWFObject(tag::Metadata) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::string Value;
};

class TSWFDefineScalingGrid : public TSWFObject {
 public:
  TSWFDefineScalingGrid() : TSWFObject(tag::DefineScalingGrid) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t ID = 0;
  TSWFRect Splitter;
};

}  // namespace yel::swf
