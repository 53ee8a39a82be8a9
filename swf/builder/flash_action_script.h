// TFlashActionScript: the builder object through which frame actions, sprite
// init actions and clip actions are assembled as an action list; written as
// one DoAction tag when it stands in a timeline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "swf/format/actions/action_list.h"
#include "swf/builder/flash_object.h"

namespace yel::swf {

class TFlashActionScript : public TFlashObject {
 public:
  // Appends to list when given (which then stays its holder's), otherwise to
  // a list of its own.
  explicit TFlashActionScript(TFlashMovie* owner, TSWFActionList* list = nullptr);
  ~TFlashActionScript() override;

  // Appends copies of the source's records.
  void Assign(const TBasedSWFObject& source) override;
  // The highest MinVersion of the records, at least 1.
  int MinVersion() const override;
  // Writes the list as one DoAction tag.
  void WriteToStream(TBitsEngine& be) override;

  TSWFActionList& Actions() { return *actions_; }
  const TSWFActionList& Actions() const { return *actions_; }
  bool OwnsList() const { return owned_ != nullptr; }
  TSWFAction* GetAction(std::size_t index) const { return actions_->At(index); }

  // Appends any record.
  template <class T>
  T* Add(std::unique_ptr<T> action) {
    return actions_->Add(std::move(action));
  }
  void Play();
  void Stop();
  void NextFrame();
  void PreviousFrame();
  void GotoFrame(std::uint16_t frame);

 private:
  std::unique_ptr<TSWFActionList> owned_;
  TSWFActionList* actions_;
};

}  // namespace yel::swf
