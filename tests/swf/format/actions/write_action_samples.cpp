// Writes action lists covering every record kind with our writer, for the
// independent check with avm1-parser (check_actions_avm1.mjs): a JSON file
// with, per sample, the bytes written and the records we meant, in the
// shape the check script normalises avm1-parser's output to.
//
// Usage: write_action_samples OUT.json
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <unordered_map>

#include "swf/format/actions/action_list.h"
#include "tests/swf/format/actions/action_test_support.h"

namespace yel::swf {
namespace {

using testing::Add;

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonNumber(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string Bool(bool b) { return b ? "true" : "false"; }

// avm1-parser's push value types.
enum Avm1PushType { kBoolean = 0, kConstant = 1, kFloat32 = 2, kFloat64 = 3, kNull = 4, kRegister = 5, kSint32 = 6, kString = 7, kUndefined = 8 };

std::string PushValueJson(const TPushValueInfo& info) {
  const TPushValue& v = info.Value;
  auto integer = [&]() -> std::int64_t {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
    if (const auto* b = std::get_if<bool>(&v)) return *b;
    return 0;
  };
  auto number = [&]() -> double {
    if (const auto* f = std::get_if<float>(&v)) return *f;
    if (const auto* d = std::get_if<double>(&v)) return *d;
    return static_cast<double>(integer());
  };
  auto typed = [](int type, const std::string& value) {
    return "{\"type\":" + std::to_string(type) + (value.empty() ? "" : ",\"value\":" + value) + "}";
  };
  switch (info.ValueType) {
    case kPushString:
      return typed(kString, JsonString(std::holds_alternative<std::string>(v) ? std::get<std::string>(v)
                                                                            : std::to_string(integer())));
    case kPushFloat: return typed(kFloat32, JsonNumber(static_cast<float>(number())));
    case kPushNull: return typed(kNull, "");
    case kPushUndefined: return typed(kUndefined, "");
    case kPushRegister: return typed(kRegister, std::to_string(integer() & 0xFF));
    case kPushBoolean: return typed(kBoolean, Bool(integer() != 0));
    case kPushDouble: return typed(kFloat64, JsonNumber(number()));
    case kPushInteger: return typed(kSint32, std::to_string(static_cast<std::int32_t>(integer())));
    case kPushConstant8: return typed(kConstant, std::to_string(integer() & 0xFF));
    case kPushConstant16: return typed(kConstant, std::to_string(integer() & 0xFFFF));
    default: throw std::logic_error("push type");
  }
}

// The records of a written list as JSON; offsets and sizes that markers
// decide are taken from where the markers stand.
std::string ListJson(const TSWFActionList& list) {
  std::unordered_map<const TSWFAction*, std::int64_t> at;
  std::int64_t offset = 0;
  for (const auto& action : list) {
    at[action.get()] = offset;
    offset += action->GetFullSize();
  }
  auto resolved = [&](const TSWFOffsetMarker* marker, bool useMarker, std::int64_t stored, std::int64_t from) {
    if (useMarker && marker && at.count(marker)) return at[marker] - from;
    return stored;
  };
  std::string out = "[";
  bool first = true;
  for (const auto& item : list) {
    const TSWFAction& action = *item;
    const std::uint8_t code = action.ActionCode;
    if (code == kActionOffsetMarker) continue;
    const std::int64_t end = at[&action] + action.GetFullSize();
    std::string fields;
    auto field = [&](const char* name, const std::string& value) {
      fields += std::string(",\"") + name + "\":" + value;
    };
    switch (code) {
      case 0x81: field("frame", std::to_string(static_cast<const TSWFActionGotoFrame&>(action).Frame)); break;
      case 0x83: {
        const auto& a = static_cast<const TSWFActionGetUrl&>(action);
        field("url", JsonString(a.URL));
        field("target", JsonString(a.Target));
        break;
      }
      case 0x87: field("register", std::to_string(static_cast<const TSWFActionStoreRegister&>(action).RegisterNumber)); break;
      case 0x88: {
        std::string pool = "[";
        for (const auto& s : static_cast<const TSWFActionConstantPool&>(action).ConstantPool)
          pool += (pool.size() > 1 ? "," : "") + JsonString(s);
        field("pool", pool + "]");
        break;
      }
      case 0x8A: {
        const auto& a = static_cast<const TSWFActionWaitForFrame&>(action);
        field("frame", std::to_string(a.Frame));
        field("skip", std::to_string(a.SkipCount));
        break;
      }
      case 0x8B: field("targetName", JsonString(static_cast<const TSWFActionSetTarget&>(action).TargetName)); break;
      case 0x8C: field("label", JsonString(static_cast<const TSWFActionGoToLabel&>(action).Label)); break;
      case 0x8D: field("skip", std::to_string(static_cast<const TSWFActionWaitForFrame2&>(action).SkipCount)); break;
      case 0x8E: {
        const auto& a = static_cast<const TSWFActionDefineFunction2&>(action);
        field("name", JsonString(a.Name));
        field("preloadParent", Bool(a.PreloadParent));
        field("preloadRoot", Bool(a.PreloadRoot));
        field("suppressSuper", Bool(a.SuppressSuper));
        field("preloadSuper", Bool(a.PreloadSuper));
        field("suppressArguments", Bool(a.SuppressArguments));
        field("preloadArguments", Bool(a.PreloadArguments));
        field("suppressThis", Bool(a.SuppressThis));
        field("preloadThis", Bool(a.PreloadThis));
        field("preloadGlobal", Bool(a.PreloadGlobal));
        field("registerCount", std::to_string(a.RegisterCount));
        std::string params = "[";
        for (const auto& p : a.Parameters)
          params += std::string(params.size() > 1 ? "," : "") + "{\"register\":" + std::to_string(p.Register) +
                    ",\"name\":" + JsonString(p.Name) + "}";
        field("parameters", params + "]");
        field("bodySize", std::to_string(resolved(a.CurrentMarker(), !a.StaticOffset, a.CodeSize(), end)));
        break;
      }
      case 0x8F: {
        const auto& a = static_cast<const TSWFActionTry&>(action);
        const bool byMarkers = !a.SizesKnown;
        const std::int64_t trySize = resolved(a.CurrentTryMarker(), byMarkers, a.TrySize(), end);
        const std::int64_t tryEnd = end + trySize;
        const std::int64_t catchSize = resolved(a.CurrentCatchMarker(), byMarkers, a.CatchSize(), tryEnd);
        const std::int64_t catchEnd = tryEnd + (a.CatchBlockFlag ? catchSize : 0);
        field("try", std::to_string(trySize));
        if (a.CatchBlockFlag) {
          std::string target = a.CatchInRegisterFlag
                                   ? "{\"type\":0,\"target\":" + std::to_string(a.CatchRegister) + "}"
                                   : "{\"type\":1,\"target\":" + JsonString(a.CatchName) + "}";
          field("catch", "{\"target\":" + target + ",\"size\":" + std::to_string(catchSize) + "}");
        }
        if (a.FinallyBlockFlag)
          field("finally", std::to_string(resolved(a.CurrentFinallyMarker(), byMarkers, a.FinallySize(), catchEnd)));
        break;
      }
      case 0x94: {
        const auto& a = static_cast<const TSWFActionWith&>(action);
        field("size", std::to_string(resolved(a.CurrentMarker(), !a.StaticOffset, a.Size(), end)));
        break;
      }
      case 0x96: {
        std::string values = "[";
        for (const auto& v : static_cast<const TSWFActionPush&>(action).Values)
          if (v.IsValid) values += (values.size() > 1 ? "," : "") + PushValueJson(v);
        field("values", values + "]");
        break;
      }
      case 0x99:
      case 0x9D: {
        const auto& a = static_cast<const TSWFActionJump&>(action);
        field("offset", std::to_string(resolved(a.CurrentMarker(), !a.StaticOffset, a.BranchOffset(), end)));
        break;
      }
      case 0x9A: {
        const auto& a = static_cast<const TSWFActionGetUrl2&>(action);
        field("sendVarsMethod", std::to_string(a.SendVarsMethod));
        field("loadTarget", Bool(a.LoadTargetFlag));
        field("loadVariables", Bool(a.LoadVariablesFlag));
        break;
      }
      case 0x9B: {
        const auto& a = static_cast<const TSWFActionDefineFunction&>(action);
        field("name", JsonString(a.Name));
        std::string params = "[";
        for (const auto& p : a.Params) params += (params.size() > 1 ? "," : "") + JsonString(p);
        field("parameters", params + "]");
        field("bodySize", std::to_string(resolved(a.CurrentMarker(), !a.StaticOffset, a.CodeSize(), end)));
        break;
      }
      case 0x9F: {
        const auto& a = static_cast<const TSWFActionGotoFrame2&>(action);
        field("play", Bool(a.PlayFlag));
        field("sceneBias", std::to_string(a.SceneBiasFlag ? a.SceneBias : 0));
        break;
      }
      case kActionByteCode: {
        // One unknown record: its code and body.
        const auto& bytes = static_cast<const TSWFActionByteCode&>(action).Bytes;
        std::string data = "[";
        for (std::size_t i = bytes.size() > 1 ? 3 : 1; i < bytes.size(); ++i)
          data += (data.size() > 1 ? "," : "") + std::to_string(bytes[i]);
        out += std::string(first ? "" : ",") + "{\"action\":\"raw\",\"code\":" + std::to_string(bytes.at(0)) +
               ",\"data\":" + data + "]}";
        first = false;
        continue;
      }
      default: break;
    }
    out += std::string(first ? "" : ",") + "{\"action\":" + std::to_string(code) + fields + "}";
    first = false;
  }
  return out + "]";
}

std::unique_ptr<TSWFActionList> PushValues() {
  auto list = std::make_unique<TSWFActionList>();
  auto* push = Add<TSWFActionPush>(*list);
  push->AddValue(std::string(""));
  push->AddValue(std::string("caf\xC3\xA9 \xE2\x98\x83 \"quoted\" back\\slash"));
  push->AddValue(std::int64_t{std::numeric_limits<std::int32_t>::min()});
  push->AddValue(std::int64_t{std::numeric_limits<std::int32_t>::max()});
  push->AddValue(std::int64_t{0});
  push->AddValue(-0.0);
  push->AddValue(1e308);
  push->AddValue(5e-324);
  push->AddValue(0.1);
  push->AddValue(3.4028234663852886e38f);
  push->AddValue(-1.17549435e-38f);
  push->AddValue(0.1f);
  push->AddValue(true);
  push->AddValue(false);
  push->AddValue(nullptr);
  push->AddValue(std::monostate{});
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{0})), kPushRegister);
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{255})), kPushRegister);
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{255})), kPushConstant8);
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{65535})), kPushConstant16);
  // Type 5 from a number, type 1 from a double, type 0 from an integer.
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{1})), kPushBoolean);
  push->SetValueType(static_cast<std::size_t>(push->AddValue(2.5)), kPushFloat);
  push->SetValueType(static_cast<std::size_t>(push->AddValue(std::int64_t{42})), kPushString);
  Add<TSWFActionPush>(*list);  // no values
  return list;
}

