// Small helpers of code generation shared by the node generators.
#pragma once

#include <cstdint>
#include <string>

#include "swf/actionscript/parse_tree.h"
#include "swf/builder/flash_action_script.h"

namespace yel::swf::gen {

inline TFlashActionScript& B(TCompileContext& cc) { return cc.Builder(); }
inline void PushInt(TCompileContext& cc, std::int64_t value) { B(cc).PushValue(value, kPushInteger); }
inline void PushDouble(TCompileContext& cc, double value) { B(cc).PushValue(value, kPushDouble); }
inline void PushRegister(TCompileContext& cc, int reg) {
  B(cc).PushValue(std::int64_t{reg}, kPushRegister);
}
inline void PushUndefined(TCompileContext& cc) { B(cc).PushValue(std::monostate{}, kPushUndefined); }
inline void PushNull(TCompileContext& cc) { B(cc).PushValue(nullptr, kPushNull); }
inline void PushBool(TCompileContext& cc, bool value) { B(cc).PushValue(value, kPushBoolean); }
// A string pushed as it is, not through the constant pool.
inline void PushDirect(TCompileContext& cc, const std::string& text) { B(cc).PushValue(text, kPushString); }
// int for integral values in the signed 32-bit range, else double.
void PushNumber(TCompileContext& cc, double value);
// Places a forward marker made by a branch record.
inline void PlaceForward(TCompileContext& cc, TSWFOffsetMarker* marker) { B(cc).PlaceMarker(marker, false); }
// Compiles a child with its value discarded.
void CompileDiscarded(TCompileContext& cc, TParseTreeNode* node);
// "... in line N" errors at a node.
[[noreturn]] void Fail(const TParseTreeNode& node, const std::string& message);
const std::string& Text(TCompileContext& cc, int id);

}  // namespace yel::swf::gen
