// The builder's object roots and the typed character lists.
#include "swf/builder/flash_object.h"

#include <algorithm>

#include "swf/builder/flash_movie.h"

namespace yel::swf {

void TFlashObject::Assign(const TBasedSWFObject&) {}

void TFlashObject::SetOwner(TFlashMovie* owner) {
  owner_ = owner;
  OwnerChanged();
}

void TFlashIDObject::Assign(const TBasedSWFObject& source) {
  TFlashObject::Assign(source);
  const auto& object = AssignSource<TFlashIDObject>(source);
  if (!Owner() && object.Owner()) SetOwner(object.Owner());
  SetCharacterId(object.CharacterId());
}

int TFlashVisualObject::UnitFactor() const {
  if (IgnoreMovieSettings || !Owner()) return 1;
  return Owner()->UnitMultiplier();
}

TFlashIDObject* TFlashObjectList::FindByID(std::uint16_t id) const {
  for (TFlashIDObject* item : items_) {
    if (item->CharacterId() == id) return item;
  }
  return nullptr;
}

void TFlashObjectList::Remove(const TFlashIDObject* object) {
  auto it = std::find(items_.begin(), items_.end(), object);
  if (it != items_.end()) items_.erase(it);
}

}  // namespace yel::swf
