// Listing of action lists with labels for branch targets.
#include "swf/format/actions/action_disassembly.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <unordered_map>
#include <vector>

namespace yel::swf {
namespace {

template <class T>
std::string ShortestNumber(T value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string Hex2(std::uint8_t b) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", b);
  return text;
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes, std::size_t limit = 32) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    if (i) text += ' ';
    text += Hex2(bytes[i]);
  }
  if (bytes.size() > limit) text += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return text;
}

std::string PushValueText(const TPushValueInfo& info, const std::vector<std::string>* pool) {
  const TPushValue& v = info.Value;
  auto integer = [&]() -> std::int64_t {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
    if (const auto* b = std::get_if<bool>(&v)) return *b;
    return 0;
  };
  std::string text;
  switch (info.ValueType) {
    case kPushString:
      text = "str " + QuoteActionString(std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : "");
      break;
    case kPushFloat:
      text = "float " + (std::holds_alternative<float>(v) ? ShortestNumber(std::get<float>(v))
                         : std::holds_alternative<double>(v) ? ShortestNumber(std::get<double>(v))
                                                               : std::to_string(integer()));
      break;
    case kPushNull: text = "null"; break;
    case kPushUndefined: text = "undefined"; break;
    case kPushRegister: text = "register " + std::to_string(integer()); break;
    case kPushBoolean:
      text = std::holds_alternative<bool>(v) ? (std::get<bool>(v) ? "true" : "false")
             : integer() == 0               ? "false"
             : integer() == 1               ? "true"
                                            : "bool " + std::to_string(integer());
      break;
    case kPushDouble:
      text = "double " + (std::holds_alternative<double>(v)  ? ShortestNumber(std::get<double>(v))
                          : std::holds_alternative<float>(v) ? ShortestNumber(std::get<float>(v))
                                                             : std::to_string(integer()));
      break;
    case kPushInteger: text = "int " + std::to_string(integer()); break;
    case kPushConstant8:
    case kPushConstant16: {
      std::int64_t index = integer();
      text = (info.ValueType == kPushConstant8 ? "const8 " : "const16 ") + std::to_string(index);
      if (pool && index >= 0 && static_cast<std::size_t>(index) < pool->size())
        text += " (" + QuoteActionString((*pool)[static_cast<std::size_t>(index)]) + ")";
      break;
    }
    default: text = "type " + std::to_string(info.ValueType); break;
  }
  if (!info.IsValid) text += " (not written)";
  return text;
}

std::string FunctionFlags(const TSWFActionDefineFunction2& f) {
  std::string text;
  auto add = [&](bool on, const char* name) {
    if (!on) return;
    if (!text.empty()) text += '|';
    text += name;
  };
  add(f.PreloadParent, "PreloadParent");
  add(f.PreloadRoot, "PreloadRoot");
  add(f.SuppressSuper, "SuppressSuper");
  add(f.PreloadSuper, "PreloadSuper");
  add(f.SuppressArguments, "SuppressArguments");
  add(f.PreloadArguments, "PreloadArguments");
  add(f.SuppressThis, "SuppressThis");
  add(f.PreloadThis, "PreloadThis");
  add(f.PreloadGlobal, "PreloadGlobal");
  return text.empty() ? "none" : text;
}

// How a listing shows branch targets and block sizes. slot: 0 the record's
// own offset or size, 1..3 the try, catch and finally blocks.
struct TargetView {
  // The target: a label in a listing, a number in a lone description.
  std::function<std::string(const TSWFAction&, int slot, std::int64_t stored)> name;
  // The offset or size as it is written: the stored number, or the one the
  // record's marker gives.
  std::function<std::int64_t(const TSWFAction&, int slot, std::int64_t stored)> size;
};