std::unique_ptr<TSWFActionList> FlagCombinations() {
  auto list = std::make_unique<TSWFActionList>();
  // avm1-parser reads the GetURL2 byte with the method in the top bits, so
  // a byte with both load flags set is one it refuses; those are left out.
  for (int method = 0; method < 3; ++method) {
    for (int flags = 0; flags < 3; ++flags) {
      auto* get = Add<TSWFActionGetUrl2>(*list);
      get->SendVarsMethod = static_cast<std::uint8_t>(method);
      get->LoadTargetFlag = flags == 1;
      get->LoadVariablesFlag = flags == 2;
    }
  }
  for (int bit = 0; bit <= 9; ++bit) {
    auto* f = Add<TSWFActionDefineFunction2>(*list);
    f->Name = "f" + std::to_string(bit);
    f->RegisterCount = static_cast<std::uint8_t>(bit);
    bool* flags[] = {&f->PreloadThis,      &f->SuppressThis,  &f->PreloadArguments, &f->SuppressArguments,
                     &f->PreloadSuper,     &f->SuppressSuper, &f->PreloadRoot,      &f->PreloadParent,
                     &f->PreloadGlobal};
    if (bit < 9) *flags[bit] = true;
    f->SetCodeSize(0);
  }
  for (bool play : {false, true}) {
    for (bool bias : {false, true}) {
      auto* g = Add<TSWFActionGotoFrame2>(*list);
      g->PlayFlag = play;
      g->SceneBiasFlag = bias;
      g->SceneBias = 0xBEEF;
    }
  }
  return list;
}

