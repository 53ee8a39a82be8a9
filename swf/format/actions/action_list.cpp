// The action list and its reader, writer and copier.
#include "swf/format/actions/action_list.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "base/byte_stream.h"

namespace yel::swf {

// --- TSWFActionList

int TSWFActionList::IndexOf(const TSWFAction* action) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == action) return static_cast<int>(i);
  return -1;
}

TSWFAction* TSWFActionList::Insert(std::size_t index, std::unique_ptr<TSWFAction> action) {
  if (!action) throw std::invalid_argument("no action record to insert");
  if (index > items_.size()) throw std::out_of_range("action list index out of range");
  // Every marker class has the marker code (a cheap test on every append).
  if (action->ActionCode == kActionOffsetMarker) static_cast<TSWFOffsetMarker*>(action.get())->InList = true;
  TSWFAction* raw = action.get();
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(action));
  return raw;
}

std::unique_ptr<TSWFAction> TSWFActionList::Adopt(TSWFOffsetMarker* marker) {
  if (marker->holder_) {
    marker->holder_->release();
    marker->holder_ = nullptr;
  } else if (marker->InList) {
    throw std::logic_error("the offset marker \"" + marker->Label + "\" is already in a list");
  }
  marker->InList = true;
  return std::unique_ptr<TSWFAction>(marker);
}

TSWFOffsetMarker* TSWFActionList::InsertMarker(std::size_t index, TSWFOffsetMarker* marker) {
  if (!marker) throw std::invalid_argument("no offset marker to insert");
  if (index > items_.size()) throw std::out_of_range("action list index out of range");
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), Adopt(marker));
  return marker;
}

void TSWFActionList::ForgetMarker(const TSWFOffsetMarker* marker) {
  for (auto& item : items_) {
    if (auto* link = dynamic_cast<TSWFBranchLink*>(item.get())) {
      if (link->CurrentMarker() == marker) link->SetMarker(nullptr);
    } else if (auto* block = dynamic_cast<TSWFActionTry*>(item.get())) {
      auto keep = [&](TSWFTryOffsetMarker* m) { return m == marker ? nullptr : m; };
      block->SetMarkers(keep(block->CurrentTryMarker()), keep(block->CurrentCatchMarker()),
                        keep(block->CurrentFinallyMarker()));
    } else if (auto* tryMarker = dynamic_cast<TSWFTryOffsetMarker*>(item.get())) {
      if (tryMarker->PrevMarker == marker) tryMarker->PrevMarker = nullptr;
    }
  }
}

void TSWFActionList::Delete(std::size_t index) {
  if (index >= items_.size()) throw std::out_of_range("action list index out of range");
  std::unique_ptr<TSWFAction> gone = std::move(items_[index]);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  if (auto* marker = dynamic_cast<TSWFOffsetMarker*>(gone.get())) ForgetMarker(marker);
}

void TSWFActionList::Clear() { items_.clear(); }

std::vector<std::unique_ptr<TSWFAction>> TSWFActionList::TakeAll() {
  std::vector<std::unique_ptr<TSWFAction>> items;
  items.swap(items_);
  return items;
}

void TSWFActionList::PutAll(std::vector<std::unique_ptr<TSWFAction>> items) {
  for (auto& item : items) {
    if (!item) throw std::invalid_argument("no action record to insert");
    if (item->ActionCode == kActionOffsetMarker) static_cast<TSWFOffsetMarker*>(item.get())->InList = true;
  }
  items_ = std::move(items);
}

int ActionListMinVersion(const TSWFActionList& list, int minimum) {
  int version = minimum;
  for (const auto& action : list) version = std::max(version, action->MinVersion());
  return version;
}

// --- reading

namespace {

std::string At(std::uint8_t code, std::uint64_t offset) {
  return ActionNameOf(code) + " at offset " + std::to_string(offset) + " of its action list";
}

}  // namespace