std::string Describe(const TSWFAction& action, const TargetView& view, const std::vector<std::string>* pool) {
  auto target = [&](const TSWFAction& a, int slot, std::int64_t stored) { return view.name(a, slot, stored); };
  auto size = [&](const TSWFAction& a, int slot, std::int64_t stored) {
    return std::to_string(view.size(a, slot, stored));
  };
  std::string text = ActionNameOf(action.ActionCode);
  const std::uint8_t code = action.ActionCode;
  switch (code) {
    case 0x81: text += " " + std::to_string(static_cast<const TSWFActionGotoFrame&>(action).Frame); break;
    case 0x83: {
      const auto& a = static_cast<const TSWFActionGetUrl&>(action);
      text += " " + QuoteActionString(a.URL) + " target " + QuoteActionString(a.Target);
      break;
    }
    case 0x8A: {
      const auto& a = static_cast<const TSWFActionWaitForFrame&>(action);
      text += " frame " + std::to_string(a.Frame) + " skip " + std::to_string(a.SkipCount);
      break;
    }
    case 0x8B: text += " " + QuoteActionString(static_cast<const TSWFActionSetTarget&>(action).TargetName); break;
    case 0x8C: text += " " + QuoteActionString(static_cast<const TSWFActionGoToLabel&>(action).Label); break;
    case 0x8D:
      text += " skip " + std::to_string(static_cast<const TSWFActionWaitForFrame2&>(action).SkipCount);
      break;
    case 0x87:
      text += " " + std::to_string(static_cast<const TSWFActionStoreRegister&>(action).RegisterNumber);
      break;
    case 0x88: {
      const auto& a = static_cast<const TSWFActionConstantPool&>(action);
      text += " " + std::to_string(a.ConstantPool.size()) + ":";
      for (std::size_t i = 0; i < a.ConstantPool.size(); ++i)
        text += (i ? ", " : " ") + QuoteActionString(a.ConstantPool[i]);
      break;
    }
    case 0x96: {
      const auto& a = static_cast<const TSWFActionPush&>(action);
      for (std::size_t i = 0; i < a.Values.size(); ++i) text += (i ? ", " : " ") + PushValueText(a.Values[i], pool);
      break;
    }
    case 0x99:
    case 0x9D: {
      const auto& a = static_cast<const TSWFActionJump&>(action);
      text += " " + target(action, 0, a.BranchOffset());
      break;
    }
    case 0x9A: {
      const auto& a = static_cast<const TSWFActionGetUrl2&>(action);
      static const char* const kMethods[] = {"none", "GET", "POST", "method 3"};
      text += std::string(" method ") + kMethods[a.SendVarsMethod & 3];
      if (a.LoadTargetFlag) text += ", load target";
      if (a.LoadVariablesFlag) text += ", load variables";
      break;
    }
    case 0x9F: {
      const auto& a = static_cast<const TSWFActionGotoFrame2&>(action);
      text += a.PlayFlag ? " and play" : " and stop";
      if (a.SceneBiasFlag) text += ", scene bias " + std::to_string(a.SceneBias);
      break;
    }
    case 0x94: {
      const auto& a = static_cast<const TSWFActionWith&>(action);
      text += " size " + size(action, 0, a.Size()) + ", ends at " + target(action, 0, a.Size());
      break;
    }
    case 0x9B: {
      const auto& a = static_cast<const TSWFActionDefineFunction&>(action);
      text += " " + QuoteActionString(a.Name) + " (";
      for (std::size_t i = 0; i < a.Params.size(); ++i) text += (i ? ", " : "") + a.Params[i];
      text += ") code size " + size(action, 0, a.CodeSize()) + ", ends at " + target(action, 0, a.CodeSize());
      break;
    }
    case 0x8E: {
      const auto& a = static_cast<const TSWFActionDefineFunction2&>(action);
      text += " " + QuoteActionString(a.Name) + " (";
      for (std::size_t i = 0; i < a.Parameters.size(); ++i) {
        if (i) text += ", ";
        if (a.Parameters[i].Register) text += "r" + std::to_string(a.Parameters[i].Register) + ":";
        text += a.Parameters[i].Name;
      }
      text += ") registers " + std::to_string(a.RegisterCount) + ", flags " + FunctionFlags(a) + ", code size " +
              size(action, 0, a.CodeSize()) + ", ends at " + target(action, 0, a.CodeSize());
      break;
    }
    case 0x8F: {
      const auto& a = static_cast<const TSWFActionTry&>(action);
      text += " try size " + size(action, 1, a.TrySize()) + " to " + target(action, 1, a.TrySize());
      if (a.CatchBlockFlag) {
        text += "; catch " +
                (a.CatchInRegisterFlag ? "register " + std::to_string(a.CatchRegister) : QuoteActionString(a.CatchName)) +
                " size " + size(action, 2, a.CatchSize()) + " to " + target(action, 2, a.CatchSize());
      }
      if (a.FinallyBlockFlag)
        text += "; finally size " + size(action, 3, a.FinallySize()) + " to " + target(action, 3, a.FinallySize());
      break;
    }
    case kActionByteCode: {
      const auto& a = static_cast<const TSWFActionByteCode&>(action);
      if (!a.Bytes.empty() && (a.Bytes[0] >= kActionByteCode || !CreateAction(a.Bytes[0]))) {
        text = "Unknown 0x" + Hex2(a.Bytes[0]);
        if (a.Bytes.size() > 1) text += ": " + HexBytes(a.Bytes);
      } else {
        text += " " + HexBytes(a.Bytes);
      }
      break;
    }
    case kActionOffsetMarker: text = "Marker " + QuoteActionString(static_cast<const TSWFOffsetMarker&>(action).Label); break;
    default: break;
  }
  if (!action.ExtraBytes.empty()) text += " + " + std::to_string(action.ExtraBytes.size()) + " extra bytes";
  return text;
}

}  // namespace

