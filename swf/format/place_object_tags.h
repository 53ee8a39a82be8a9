// Placement tags of the display list: PlaceObject, PlaceObject2 and
// PlaceObject3 (with clip event actions, filters, blend mode and bitmap
// caching), RemoveObject and RemoveObject2.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/format/actions/action_list.h"
#include "swf/format/filters.h"
#include "swf/format/swf_object.h"

namespace yel::swf {

// Clip events: bit i of an event set stands for the i-th of these.
enum TSWFClipEvent : std::uint32_t {
  kClipEventKeyUp = 1u << 0,
  kClipEventKeyDown = 1u << 1,
  kClipEventMouseUp = 1u << 2,
  kClipEventMouseDown = 1u << 3,
  kClipEventMouseMove = 1u << 4,
  kClipEventUnload = 1u << 5,
  kClipEventEnterFrame = 1u << 6,
  kClipEventLoad = 1u << 7,
  kClipEventDragOver = 1u << 8,
  kClipEventRollOut = 1u << 9,
  kClipEventRollOver = 1u << 10,
  kClipEventReleaseOutside = 1u << 11,
  kClipEventRelease = 1u << 12,
  kClipEventPress = 1u << 13,
  kClipEventInitialize = 1u << 14,
  kClipEventData = 1u << 15,
  kClipEventConstruct = 1u << 16,
  kClipEventKeyPress = 1u << 17,
  kClipEventDragOut = 1u << 18,
};
inline constexpr int kClipEventCount = 19;
// "KeyUp", "KeyDown", ... for bit 0..18; empty otherwise.
const char* ClipEventName(int bit);
// Event names joined by "+" ("Release+KeyPress"); "" for an empty set.
std::string ClipEventsText(std::uint32_t events);

// The actions run on a set of clip events.
class TSWFClipActionRecord : public TSWFActionList {
 public:
  std::uint8_t KeyCode() const { return key_code_; }
  // A non-zero key code adds KeyPress to the event set, zero takes it out.
  void SetKeyCode(std::uint8_t code);

  std::uint32_t EventFlags = 0;

 private:
  std::uint8_t key_code_ = 0;
};

class TSWFClipActions {
 public:
  void Assign(const TSWFClipActions& source);
  // Appends a record for events (and KeyPress when keyCode is not 0);
  // AllEventFlags takes in events as given.
  TSWFClipActionRecord& AddActions(std::uint32_t events, std::uint8_t keyCode = 0);

  std::vector<std::unique_ptr<TSWFClipActionRecord>> Records;
  std::uint32_t AllEventFlags = 0;
};

class TSWFBasedPlaceObject : public TSWFObject {
 public:
  void Assign(const TBasedSWFObject& source) override;
  virtual void SetCharacterId(std::uint16_t id) { CharacterId = id; }

  std::uint16_t CharacterId = 0;
  std::uint16_t Depth = 0;

 protected:
  using TSWFObject::TSWFObject;
};

class TSWFPlaceObject : public TSWFBasedPlaceObject {
 public:
  TSWFPlaceObject() : TSWFBasedPlaceObject(tag::PlaceObject) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  // Written when HasColorTransform is set or the transform has terms.
  bool ColorTransformPresent() const;

  TSWFMatrix Matrix;
  TSWFColorTransform ColorTransform{false};
  bool HasColorTransform = false;
};

class TSWFPlaceObject2 : public TSWFBasedPlaceObject {
 public:
  TSWFPlaceObject2() : TSWFBasedPlaceObject(tag::PlaceObject2) {}
  void Assign(const TBasedSWFObject& source) override;
  // 3; with clip actions 5, the reading version when higher, and 6 at least
  // when an event needs the 32-bit event field (Construct, KeyPress, DragOut).
  int MinVersion() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void SetReadContext(const TSWFReadContext& context) override;
  std::string Summary() const override;

  // Each setter and accessor sets the field's flag; SetName sets HasName
  // exactly when the name is not empty.
  void SetCharacterId(std::uint16_t id) override;
  void SetClipDepth(std::uint16_t depth);
  void SetRatio(std::uint16_t ratio);
  void SetName(const std::string& name);
  TSWFMatrix& Matrix();
  TSWFColorTransform& ColorTransform();
  TSWFClipActions& ClipActions();
  // Read-only views; they set no flag.
  const TSWFMatrix& Matrix() const { return matrix_; }
  const TSWFColorTransform& ColorTransform() const { return cxform_; }
  const TSWFClipActions& ClipActions() const { return clip_actions_; }

  bool HasCharacter = false;
  bool HasClipActions = false;
  bool HasClipDepth = false;
  bool HasColorTransform = false;
  bool HasMatrix = false;
  bool HasName = false;
  bool HasRatio = false;
  bool Move = false;
  std::uint16_t ClipDepth = 0;
  std::uint16_t Ratio = 0;
  std::string Name;
  // Reading option: decode clip actions into records (or keep them raw).
  bool ParseActions = true;
  // Version of the file the tag belongs to; it decides the event field width.
  std::uint8_t SWFVersion = 3;

 protected:
  explicit TSWFPlaceObject2(std::uint16_t tagId) : TSWFBasedPlaceObject(tagId) {}
  // The PlaceObject3 parts: the flag byte after the first one, and the
  // fields that follow ClipDepth.
  virtual void ReadPlaceFlags3(TBitsEngine&) {}
  virtual void ReadPlaceFields3(TBitsEngine&) {}
  virtual void WritePlaceFlags3(TBitsEngine&) {}
  virtual void WritePlaceFields3(TBitsEngine&) {}

 private:
  void ReadClipActions(TBitsEngine& be);
  void WriteClipActions(TBitsEngine& be);
  void WriteEventFlags(TBitsEngine& be, std::uint32_t events) const;
  std::uint32_t ReadEventFlags(TBitsEngine& be) const;

  TSWFMatrix matrix_;
  TSWFColorTransform cxform_{true};
  TSWFClipActions clip_actions_;
};

class TSWFPlaceObject3 : public TSWFPlaceObject2 {
 public:
  TSWFPlaceObject3() : TSWFPlaceObject2(tag::PlaceObject3) { SWFVersion = 8; }
  void Assign(const TBasedSWFObject& source) override;
  // 8, or the PlaceObject2 rule when written as one.
  int MinVersion() const override;
  std::string Summary() const override;

  // Creating the list sets HasFilterList.
  TSWFFilterList& FilterList();
  const TSWFFilterList& FilterList() const { return filters_; }

  std::uint8_t BlendMode = 0;
  bool HasCacheAsBitmap = false;
  bool HasBlendMode = false;
  bool HasFilterList = false;
  // Writes exactly a PlaceObject2 body (set together with TagID 26).
  bool AsPlaceObject2 = false;
  // The bitmap-cache byte written after the blend mode when HasCacheAsBitmap
  // is set (0: caching off); kept as read.
  std::uint8_t BitmapCache = 1;

 protected:
  void ReadPlaceFlags3(TBitsEngine& be) override;
  void ReadPlaceFields3(TBitsEngine& be) override;
  void WritePlaceFlags3(TBitsEngine& be) override;
  void WritePlaceFields3(TBitsEngine& be) override;

 private:
  TSWFFilterList filters_;
};

class TSWFRemoveObject : public TSWFObject {
 public:
  TSWFRemoveObject() : TSWFObject(tag::RemoveObject) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t CharacterId = 0;
  std::uint16_t Depth = 0;
};

class TSWFRemoveObject2 : public TSWFObject {
 public:
  TSWFRemoveObject2() : TSWFObject(tag::RemoveObject2) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t Depth = 0;
};

}  // namespace yel::swf
