// The tags that carry an action list in a movie: DoAction (frame actions)
// and DoInitAction (actions run once before a sprite's first use).
#pragma once

#include <memory>
#include <string>

#include "swf/format/actions/action_list.h"
#include "swf/format/swf_object.h"

namespace yel::swf {

class TSWFDoAction : public TSWFObject {
 public:
  // A tag with a list of its own.
  TSWFDoAction();
  // A tag around a list owned elsewhere, which must outlive it.
  explicit TSWFDoAction(TSWFActionList& borrowed);

  // Copies the records into a list of the tag's own.
  void Assign(const TBasedSWFObject& source) override;
  // The highest MinVersion of the records, at least 3.
  int MinVersion() const override;
  // With ParseActions the body is read into records; without, it is kept as
  // one raw record (the End byte is dropped and written again).
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void SetReadContext(const TSWFReadContext& context) override;
  std::string Summary() const override;

  TSWFActionList& Actions() { return *actions_; }
  const TSWFActionList& Actions() const { return *actions_; }
  bool OwnsList() const { return owned_ != nullptr; }

  bool ParseActions = true;

 protected:
  explicit TSWFDoAction(std::uint16_t tagId);
  // The list part of the body, of the given size.
  void ReadActions(TBitsEngine& be, std::uint64_t size);

 private:
  std::unique_ptr<TSWFActionList> owned_;
  TSWFActionList* actions_;
};

class TSWFDoInitAction : public TSWFDoAction {
 public:
  TSWFDoInitAction() : TSWFDoAction(tag::DoInitAction) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 6; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t SpriteID = 0;
};

}  // namespace yel::swf