std::string QuoteActionString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (b < 0x20 || b == 0x7F) {
          out += "\\x" + Hex2(b);
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string DescribeAction(const TSWFAction& action) {
  TargetView numbers{[](const TSWFAction&, int, std::int64_t stored) {
                       return (stored >= 0 ? "+" : "") + std::to_string(stored);
                     },
                     [](const TSWFAction&, int, std::int64_t stored) { return stored; }};
  return Describe(action, numbers, nullptr);
}

void DisassembleActionList(const TSWFActionList& list, std::ostream& out, std::string_view indent) {
  // Offsets of the records; markers take no room.
  const std::size_t n = list.Count();
  std::vector<std::uint64_t> offset(n);
  std::unordered_map<const TSWFAction*, std::uint64_t> offsetOf;
  std::uint64_t total = 0;
  std::vector<std::uint64_t> starts;
  for (std::size_t i = 0; i < n; ++i) {
    offset[i] = total;
    offsetOf[list[i]] = total;
    if (list[i]->ActionCode != kActionOffsetMarker) starts.push_back(total);
    total += list[i]->GetFullSize();
  }
  auto onBoundary = [&](std::int64_t target) {
    if (target == static_cast<std::int64_t>(total)) return true;
    return target >= 0 && std::binary_search(starts.begin(), starts.end(), static_cast<std::uint64_t>(target));
  };

  // Target offset of a branch (slot 0) or try block (1..3), by its marker
  // when the marker decides it, else by the stored number.
  auto targetOf = [&](const TSWFAction& action, int slot, std::int64_t stored) -> std::int64_t {
    const std::int64_t end = static_cast<std::int64_t>(offsetOf[&action] + action.GetFullSize());
    const TSWFOffsetMarker* marker = nullptr;
    bool useMarker = false;
    if (const auto* link = dynamic_cast<const TSWFBranchLink*>(&action)) {
      marker = link->CurrentMarker();
      useMarker = !link->StaticOffset;
    } else if (const auto* block = dynamic_cast<const TSWFActionTry*>(&action)) {
      marker = slot == 1 ? block->CurrentTryMarker() : slot == 2 ? block->CurrentCatchMarker() : block->CurrentFinallyMarker();
      useMarker = !block->SizesKnown;
      if (!useMarker) {
        // Catch and finally sizes count from the end of the block before.
        std::int64_t from = end;
        if (slot >= 2) from += block->TrySize();
        if (slot == 3 && block->CatchBlockFlag) from += block->CatchSize();
        return from + stored;
      }
    }
    if (useMarker && marker) {
      auto found = offsetOf.find(marker);
      if (found != offsetOf.end()) return static_cast<std::int64_t>(found->second);
    }
    return end + stored;
  };

  // Labels in the order of their offsets.
  std::map<std::uint64_t, int> labels;
  auto noteTarget = [&](const TSWFAction& action, int slot, std::int64_t stored) {
    std::int64_t t = targetOf(action, slot, stored);
    if (onBoundary(t)) labels.emplace(static_cast<std::uint64_t>(t), 0);
    return std::string();
  };
  // Sizes as written: the distance from the start of the block to its end.
  auto sizeOf = [&](const TSWFAction& action, int slot, std::int64_t stored) -> std::int64_t {
    const std::int64_t end = static_cast<std::int64_t>(offsetOf[&action] + action.GetFullSize());
    const std::int64_t target = targetOf(action, slot, stored);
    if (slot <= 1) return target - end;
    const auto& block = static_cast<const TSWFActionTry&>(action);
    const std::int64_t tryEnd = targetOf(action, 1, block.TrySize());
    if (slot == 2) return target - tryEnd;
    return target - (block.CatchBlockFlag ? targetOf(action, 2, block.CatchSize()) : tryEnd);
  };
  for (const auto& action : list) Describe(*action, TargetView{noteTarget, sizeOf}, nullptr);
  int next = 0;
  for (auto& [at, number] : labels) number = ++next;

  auto labelName = [&](const TSWFAction& action, int slot, std::int64_t stored) {
    std::int64_t t = targetOf(action, slot, stored);
    if (onBoundary(t)) return "L" + std::to_string(labels[static_cast<std::uint64_t>(t)]);
    return std::string("offset ") + (stored >= 0 ? "+" : "") + std::to_string(stored) + " (no record starts there)";
  };

  // Ends of the blocks that enclose the current record.
  std::vector<std::int64_t> blockEnds;
  const std::vector<std::string>* pool = nullptr;
  std::string line;
  auto printLabel = [&](std::uint64_t at) {
    auto found = labels.find(at);
    if (found != labels.end()) out << indent << "L" << found->second << ":\n";
  };
  for (std::size_t i = 0; i < n; ++i) {
    const TSWFAction& action = *list[i];
    if (action.ActionCode == kActionOffsetMarker) continue;
    while (!blockEnds.empty() && static_cast<std::int64_t>(offset[i]) >= blockEnds.back()) blockEnds.pop_back();
    printLabel(offset[i]);
    if (const auto* constants = dynamic_cast<const TSWFActionConstantPool*>(&action)) pool = &constants->ConstantPool;
    char position[16];
    std::snprintf(position, sizeof position, "%5llu  ", static_cast<unsigned long long>(offset[i]));
    out << indent << position << std::string(2 * blockEnds.size(), ' ') << Describe(action, TargetView{labelName, sizeOf}, pool) << '\n';
    // Block records indent what they enclose.
    std::int64_t end = -1;
    const std::uint8_t code = action.ActionCode;
    if (code == 0x94 || code == 0x9B || code == 0x8E) {
      end = targetOf(action, 0, dynamic_cast<const TSWFBranchLink&>(action).TargetOffset());
    } else if (code == 0x8F) {
      const auto& t = static_cast<const TSWFActionTry&>(action);
      end = targetOf(action, 1, t.TrySize());
      if (t.CatchBlockFlag) end = std::max(end, targetOf(action, 2, t.CatchSize()));
      if (t.FinallyBlockFlag) end = std::max(end, targetOf(action, 3, t.FinallySize()));
    }
    if (end > static_cast<std::int64_t>(offset[i])) blockEnds.push_back(end);
  }
  while (!blockEnds.empty()) blockEnds.pop_back();
  printLabel(total);
  char position[16];
  std::snprintf(position, sizeof position, "%5llu  ", static_cast<unsigned long long>(total));
  out << indent << position << "End\n";
}

std::string DisassembleActionList(const TSWFActionList& list, std::string_view indent) {
  std::ostringstream out;
  DisassembleActionList(list, out, indent);
  return out.str();
}

}  // namespace yel::swf
