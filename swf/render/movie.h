// The movie as the renderer sees it: header, the dictionary of characters
// and the timelines (the main one and one per sprite), read tag by tag from
// a file or from bytes through the SWF reader as far as the frames asked for
// need. It knows nothing of drawing.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <unordered_set>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "swf/format/swf_records.h"

namespace yel::swf {
class TSWFObject;
class TSWFTagInfo;
class TSWFTagScanner;
class TSWFJPEGTables;
}  // namespace yel::swf

namespace yel::swf::render {

// The control tags of one timeline, frame by frame (PlaceObject 1-3,
// RemoveObject 1-2, DoAction), and its frame labels.
struct TTimeline {
  std::vector<std::vector<const TSWFObject*>> Frames;
  std::map<std::string, int> Labels;  // label (lower case) -> frame from 1
  int FrameCount() const { return int(Frames.size()); }
};

// Limits that keep damaged or hostile movies bounded.
inline constexpr int kMaxSpriteNesting = 64;

class TMovie {
 public:
  // Reads the header; throws yel::Error naming the file when it is no SWF
  // file or cannot be read.
  static std::unique_ptr<TMovie> OpenFile(const std::string& fileName);
  // The bytes must outlive the movie.
  static std::unique_ptr<TMovie> OpenBytes(const std::uint8_t* data, std::size_t size, const std::string& name);
  ~TMovie();

  const std::string& Name() const { return name_; }
  const TRect& StageRect() const { return stage_; }  // twips
  float FrameRate() const { return fps_; }
  int Version() const { return version_; }
  // Frames the header declares (at least 1).
  int DeclaredFrames() const { return declared_frames_; }
  // SetBackgroundColor's colour once read (white before).
  TPackedColor Background() const { return background_; }

  // Reads on until the main timeline has n frames or the file ends; returns
  // the frames it has.
  int LoadFrames(int n);
  // Reads the rest of the file.
  void LoadAll() { LoadFrames(0x7FFFFFFF); }
  bool Complete() const { return complete_; }
  const TTimeline& MainTimeline() const { return main_; }

  // The definition tag of a character (null when undefined so far).
  const TSWFObject* Character(std::uint16_t id) const;
  const TTimeline* SpriteTimeline(std::uint16_t id) const;
  const TSWFJPEGTables* JPEGTables() const { return jpeg_tables_; }
  // DefineFontInfo of a font, or null.
  const TSWFObject* FontInfo(std::uint16_t id) const;
  // DefineButtonCxform of a DefineButton, or null.
  const TSWFObject* ButtonCxform(std::uint16_t id) const;

  // Plans when each character's definition can be let go: the file is read
  // through once more, and a character is released once the main timeline
  // has passed the last frame in which it (or a character that uses it) can
  // be on stage. Only for movies whose frame scripts never send the main
  // timeline back; returns whether releasing is on.
  bool PlanReleases();
  // Lets go of the definitions no frame from `frame` on can use.
  void ReleaseBefore(int frame);
  bool Released() const { return released_ > 0; }
  // Definitions held now.
  std::size_t DefinitionCount() const { return definitions_.size(); }

  // Reports a problem once per text (skipped characters, scripts not run);
  // the default prints nothing.
  std::function<void(const std::string& message)> OnWarning;
  void Warn(const std::string& message);

 private:
  TMovie() = default;
  void ReadHeader();
  void AddTag(std::unique_ptr<TSWFTagInfo> info);
  void Define(std::uint16_t id, const TSWFObject* tag);
  TTimeline BuildSpriteTimeline(const TSWFObject& sprite);

  std::string name_;
  std::unique_ptr<TSWFTagScanner> scanner_;
  TRect stage_;
  float fps_ = 12;
  int version_ = 0;
  int declared_frames_ = 1;
  TPackedColor background_ = 0xFFFFFFFFu;
  bool complete_ = false;

  std::vector<std::unique_ptr<TSWFTagInfo>> kept_;
  std::unordered_map<std::uint16_t, std::unique_ptr<TSWFTagInfo>> definitions_;
  // Release plan: the last main-timeline frame each character may be
  // drawn in, and the characters by that frame.
  std::unordered_map<std::uint16_t, int> last_use_;
  std::multimap<int, std::uint16_t> release_order_;
  bool plan_ = false;
  std::size_t released_ = 0;
  std::string file_name_;
  const std::uint8_t* bytes_ = nullptr;
  std::size_t size_ = 0;
  std::unordered_map<std::uint16_t, const TSWFObject*> characters_;
  std::unordered_map<std::uint16_t, TTimeline> sprites_;
  std::unordered_map<std::uint16_t, const TSWFObject*> font_infos_;
  std::unordered_map<std::uint16_t, const TSWFObject*> button_cxforms_;
  const TSWFJPEGTables* jpeg_tables_ = nullptr;
  TTimeline main_;
  std::vector<const TSWFObject*> pending_;  // control tags of the frame being read
  std::string pending_label_;
  std::set<std::string> warned_;
};

}  // namespace yel::swf::render