void ReadActionList(TBitsEngine& be, TSWFActionList& list, std::uint64_t maxBytes) {
  TStream& stream = be.Stream();
  const std::uint64_t start = stream.Position();
  const std::uint64_t size = stream.Size();
  const std::uint64_t end = start < size ? start + std::min(maxBytes, size - start) : start;
  const std::size_t first = list.items_.size();
  // Offset of each record read, from the start of the list.
  std::vector<std::uint64_t> offsets;
  std::uint64_t listEnd = 0;

  std::vector<std::uint8_t> body;
  while (true) {
    const std::uint64_t at = stream.Position();
    listEnd = at - start;
    if (at >= end) break;
    const std::uint8_t code = be.ReadByte();
    if (code == 0) break;
    std::uint16_t length = 0;
    if (code >= 0x80) {
      if (end - stream.Position() < 2)
        throw std::runtime_error(At(code, at - start) + ": the record header runs past the end of the list");
      length = be.ReadWord();
      if (length > end - stream.Position())
        throw std::runtime_error(At(code, at - start) + ": its length of " + std::to_string(length) +
                                 " bytes runs past the end of the list (" +
                                 std::to_string(end - stream.Position()) + " bytes left)");
    }
    const std::uint64_t bodyStart = stream.Position();
    body.resize(length);
    if (length > 0) stream.Read(body.data(), length);

    // The marker and raw pseudo codes are not records of a file: such bytes
    // are kept raw like any unknown code.
    std::unique_ptr<TSWFAction> action;
    if (code != kActionByteCode && code != kActionOffsetMarker) action = CreateAction(code);
    if (!action) {
      auto raw = std::make_unique<TSWFActionByteCode>();
      raw->BodyLength = length;
      raw->Bytes.reserve(1 + (code >= 0x80 ? 2 + length : 0));
      raw->Bytes.push_back(code);
      if (code >= 0x80) {
        raw->Bytes.push_back(static_cast<std::uint8_t>(length));
        raw->Bytes.push_back(static_cast<std::uint8_t>(length >> 8));
        raw->Bytes.insert(raw->Bytes.end(), body.begin(), body.end());
      }
      action = std::move(raw);
    } else {
      action->BodyLength = length;
      if (code >= 0x80) {
        TBufferStream view(body.data(), body.size());
        TBitsEngine bodyEngine(view);
        try {
          action->ReadData(bodyEngine);
        } catch (const std::exception& e) {
          throw std::runtime_error(At(code, at - start) + ": " + e.what());
        }
        if (view.Position() < body.size())
          action->ExtraBytes.assign(body.begin() + static_cast<std::ptrdiff_t>(view.Position()), body.end());
      }
    }
    stream.Seek(bodyStart + length);
    offsets.push_back(at - start);
    list.items_.push_back(std::move(action));
  }

  // Markers at the targets of the branch records, found by offset.
  struct Placement {
    std::size_t slot;  // index among the records read; offsets.size() for the end
    TSWFOffsetMarker* marker;
  };
  std::vector<Placement> placements;
  int counter = 0;
  const std::size_t count = offsets.size();
  for (std::size_t i = 0; i < count; ++i) {
    TSWFAction* action = list.items_[first + i].get();
    const std::int64_t recordEnd = static_cast<std::int64_t>(offsets[i] + action->GetFullSize());
    // Places the marker that make() returns at d bytes from the end of the
    // record; d = 0 places nothing.
    auto place = [&](std::int64_t d, const std::function<TSWFOffsetMarker*()>& make, std::string label) {
      if (d == 0) return;
      TSWFOffsetMarker* marker = make();
      marker->Active = false;
      if (!label.empty()) marker->Label = std::move(label);
      const std::int64_t target = recordEnd + d;
      if (target < 0 || target > static_cast<std::int64_t>(listEnd))
        throw std::runtime_error(At(action->ActionCode, offsets[i]) + ": its " +
                                 (action->ActionCode == 0x99 || action->ActionCode == 0x9D ? "branch offset "
                                                                                           : "block size ") +
                                 std::to_string(d) + " points outside the list");
      std::size_t slot;
      if (target == static_cast<std::int64_t>(listEnd)) {
        slot = count;
      } else {
        auto found = std::lower_bound(offsets.begin(), offsets.end(), static_cast<std::uint64_t>(target));
        if (found == offsets.end() || *found != static_cast<std::uint64_t>(target)) {
          // Not on a record boundary: the record keeps its number, the
          // marker stays out of the list.
          marker->Label = "Error Size offset: " + std::to_string(d);
          return;
        }
        slot = static_cast<std::size_t>(found - offsets.begin());
      }
      if (marker->Label.empty()) marker->Label = "label " + std::to_string(++counter);
      placements.push_back({slot, marker});
    };

    if (auto* block = dynamic_cast<TSWFActionTry*>(action)) {
      const int n = ++counter;
      const std::int64_t trySize = block->TrySize();
      const std::int64_t catchSize = block->CatchBlockFlag ? block->CatchSize() : 0;
      place(trySize, [&] { return block->TryMarker(); }, "Try " + std::to_string(n));
      if (block->CatchBlockFlag)
        place(trySize + catchSize, [&] { return block->CatchMarker(); }, "Catch " + std::to_string(n));
      if (block->FinallyBlockFlag)
        place(trySize + catchSize + block->FinallySize(), [&] { return block->FinallyMarker(); },
              "Finally " + std::to_string(n));
    } else if (auto* link = dynamic_cast<TSWFBranchLink*>(action)) {
      const std::int64_t d = link->TargetOffset();
      place(
          d,
          [&] {
            TSWFOffsetMarker* marker = link->Marker();
            marker->JumpBack = d < 0;
            return marker;
          },
          "");
    }
  }
  if (placements.empty()) return;

  std::stable_sort(placements.begin(), placements.end(),
                   [](const Placement& a, const Placement& b) { return a.slot < b.slot; });
  std::vector<std::unique_ptr<TSWFAction>> records;
  records.reserve(count);
  for (std::size_t i = 0; i < count; ++i) records.push_back(std::move(list.items_[first + i]));
  list.items_.resize(first);
  list.items_.reserve(first + count + placements.size());
  std::size_t next = 0;
  for (std::size_t slot = 0; slot <= count; ++slot) {
    for (; next < placements.size() && placements[next].slot == slot; ++next)
      list.items_.push_back(TSWFActionList::Adopt(placements[next].marker));
    if (slot < count) list.items_.push_back(std::move(records[slot]));
  }
}

