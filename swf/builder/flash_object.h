// The roots of the movie builder's object tree: TFlashObject (knows its
// movie), TFlashIDObject (a character with an id), TFlashVisualObject (a
// character that can be placed), and TFlashObjectList, the non-owning lists
// in which the movie keeps its characters by kind.
#pragma once

#include <cstdint>
#include <climits>
#include <vector>

#include "swf/format/swf_object.h"

namespace yel::swf {

class TFlashMovie;

// value x unit factor, held to the 32-bit range: movie units to twips.
inline std::int32_t ScaleUnits(std::int32_t value, int factor) {
  std::int64_t v = static_cast<std::int64_t>(value) * factor;
  return static_cast<std::int32_t>(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
}

class TFlashObject : public TBasedSWFObject {
 public:
  // Builder objects copy nothing by default; classes with content override.
  void Assign(const TBasedSWFObject& source) override;
  int LibraryLevel() const override { return 1; }

  TFlashMovie* Owner() const { return owner_; }
  // Sets the movie and then calls OwnerChanged.
  void SetOwner(TFlashMovie* owner);
  // Called after the owner was set (shapes hand it on to their pen).
  virtual void OwnerChanged() {}

  // True for the resource characters (bitmaps, sounds, fonts) that the
  // movie's MoveResource brings forward.
  virtual bool IsResourceDefinition() const { return false; }
  // Frames this object adds to the main timeline when it is written (an
  // external movie imported at the root); 0 for everything else.
  virtual int TimelineFrames() const { return 0; }

 protected:
  explicit TFlashObject(TFlashMovie* owner = nullptr) : owner_(owner) {}

 private:
  TFlashMovie* owner_;
};

class TFlashIDObject : public TFlashObject {
 public:
  // Copies the owner (when this object has none) and the id.
  void Assign(const TBasedSWFObject& source) override;
  virtual std::uint16_t CharacterId() const { return character_id_; }
  virtual void SetCharacterId(std::uint16_t id) { character_id_ = id; }
  // Appends the ids of the characters this one uses (placed, drawn with,
  // written in), whose definitions must come before its own.
  virtual void AppendUsedIDs(std::vector<std::uint16_t>& ids) const { (void)ids; }

 protected:
  using TFlashObject::TFlashObject;

 private:
  std::uint16_t character_id_ = 0;
};

class TFlashVisualObject : public TFlashIDObject {
 public:
  // 20 in a pixel movie, 1 in a twip movie, or without an owner, or when
  // IgnoreMovieSettings is set.
  int UnitFactor() const;

  bool IgnoreMovieSettings = false;

 protected:
  using TFlashIDObject::TFlashIDObject;
};

// Characters of the movie by kind, in creation order; the movie's object list
// owns them, these lists only refer to them.
class TFlashObjectList {
 public:
  void Add(TFlashIDObject* object) { items_.push_back(object); }
  std::uint16_t Count() const { return static_cast<std::uint16_t>(items_.size()); }
  TFlashIDObject* Items(std::uint16_t index) const { return items_.at(index); }
  TFlashIDObject* Last() const { return items_.empty() ? nullptr : items_.back(); }
  // First item with this id, from the front; null when there is none.
  TFlashIDObject* FindByID(std::uint16_t id) const;
  // Forgets an item (when the movie drops it); does nothing if absent.
  void Remove(const TFlashIDObject* object);
  void Clear() { items_.clear(); }

 private:
  std::vector<TFlashIDObject*> items_;
};

// The same list handing out items as their own class.
template <class T>
class TFlashTypedObjectList : public TFlashObjectList {
 public:
  T* Items(std::uint16_t index) const { return static_cast<T*>(TFlashObjectList::Items(index)); }
  T* Last() const { return static_cast<T*>(TFlashObjectList::Last()); }
  T* FindByID(std::uint16_t id) const { return static_cast<T*>(TFlashObjectList::FindByID(id)); }
};

class TFlashShape;
class TFlashImage;
class TFlashSound;
class TFlashSprite;
class TFlashText;
class TFlashFont;
class TFlashButton;
class TFlashMorphShape;
class TFlashVideo;

using TFlashShapeList = TFlashTypedObjectList<TFlashShape>;
using TFlashImageList = TFlashTypedObjectList<TFlashImage>;
using TFlashSoundList = TFlashTypedObjectList<TFlashSound>;
using TFlashSpriteList = TFlashTypedObjectList<TFlashSprite>;
using TFlashTextList = TFlashTypedObjectList<TFlashText>;
using TFlashFontList = TFlashTypedObjectList<TFlashFont>;
using TFlashButtonList = TFlashTypedObjectList<TFlashButton>;
using TFlashMorphShapeList = TFlashTypedObjectList<TFlashMorphShape>;
using TFlashVideoList = TFlashTypedObjectList<TFlashVideo>;

}  // namespace yel::swf
