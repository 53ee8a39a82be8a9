// Reading a movie's first-frame variable assignments with a small evaluator
// over the parsed action records.
#include "publish/movie_variables.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "base/error.h"
#include "swf/format/actions/action_records.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/swf_stream.h"

namespace yel::publish {

namespace {

// A value on the evaluator's stack: a known string or number, or unknown.
struct TValue {
  enum class Kind { Unknown, String, Number, Other } Type = Kind::Unknown;
  std::string Text;
  double Number = 0;
};

// Flash's text form of a number.
std::string NumberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

TValue Number(double value) { return {TValue::Kind::Number, NumberText(value), value}; }

TValue PushValue(const swf::TPushValueInfo& info, const std::vector<std::string>& pool) {
  const swf::TPushValue& v = info.Value;
  switch (info.ValueType) {
    case swf::kPushString:
      if (auto* s = std::get_if<std::string>(&v)) return {TValue::Kind::String, *s, 0};
      break;
    case swf::kPushConstant8:
    case swf::kPushConstant16:
      if (auto* i = std::get_if<std::int64_t>(&v); i && *i >= 0 && static_cast<std::size_t>(*i) < pool.size())
        return {TValue::Kind::String, pool[static_cast<std::size_t>(*i)], 0};
      break;
    case swf::kPushInteger:
      if (auto* i = std::get_if<std::int64_t>(&v)) return Number(static_cast<double>(*i));
      break;
    case swf::kPushFloat:
      if (auto* f = std::get_if<float>(&v)) return Number(*f);
      if (auto* d = std::get_if<double>(&v)) return Number(*d);
      break;
    case swf::kPushDouble:
      if (auto* d = std::get_if<double>(&v)) return Number(*d);
      if (auto* f = std::get_if<float>(&v)) return Number(*f);
      break;
    case swf::kPushBoolean:
      if (auto* b = std::get_if<bool>(&v)) return {TValue::Kind::Other, *b ? "true" : "false", 0};
      if (auto* i = std::get_if<std::int64_t>(&v)) return {TValue::Kind::Other, *i ? "true" : "false", 0};
      break;
    case swf::kPushNull:
      return {TValue::Kind::Other, "null", 0};
    case swf::kPushUndefined:
      return {TValue::Kind::Other, "undefined", 0};
    default:
      break;
  }
  return {};
}

// Runs one frame script; false when it reached control flow.
bool Evaluate(const swf::TSWFActionList& actions, std::map<std::string, std::string>& variables) {
  std::vector<std::string> pool;
  std::vector<TValue> stack;
  auto pop = [&stack]() {
    if (stack.empty()) return TValue{};
    TValue top = stack.back();
    stack.pop_back();
    return top;
  };
  for (const auto& record : actions) {
    switch (record->ActionCode) {
      case 0x88:  // ConstantPool
        pool = static_cast<const swf::TSWFActionConstantPool&>(*record).ConstantPool;
        break;
      case 0x96:  // Push
        for (const auto& value : static_cast<const swf::TSWFActionPush&>(*record).Values)
          stack.push_back(PushValue(value, pool));
        break;
      case 0x1D:    // SetVariable
      case 0x3C: {  // DefineLocal
        const TValue value = pop();
        const TValue target = pop();
        if (target.Type == TValue::Kind::String && value.Type != TValue::Kind::Unknown &&
            target.Text.find_first_of(":./") == std::string::npos)
          variables[target.Text] = value.Text;
        break;
      }
      case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x47: {  // Add, Subtract, Multiply, Divide, Add2
        const TValue b = pop();
        const TValue a = pop();
        const std::uint8_t code = record->ActionCode;
        if (a.Type == TValue::Kind::Number && b.Type == TValue::Kind::Number)
          stack.push_back(Number(code == 0x0B   ? a.Number - b.Number
                                 : code == 0x0C ? a.Number * b.Number
                                 : code == 0x0D ? a.Number / b.Number
                                                : a.Number + b.Number));
        else if (code == 0x47 && (a.Type == TValue::Kind::String || b.Type == TValue::Kind::String) &&
                 a.Type != TValue::Kind::Unknown && b.Type != TValue::Kind::Unknown)
          stack.push_back({TValue::Kind::String, a.Text + b.Text, 0});
        else
          stack.push_back({});
        break;
      }
      case 0x99: case 0x9D: case 0x9B: case 0x8E: case 0x94: case 0x8F:  // Jump, If, functions, With, Try
        return false;
      case 0x00:
        break;
      default:
        // What other records take and leave is not followed.
        stack.clear();
        break;
    }
  }
  return true;
}

}  // namespace

std::map<std::string, std::string> ReadFrameVariables(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  swf::TSWFStreamReader reader;
  reader.LoadFromBytes(bytes.data(), bytes.size(), name);
  if (!reader.IsSWF) ThrowFileError(name, "not an SWF movie (it does not begin with FWS or CWS)");
  reader.ParseTags(true, true);
  std::map<std::string, std::string> variables;
  for (std::size_t i = 0; i < reader.TagCount(); ++i) {
    const swf::TSWFTagInfo& tag = reader.TagInfo(i);
    if (tag.TagID == swf::tag::ShowFrame || tag.TagID == swf::tag::End) break;  // the first frame is over
    if (tag.TagID != swf::tag::DoAction) continue;
    const auto* action = dynamic_cast<const swf::TSWFDoAction*>(tag.TagObject);
    if (action && !Evaluate(action->Actions(), variables)) break;
  }
  return variables;
}

}  // namespace yel::publish