// --- writing

namespace {

// Every marker that a write of list may touch: those in it and those that
// its records refer to.
void ForEachMarker(const TSWFActionList& list, const std::function<void(TSWFOffsetMarker&)>& visit) {
  for (const auto& item : list) {
    if (auto* marker = dynamic_cast<TSWFOffsetMarker*>(item.get())) {
      visit(*marker);
    } else if (auto* link = dynamic_cast<TSWFBranchLink*>(item.get())) {
      if (link->CurrentMarker()) visit(*link->CurrentMarker());
    } else if (auto* block = dynamic_cast<TSWFActionTry*>(item.get())) {
      for (TSWFOffsetMarker* m : {static_cast<TSWFOffsetMarker*>(block->CurrentTryMarker()),
                                  static_cast<TSWFOffsetMarker*>(block->CurrentCatchMarker()),
                                  static_cast<TSWFOffsetMarker*>(block->CurrentFinallyMarker())})
        if (m) visit(*m);
    }
  }
}

}  // namespace

void WriteActionList(TBitsEngine& be, TSWFActionList& list) {
  be.FlushLastByte(true);
  ForEachMarker(list, [](TSWFOffsetMarker& marker) { marker.ResetWriteState(); });
  for (const auto& action : list) action->WriteToStream(be);
  be.WriteByte(0);
  ForEachMarker(list, [](TSWFOffsetMarker& marker) {
    if (marker.pending_)
      throw std::logic_error("the forward marker \"" + marker.Label +
                             "\" is not written after the record that refers to it");
  });
}

// --- copying

void CopyActionList(const TSWFActionList& source, TSWFActionList& target) {
  const std::size_t base = target.Count();
  std::unordered_map<const TSWFAction*, std::size_t> indexOf;
  for (std::size_t i = 0; i < source.Count(); ++i) {
    const TSWFAction* item = source[i];
    std::unique_ptr<TSWFAction> copy;
    if (dynamic_cast<const TSWFTryOffsetMarker*>(item)) {
      copy = std::make_unique<TSWFTryOffsetMarker>();
    } else {
      copy = CreateAction(item->ActionCode);
    }
    if (!copy) throw std::logic_error("no action class for code " + std::to_string(item->ActionCode));
    copy->Assign(*item);
    target.Insert(target.Count(), std::move(copy));
    indexOf.emplace(item, i);
  }
  // The copy's counterpart of a marker of source, or null.
  auto copied = [&](const TSWFOffsetMarker* marker) -> TSWFAction* {
    if (!marker) return nullptr;
    auto found = indexOf.find(marker);
    return found == indexOf.end() ? nullptr : target[base + found->second];
  };
  for (std::size_t i = 0; i < source.Count(); ++i) {
    const TSWFAction* item = source[i];
    TSWFAction* copy = target[base + i];
    if (auto* link = dynamic_cast<const TSWFBranchLink*>(item)) {
      if (!link->StaticOffset)
        dynamic_cast<TSWFBranchLink*>(copy)->SetMarker(
            dynamic_cast<TSWFOffsetMarker*>(copied(link->CurrentMarker())));
    } else if (auto* block = dynamic_cast<const TSWFActionTry*>(item)) {
      if (!block->SizesKnown)
        static_cast<TSWFActionTry*>(copy)->SetMarkers(
            dynamic_cast<TSWFTryOffsetMarker*>(copied(block->CurrentTryMarker())),
            dynamic_cast<TSWFTryOffsetMarker*>(copied(block->CurrentCatchMarker())),
            dynamic_cast<TSWFTryOffsetMarker*>(copied(block->CurrentFinallyMarker())));
    } else if (auto* marker = dynamic_cast<const TSWFTryOffsetMarker*>(item)) {
      static_cast<TSWFTryOffsetMarker*>(copy)->PrevMarker =
          dynamic_cast<TSWFTryOffsetMarker*>(copied(marker->PrevMarker));
    }
  }
}

std::uint64_t FindActionListEnd(TBitsEngine& be) {
  TStream& stream = be.Stream();
  const std::uint64_t start = stream.Position();
  std::uint64_t result = start;
  while (stream.Remaining() > 0) {
    std::uint8_t code = be.ReadByte();
    if (code == 0) {
      result = stream.Position();
      break;
    }
    if (code >= 0x80) {
      if (stream.Remaining() < 2) break;
      std::uint16_t length = be.ReadWord();
      if (stream.Remaining() < length) break;
      stream.Seek(stream.Position() + length);
    }
  }
  stream.Seek(start);
  return result;
}

}  // namespace yel::swf
