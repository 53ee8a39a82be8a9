// Button tags: DefineButton (one release action list), DefineButton2
// (condition actions, records with colour transforms, filters and blend
// modes), DefineButtonSound (sounds of four state transitions) and
// DefineButtonCxform (a colour transform for a first-version button).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/format/actions/action_list.h"
#include "swf/format/filters.h"
#include "swf/format/sound_tags.h"
#include "swf/format/swf_object.h"

namespace yel::swf {

// Conditions of a DefineButton2 action: bit i of a condition set stands for
// the i-th of these.
enum TSWFButtonCondition : std::uint16_t {
  kCondIdleToOverUp = 1u << 0,
  kCondOverUpToIdle = 1u << 1,
  kCondOverUpToOverDown = 1u << 2,
  kCondOverDownToOverUp = 1u << 3,
  kCondOutDownToOverDown = 1u << 4,
  kCondOverDownToOutDown = 1u << 5,
  kCondOutDownToIdle = 1u << 6,
  kCondIdleToOverDown = 1u << 7,
  kCondOverDownToIdle = 1u << 8,
};
inline constexpr int kButtonConditionCount = 9;
// "IdleToOverUp", ... for bit 0..8; empty otherwise.
const char* ButtonConditionName(int bit);
// Condition names joined by "+" ("IdleToOverUp+OverDownToIdle"); "" for none.
std::string ButtonConditionsText(std::uint16_t conditions);

// One character shown in some of the button's states.
class TSWFButtonRecord {
 public:
  void Assign(const TSWFButtonRecord& source);
  // Creating the transform marks the record as having one (with alpha).
  TSWFColorTransform& ColorTransform();
  const TSWFColorTransform& ColorTransform() const { return cxform_; }
  // Creating the list sets HasFilterList.
  TSWFFilterList& FilterList();
  const TSWFFilterList& FilterList() const { return filters_; }
  bool HasColorTransform() const { return has_cxform_; }
  void SetHasColorTransform(bool has) { has_cxform_ = has; }

  // secondForm: the record of a DefineButton2, with its transform, filters
  // and blend mode; a first-form record carries none of them.
  void WriteToStream(TBitsEngine& be, bool secondForm);
  // The flag byte has been read already.
  void ReadFromStream(TBitsEngine& be, std::uint8_t flags, bool secondForm);

  bool ButtonStateUp = false;
  bool ButtonStateOver = false;
  bool ButtonStateDown = false;
  bool ButtonStateHitTest = false;
  bool HasBlendMode = false;
  bool HasFilterList = false;
  std::uint16_t CharacterId = 0;
  std::uint16_t PlaceDepth = 0;
  TSWFMatrix Matrix;
  std::uint8_t BlendMode = 0;
  // Flag bits that the record's form gives no meaning (the top two, and in
  // a DefineButton the filter and blend bits too), kept as read: a record
  // whose only set bits are these is still a record, not the end of the list.
  std::uint8_t ReservedFlags = 0;

 private:
  TSWFColorTransform cxform_{true};
  TSWFFilterList filters_;
  bool has_cxform_ = false;
};

using TSWFButtonRecords = std::vector<std::unique_ptr<TSWFButtonRecord>>;

// The part both button definitions share: the id and the records.
class TSWFBasedButton : public TSWFObject {
 public:
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void SetReadContext(const TSWFReadContext& context) override;
  // Appends a record shown in the given states.
  TSWFButtonRecord& AddRecord(std::uint16_t characterId, std::uint16_t depth, bool up, bool over, bool down,
                              bool hitTest);

  std::uint16_t ButtonId = 0;
  TSWFButtonRecords ButtonRecords;
  // Reading option: decode the actions into records, or keep them as bytes.
  bool ParseActions = true;

 protected:
  explicit TSWFBasedButton(std::uint16_t tagId) : TSWFObject(tagId) {}
  void WriteRecords(TBitsEngine& be, bool secondForm);
  // Reads records up to their 0 byte; fails with yel::Error when the body
  // ends first.
  void ReadRecords(TBitsEngine& be, bool secondForm);
  std::string RecordsSummary() const;
};

class TSWFDefineButton : public TSWFBasedButton {
 public:
  TSWFDefineButton() : TSWFBasedButton(tag::DefineButton) {}
  void Assign(const TBasedSWFObject& source) override;
  // 3, or the highest MinVersion of the actions.
  int MinVersion() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  // Run when the button is released.
  TSWFActionList Actions;
};

// The actions a DefineButton2 runs on a set of conditions, or on a key.
class TSWFButtonCondAction : public TSWFActionList {
 public:
  std::uint16_t ActionConditions = 0;  // bits 0..8, see TSWFButtonCondition
  std::uint8_t KeyPress = 0;           // 7 bits
};

class TSWFDefineButton2 : public TSWFBasedButton {
 public:
  TSWFDefineButton2() : TSWFBasedButton(tag::DefineButton2) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  // Appends condition actions for a set of conditions.
  TSWFButtonCondAction& AddCondAction(std::uint16_t conditions, std::uint8_t keyPress = 0);

  bool TrackAsMenu = false;
  std::vector<std::unique_ptr<TSWFButtonCondAction>> CondActions;
};

class TSWFDefineButtonSound : public TSWFObject {
 public:
  // The four slots, in the order of the tag.
  enum Slot { kOverUpToIdle = 0, kIdleToOverUp = 1, kOverUpToOverDown = 2, kOverDownToOverUp = 3 };

  TSWFDefineButtonSound() : TSWFObject(tag::DefineButtonSound) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 2; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  // The slot's sound, created when asked for; Sound(slot) is null while unset.
  TSWFStartSound& SoundSlot(Slot slot);
  TSWFStartSound* Sound(Slot slot) const { return sounds_[slot].get(); }
  void ClearSlot(Slot slot) { sounds_[slot].reset(); }
  // True when a slot holds a sound other than id 0.
  bool HasSound() const;

  std::uint16_t ButtonId = 0;

 private:
  std::unique_ptr<TSWFStartSound> sounds_[4];
};

class TSWFDefineButtonCxform : public TSWFObject {
 public:
  TSWFDefineButtonCxform() : TSWFObject(tag::DefineButtonCxform) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 2; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t ButtonId = 0;
  TSWFColorTransform ColorTransform{false};
};

}  // namespace yel::swf
