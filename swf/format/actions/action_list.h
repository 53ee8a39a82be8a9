// TSWFActionList, the owning ordered list of action records, and the list
// operations shared by every holder of actions (DoAction, DoInitAction, clip
// event actions, button conditions): reading, writing and copying a list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "swf/format/actions/action_records.h"

namespace yel::swf {

class TSWFActionList {
 public:
  TSWFActionList() = default;
  TSWFActionList(const TSWFActionList&) = delete;
  TSWFActionList& operator=(const TSWFActionList&) = delete;

  std::size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  TSWFAction* operator[](std::size_t index) const { return items_[index].get(); }
  TSWFAction* At(std::size_t index) const { return items_.at(index).get(); }
  // Index of action, or -1.
  int IndexOf(const TSWFAction* action) const;

  // Appends (or inserts before index) a record and returns it.
  template <class T>
  T* Add(std::unique_ptr<T> action) {
    T* raw = action.get();
    Insert(items_.size(), std::unique_ptr<TSWFAction>(std::move(action)));
    return raw;
  }
  TSWFAction* Insert(std::size_t index, std::unique_ptr<TSWFAction> action);
  // Puts a marker that a branch record made (Marker(), TryMarker() ...) into
  // the list, which takes it over from the record.
  TSWFOffsetMarker* AddMarker(TSWFOffsetMarker* marker) { return InsertMarker(items_.size(), marker); }
  TSWFOffsetMarker* InsertMarker(std::size_t index, TSWFOffsetMarker* marker);
  // Frees the record at index; branch records of this list that refer to a
  // freed marker lose their marker.
  void Delete(std::size_t index);
  void Clear();
  // Hands out every record (markers included) and leaves the list empty;
  // records keep their links to each other's markers.
  std::vector<std::unique_ptr<TSWFAction>> TakeAll();
  // Replaces the records by items (as TakeAll gave them, or reordered).
  void PutAll(std::vector<std::unique_ptr<TSWFAction>> items);

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  friend void ReadActionList(TBitsEngine& be, TSWFActionList& list, std::uint64_t maxBytes);

  // Takes ownership of a marker from the record holding it, if any.
  static std::unique_ptr<TSWFAction> Adopt(TSWFOffsetMarker* marker);
  void ForgetMarker(const TSWFOffsetMarker* marker);

  std::vector<std::unique_ptr<TSWFAction>> items_;
};

// Reads records from the engine's position until an End byte (0x00), the end
// of the stream, or maxBytes bytes, and appends them; then places inactive
// markers at the targets of the branch records read. Throws
// std::runtime_error for a record whose length runs past maxBytes, a branch
// or block that points outside the list, and bodies that cannot be decoded
// (a Push value of unknown type, a constant pool longer than its record).
void ReadActionList(TBitsEngine& be, TSWFActionList& list, std::uint64_t maxBytes);
// Every record in list order, then the End byte. Markers patch the offsets of
// the records that refer to them; the target stream must be seekable.
void WriteActionList(TBitsEngine& be, TSWFActionList& list);
// Appends copies of the records of source to target; branch records that
// take their offsets from markers of source get the copied markers.
void CopyActionList(const TSWFActionList& source, TSWFActionList& target);
// From the current position, the position just after the next End byte of
// an action list (the starting position if there is none); the stream's
// position is left unchanged.
std::uint64_t FindActionListEnd(TBitsEngine& be);
// Highest MinVersion of the records of list, at least minimum.
int ActionListMinVersion(const TSWFActionList& list, int minimum = 3);

}  // namespace yel::swf
