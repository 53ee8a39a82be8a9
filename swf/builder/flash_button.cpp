// The button builder: records, release or condition actions (built, or
// compiled through the movie's compile context), and the sound record.
#include "swf/builder/flash_button.h"

#include <algorithm>

#include "base/files.h"
#include "swf/builder/flash_movie.h"

namespace yel::swf {

TFlashButton::TFlashButton(TFlashMovie* owner, bool trackAsMenu, bool secondForm)
    : TFlashVisualObject(owner), second_form_(secondForm) {
  if (secondForm) {
    auto button = std::make_unique<TSWFDefineButton2>();
    button->TrackAsMenu = trackAsMenu;
    record_ = std::move(button);
  } else {
    record_ = std::make_unique<TSWFDefineButton>();
  }
}

TFlashButton::~TFlashButton() = default;

void TFlashButton::AppendUsedIDs(std::vector<std::uint16_t>& ids) const {
  for (const auto& record : record_->ButtonRecords) ids.push_back(record->CharacterId);
}

int TFlashButton::MinVersion() const {
  int version = second_form_ ? 3 : 1;
  if (!second_form_) version = std::max(version, ActionListMinVersion(static_cast<TSWFDefineButton&>(*record_).Actions, 1));
  for (const auto& record : record_->ButtonRecords)
    if (second_form_ && (record->HasBlendMode || record->HasFilterList)) version = 8;
  if (second_form_)
    for (const auto& action : static_cast<TSWFDefineButton2&>(*record_).CondActions)
      version = std::max(version, ActionListMinVersion(*action, 3));
  return version;
}

void TFlashButton::SetCharacterId(std::uint16_t id) {
  TFlashVisualObject::SetCharacterId(id);
  record_->ButtonId = id;
}

TSWFButtonRecord& TFlashButton::AddRecord(TFlashVisualObject& character, std::uint8_t states, std::uint16_t depth,
                                          std::int32_t x, std::int32_t y) {
  TSWFButtonRecord& record = record_->AddRecord(character.CharacterId(), depth, states & kButtonUp,
                                                states & kButtonOver, states & kButtonDown, states & kButtonHitTest);
  if (x != 0 || y != 0) record.Matrix.SetTranslate(ScaleUnits(x, UnitFactor()), ScaleUnits(y, UnitFactor()));
  return record;
}

TFlashActionScript& TFlashButton::Actions() {
  if (second_form_) throw std::logic_error("a DefineButton2 has condition actions, not release actions");
  if (!actions_)
    actions_ = std::make_unique<TFlashActionScript>(Owner(), &static_cast<TSWFDefineButton&>(*record_).Actions);
  return *actions_;
}

TSWFButtonCondAction& TFlashButton::AddCondAction(std::uint16_t events) {
  if (!second_form_) throw std::logic_error("a DefineButton has release actions only");
  return static_cast<TSWFDefineButton2&>(*record_).AddCondAction(events);
}

TSWFButtonCondAction* TFlashButton::FindCondAction(std::uint16_t event, bool create) {
  if (!second_form_) return nullptr;
  for (auto& action : static_cast<TSWFDefineButton2&>(*record_).CondActions)
    if (action->ActionConditions & event) return action.get();
  return create ? &AddCondAction(event) : nullptr;
}

TFlashActionScript& TFlashButton::OnEvents(std::uint16_t events) {
  if (!second_form_) return Actions();
  builders_.push_back(std::make_unique<TFlashActionScript>(Owner(), &AddCondAction(events)));
  return *builders_.back();
}

TSWFActionList& TFlashButton::AddCondition(std::uint16_t events, std::uint8_t keyCode) {
  if (!second_form_) {
    // The first form runs its one list on release.
    if (events != kCondOverDownToOverUp || keyCode != 0)
      throw EActionCompileError("This button runs actions on release only (make it a DefineButton2 for others)");
    return Actions().Actions();
  }
  TSWFButtonCondAction& action = AddCondAction(events);
  action.KeyPress = keyCode & 0x7F;
  return action;
}

TSWFActionList* TFlashButton::FindCondition(std::uint16_t event) {
  if (!second_form_) return event == kCondOverDownToOverUp ? &Actions().Actions() : nullptr;
  return FindCondAction(event, false);
}

bool TFlashButton::CompileActions(TStream& source) {
  if (!Owner()) throw Error("Button actions can only be compiled for a button in a movie");
  try {
    source.Seek(0);
    Owner()->CompileContext().CompileButton(source, *this);
    return true;
  } catch (const EActionCompileError& error) {
    LogCompileError(*Owner(), error.what());
    return false;
  }
}

bool TFlashButton::CompileActions(std::string_view text) {
  TBufferStream stream(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  return CompileActions(stream);
}

bool TFlashButton::CompileActionsFile(const std::string& fileName) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
  TBufferStream stream(bytes.data(), bytes.size());
  return CompileActions(stream);
}

TSWFStartSound& TFlashButton::PressSound() { return sounds_.SoundSlot(TSWFDefineButtonSound::kOverUpToOverDown); }
TSWFStartSound& TFlashButton::ReleaseSound() { return sounds_.SoundSlot(TSWFDefineButtonSound::kOverDownToOverUp); }
TSWFStartSound& TFlashButton::RollOutSound() { return sounds_.SoundSlot(TSWFDefineButtonSound::kOverUpToIdle); }
TSWFStartSound& TFlashButton::RollOverSound() { return sounds_.SoundSlot(TSWFDefineButtonSound::kIdleToOverUp); }

void TFlashButton::WriteToStream(TBitsEngine& be) {
  record_->ButtonId = CharacterId();
  record_->WriteToStream(be);
  if (sounds_.HasSound()) {
    sounds_.ButtonId = CharacterId();
    sounds_.WriteToStream(be);
  }
}

TFlashButton* TFlashMovie::AddButton(bool trackAsMenu, bool secondForm) {
  return AddCharacter(std::make_unique<TFlashButton>(this, trackAsMenu, secondForm), Buttons());
}

}  // namespace yel::swf