// Nested blocks: a function holding a loop, a with-block and a try whose
// catch and finally blocks are empty or not.
std::unique_ptr<TSWFActionList> NestedBlocks() {
  auto list = std::make_unique<TSWFActionList>();
  TSWFActionList& l = *list;
  auto* f = Add<TSWFActionDefineFunction>(l);
  f->Name = "outer";
  f->Params = {"x"};
  auto loopBack = std::make_unique<TSWFActionIf>();
  l.AddMarker(loopBack->Marker());
  auto* exit = Add<TSWFActionIf>(l);
  auto* with = Add<TSWFActionWith>(l);
  Add<TSWFActionPush>(l)->AddValue(std::string("inside"));
  Add<TSWFActionTrace>(l);
  with->Marker()->JumpBack = false;
  l.AddMarker(with->Marker());
  l.Add(std::move(loopBack));
  exit->Marker()->JumpBack = false;
  l.AddMarker(exit->Marker());
  auto* t = Add<TSWFActionTry>(l);
  t->CatchBlockFlag = true;
  t->FinallyBlockFlag = true;
  t->CatchInRegisterFlag = true;
  t->CatchRegister = 4;
  Add<TSWFActionThrow>(l);
  l.AddMarker(t->TryMarker());
  l.AddMarker(t->CatchMarker());  // empty catch block
  Add<TSWFActionReturn>(l);
  l.AddMarker(t->FinallyMarker());
  f->Marker()->JumpBack = false;
  l.AddMarker(f->Marker());
  auto* only = Add<TSWFActionTry>(l);
  only->FinallyBlockFlag = true;
  only->CatchName = "unused";
  Add<TSWFActionStop>(l);
  l.AddMarker(only->TryMarker());
  Add<TSWFActionPlay>(l);
  l.AddMarker(only->FinallyMarker());
  Add<TSWFActionJump>(l)->SetBranchOffset(-3);
  Add<TSWFActionByteCode>(l)->Bytes = {0x16};
  return list;
}

}  // namespace
}  // namespace yel::swf

int main(int argc, char** argv) {
  using namespace yel::swf;
  if (argc != 2) {
    std::cerr << "usage: write_action_samples OUT.json\n";
    return 2;
  }
  struct Sample {
    const char* name;
    std::unique_ptr<TSWFActionList> list;
  };
  Sample samples[] = {
      {"every record kind", testing::EveryRecordKind()},
      {"push values", PushValues()},
      {"flag combinations", FlagCombinations()},
      {"nested blocks", NestedBlocks()},
  };
  std::ofstream out(argv[1], std::ios::binary);
  out << "[\n";
  bool first = true;
  for (auto& sample : samples) {
    testing::Bytes bytes = testing::WriteList(*sample.list);
    std::string hex;
    for (std::uint8_t b : bytes) {
      char two[3];
      std::snprintf(two, sizeof two, "%02x", b);
      hex += two;
    }
    out << (first ? "" : ",\n") << "{\"name\":" << JsonString(sample.name) << ",\"hex\":\"" << hex
        << "\",\"expect\":" << ListJson(*sample.list) << "}";
    first = false;
  }
  out << "\n]\n";
  return out ? 0 : 1;
}
