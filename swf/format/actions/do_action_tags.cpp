// Bodies of DoAction and DoInitAction.
#include "swf/format/actions/do_action_tags.h"

#include <algorithm>

namespace yel::swf {

TSWFDoAction::TSWFDoAction() : TSWFDoAction(tag::DoAction) {}

TSWFDoAction::TSWFDoAction(std::uint16_t tagId)
    : TSWFObject(tagId), owned_(std::make_unique<TSWFActionList>()), actions_(owned_.get()) {}

TSWFDoAction::TSWFDoAction(TSWFActionList& borrowed) : TSWFObject(tag::DoAction), actions_(&borrowed) {}

void TSWFDoAction::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDoAction>(source);
  if (&src == this) return;
  ParseActions = src.ParseActions;
  owned_ = std::make_unique<TSWFActionList>();
  actions_ = owned_.get();
  CopyActionList(*src.actions_, *actions_);
}

int TSWFDoAction::MinVersion() const { return ActionListMinVersion(*actions_, 3); }

void TSWFDoAction::SetReadContext(const TSWFReadContext& context) { ParseActions = context.ParseActions; }

void TSWFDoAction::ReadActions(TBitsEngine& be, std::uint64_t size) {
  if (ParseActions) {
    ReadActionList(be, *actions_, size);
    return;
  }
  if (size == 0) return;
  auto raw = std::make_unique<TSWFActionByteCode>();
  std::uint64_t take = std::min<std::uint64_t>(size - 1, be.Stream().Remaining());
  raw->Bytes.resize(static_cast<std::size_t>(take));
  raw->Bytes.resize(be.ReadBytes(raw->Bytes.data(), raw->Bytes.size()));
  be.ReadByte();  // the End byte, written again by WriteActionList
  actions_->Add(std::move(raw));
}

void TSWFDoAction::ReadFromStream(TBitsEngine& be) { ReadActions(be, BodySize); }

void TSWFDoAction::WriteTagBody(TBitsEngine& be) { WriteActionList(be, *actions_); }

std::string TSWFDoAction::Summary() const {
  std::size_t records = 0;
  for (const auto& action : *actions_)
    if (action->ActionCode != kActionOffsetMarker) ++records;
  return std::to_string(records) + (records == 1 ? " action" : " actions");
}

void TSWFDoInitAction::Assign(const TBasedSWFObject& source) {
  TSWFDoAction::Assign(source);
  SpriteID = AssignSource<TSWFDoInitAction>(source).SpriteID;
}

void TSWFDoInitAction::ReadFromStream(TBitsEngine& be) {
  SpriteID = be.ReadWord();
  ReadActions(be, BodySize >= 2 ? BodySize - 2 : 0);
}

void TSWFDoInitAction::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(SpriteID);
  WriteActionList(be, Actions());
}

std::string TSWFDoInitAction::Summary() const { return "sprite " + std::to_string(SpriteID) + ", " + TSWFDoAction::Summary(); }

}  // namespace yel::swf
