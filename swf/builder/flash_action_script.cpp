// Action lists of the builder and their writing as DoAction tags.
#include "swf/builder/flash_action_script.h"

#include <algorithm>

#include "swf/format/actions/do_action_tags.h"

namespace yel::swf {

TFlashActionScript::TFlashActionScript(TFlashMovie* owner, TSWFActionList* list) : TFlashObject(owner) {
  if (!list) {
    owned_ = std::make_unique<TSWFActionList>();
    list = owned_.get();
  }
  actions_ = list;
}

TFlashActionScript::~TFlashActionScript() = default;

void TFlashActionScript::Assign(const TBasedSWFObject& source) {
  CopyActionList(AssignSource<TFlashActionScript>(source).Actions(), *actions_);
}

int TFlashActionScript::MinVersion() const { return ActionListMinVersion(*actions_, 1); }

void TFlashActionScript::WriteToStream(TBitsEngine& be) {
  TSWFDoAction tag(*actions_);
  tag.WriteToStream(be);
}

void TFlashActionScript::Play() { Add(std::make_unique<TSWFActionPlay>()); }
void TFlashActionScript::Stop() { Add(std::make_unique<TSWFActionStop>()); }
void TFlashActionScript::NextFrame() { Add(std::make_unique<TSWFActionNextFrame>()); }
void TFlashActionScript::PreviousFrame() { Add(std::make_unique<TSWFActionPreviousFrame>()); }

void TFlashActionScript::GotoFrame(std::uint16_t frame) {
  Add(std::make_unique<TSWFActionGotoFrame>())->Frame = frame;
}

}  // namespace yel::swf
