// TFlashButton: a button character with up to four looks (records naming the
// characters shown in the up, over, down and hit states), actions run on
// button events, and the sounds of four state changes. Written as
// DefineButton, or DefineButton2 in its second form, followed by
// DefineButtonSound when a sound is set.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "swf/builder/compile_context_base.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_object.h"
#include "swf/format/button_tags.h"

namespace yel::swf {

// The states a record is shown in.
enum TFlashButtonState : std::uint8_t {
  kButtonUp = 1,
  kButtonOver = 2,
  kButtonDown = 4,
  kButtonHitTest = 8,
  kButtonAllStates = 15,
};

class TFlashButton : public TFlashVisualObject, public TFlashButtonConditions {
 public:
  TFlashButton(TFlashMovie* owner, bool trackAsMenu, bool secondForm);
  ~TFlashButton() override;

  // 1 for the first form (or what its actions need), 3 for the second, and
  // 8 when a record has filters or a blend mode.
  int MinVersion() const override;
  void WriteToStream(TBitsEngine& be) override;
  void SetCharacterId(std::uint16_t id) override;
  // The characters of its records.
  void AppendUsedIDs(std::vector<std::uint16_t>& ids) const override;

  bool SecondForm() const { return second_form_; }
  TSWFBasedButton& ButtonRecord() { return *record_; }
  // Shows character in the given states at depth, moved by x, y (movie
  // units).
  TSWFButtonRecord& AddRecord(TFlashVisualObject& character, std::uint8_t states, std::uint16_t depth,
                              std::int32_t x = 0, std::int32_t y = 0);

  // The release actions of the first form.
  TFlashActionScript& Actions();
  // Second form: condition actions for a set of events (bits 0..8, see
  // TSWFButtonCondition), appended to the button record.
  TSWFButtonCondAction& AddCondAction(std::uint16_t events);
  // The first condition actions whose set holds event; with create a new
  // one for that event alone when there is none.
  TSWFButtonCondAction* FindCondAction(std::uint16_t event, bool create);
  // An action builder over new condition actions for the events (the
  // release actions in the first form, which knows no other event).
  TFlashActionScript& OnEvents(std::uint16_t events);
  // Compiles "on (...)" handlers into the button through the movie's compile
  // context; a compile error goes to the movie's CompileErrors and gives
  // false.
  bool CompileActions(TStream& source);
  bool CompileActions(std::string_view text);
  bool CompileActionsFile(const std::string& fileName);

  // The sounds of the state changes, created on first access.
  TSWFStartSound& PressSound();     // over up to over down
  TSWFStartSound& ReleaseSound();   // over down to over up
  TSWFStartSound& RollOutSound();   // over up to idle
  TSWFStartSound& RollOverSound();  // idle to over up
  TSWFDefineButtonSound& SoundRecord() { return sounds_; }

  // TFlashButtonConditions, for the compiler.
  TSWFActionList& AddCondition(std::uint16_t events, std::uint8_t keyCode) override;
  TSWFActionList* FindCondition(std::uint16_t event) override;

 private:
  bool second_form_;
  std::unique_ptr<TSWFBasedButton> record_;
  std::unique_ptr<TFlashActionScript> actions_;
  std::vector<std::unique_ptr<TFlashActionScript>> builders_;
  TSWFDefineButtonSound sounds_;
};

}  // namespace yel::swf
