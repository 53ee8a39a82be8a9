// Constructs with code of their own: the global functions of the early
// script language (dedicated actions), "on" and "onClipEvent" handlers (the
// action lists of button conditions and clip action records), and class and
// interface declarations (registration code).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "base/text.h"
#include "swf/actionscript/codegen.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/format/place_object_tags.h"

namespace yel::swf {

using namespace gen;

namespace {

constexpr std::array<const char*, 22> kProperties = {
    "_x",         "_y",         "_xscale",       "_yscale",       "_currentframe", "_totalframes",
    "_alpha",     "_visible",   "_width",        "_height",       "_rotation",     "_target",
    "_framesloaded", "_name",   "_droptarget",   "_url",          "_highquality",  "_focusrect",
    "_soundbuftime", "_quality", "_xmouse",      "_ymouse"};

constexpr std::array<const char*, 9> kButtonEvents = {"rollOver", "rollOut",        "press",
                                                      "release",  "dragOver",       "dragOut",
                                                      "releaseOutside", "menuDragOver", "menuDragOut"};

constexpr std::array<const char*, 19> kClipEvents = {
    "keyUp",   "keyDown",  "mouseUp",        "mouseDown", "mouseMove", "unload",     "enterFrame",
    "load",    "dragOver", "rollOut",        "rollOver",  "releaseOutside", "release", "press",
    "initialize", "data",  "construct",      "keyPress",  "dragOut"};

constexpr std::array<const char*, 75> kStandardClasses = {
    "toplevel", "Accessibility", "Array", "AsBroadcaster", "Boolean", "Button", "Camera", "Color",
    "ContextMenu", "ContextMenuItem", "CustomActions", "Date", "Enumeration", "Error", "File", "FontName",
    "Function", "FunctionArguments", "Key", "LoadVars", "LocalConnection", "Math", "Microphone", "Mouse",
    "MovieClip", "MovieClipLoader", "NetConnection", "NetStream", "Number", "Object", "ObjectID", "PrintJob",
    "Selection", "SharedObject", "Sound", "Stage", "String", "System", "System.capabilities",
    "System.security", "TextField", "TextField.StyleSheet", "TextFormat", "TextSnapshot", "URI", "Video", "XML",
    "XMLNode", "XMLSocket", "XMLUI", "flash.display.BitmapData", "flash.external.ExternalInterface",
    "flash.filters.BevelFilter", "flash.filters.BitmapFilter", "flash.filters.BlurFilter",
    "flash.filters.ColorMatrixFilter", "flash.filters.ConvolutionFilter", "flash.filters.DisplacementMapFilter",
    "flash.filters.DropShadowFilter", "flash.filters.GlowFilter", "flash.filters.GradientBevelFilter",
    "flash.filters.GradientGlowFilter", "flash.geom.ColorTransform", "flash.geom.Matrix", "flash.geom.Point",
    "flash.geom.Rectangle", "flash.geom.Transform", "flash.net.FileReference", "flash.net.FileReferenceList",
    "flash.text.TextRenderer", "System.IME", "mx.core.ComponentVersion", "mx.video.ComponentVersion",
    "mx.video.MediaComponentVersion", "mx.transitions.Version"};

struct TKey {
  const char* Text;
  int Code;
};
constexpr TKey kKeys[] = {
    {"<Enter>", 13},      {"<Up>", 14},        {"<Down>", 15},       {"<Left>", 1},       {"<Right>", 2},
    {"<PageUp>", 16},     {"<PageDown>", 17},  {"Key.BACKSPACE", 8}, {"Key.CAPSLOCK", 20}, {"Key.CONTROL", 17},
    {"Key.DELETEKEY", 46}, {"Key.DOWN", 40},   {"Key.END", 35},      {"Key.ENTER", 13},   {"Key.ESCAPE", 27},
    {"Key.HOME", 36},     {"Key.INSERT", 45},  {"Key.LEFT", 37},     {"Key.PGDN", 34},    {"Key.PGUP", 33},
    {"Key.RIGHT", 39},    {"Key.SHIFT", 16},   {"Key.SPACE", 32},    {"Key.TAB", 9},      {"Key.UP", 38}};

std::string Line(const TParseTreeNode& node) { return std::to_string(node.Pos.Line); }

// A string literal argument's text, or null.
const std::string* Literal(TCompileContext& cc, TParseTreeNode* node) {
  auto* str = dynamic_cast<TStrNode*>(node);
  return str && str->Id >= 0 ? &Text(cc, str->Id) : nullptr;
}

const TNumberNode* NumberLiteral(TParseTreeNode* node) { return dynamic_cast<TNumberNode*>(node); }

std::string LevelName(double value) {
  double truncated = std::trunc(value);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "_level%.0f", truncated);
  return buffer;
}

// The name a getProperty or setProperty argument ends in, or null.
const std::string* PropertyName(TCompileContext& cc, TParseTreeNode* node) {
  auto* ref = dynamic_cast<TLvalueNode*>(node);
  if (!ref || ref->IsEval) return nullptr;
  auto* member = dynamic_cast<TStrNode*>(ref->Member);
  return member && member->Id >= 0 ? &Text(cc, member->Id) : nullptr;
}

std::uint8_t SendMethod(const std::string& text) { return AsciiLower(text) == "get" ? 1 : 2; }

}  // namespace

int PropertyIndex(std::string_view name) {
  std::string lower = AsciiLower(name);
  for (std::size_t i = 0; i < kProperties.size(); ++i)
    if (lower == kProperties[i]) return static_cast<int>(i);
  return -1;
}

int KeyCodeOf(std::string_view text) {
  for (const TKey& key : kKeys)
    if (text == key.Text) return key.Code;
  if (text.size() == 1) return static_cast<unsigned char>(text[0]);
  return 0;
}

bool IsStandardClassName(std::string_view name) {
  for (const char* standard : kStandardClasses)
    if (EqualsIgnoreCase(name, standard)) return true;
  return false;
}

std::vector<std::string> StandardClassNames() { return {kStandardClasses.begin(), kStandardClasses.end()}; }

bool CompileBuiltIn(TCompileContext& cc, TFuncCallNode& call) {
  static const std::unordered_map<std::string, int> kNames = {
      {"length", 1},        {"int", 2},          {"random", 3},       {"call", 4},          {"chr", 5},
      {"ord", 6},           {"substring", 7},    {"mbord", 8},        {"mbchr", 9},         {"mblength", 10},
      {"startdrag", 11},    {"stopdrag", 12},    {"number", 13},      {"string", 14},       {"gettimer", 15},
      {"getproperty", 16},  {"setproperty", 17}, {"geturl", 18},      {"loadmovie", 19},    {"loadmovienum", 20},
      {"loadvariables", 21}, {"loadvariablesnum", 22}, {"duplicatemovieclip", 23}, {"removemovieclip", 24},
      {"play", 25},         {"stop", 26},        {"nextframe", 27},   {"prevframe", 28},    {"stopallsounds", 29},
      {"gotoandplay", 30},  {"gotoandstop", 31}, {"set", 32},         {"unloadmovie", 33},  {"unloadmovienum", 34},
      {"fscommand", 35},    {"fscommand2", 36},  {"trace", 37}};
  const std::string& written = Text(cc, call.Name);
  auto found = kNames.find(AsciiLower(written));
  if (found == kNames.end()) return false;
  // new String(...) and new Number(...) construct objects of the player's
  // classes, with any number of arguments; only the calls are conversions.
  if (call.Has(kNodeConstruct) && (found->second == 13 || found->second == 14)) return false;
  TFlashActionScript& b = B(cc);
  const auto& args = call.Arguments->Items;
  const int count = static_cast<int>(args.size());
  auto requireCount = [&](int required) {
    if (count != required)
      Fail(call, "Invalid parameters count in \"" + written + "\" in line " + Line(call) + "\nRequires " +
                     std::to_string(required) + " parameters, actual - " + std::to_string(count) + ".");
  };
  auto arg = [&](int index) { CompileChild(cc, args[static_cast<std::size_t>(index)]); };
  auto unary = [&](void (TFlashActionScript::*action)()) {
    requireCount(1);
    arg(0);
    (b.*action)();
  };
  auto simple = [&](void (TFlashActionScript::*action)()) {
    requireCount(0);
    (b.*action)();
    PushUndefined(cc);
  };
  // loadMovie, loadVariables and their level forms.
  auto load = [&](bool variables, bool level, const char* name, const char* levelName) {
    if (count != 2 && count != 3)
      Fail(call, std::string("Invalid parameters list in \"") + name + "\" in line " + Line(call) + "\n\"" + name +
                     "\" requires 2 or 3 parameters");
    std::uint8_t method = 0;
    if (count == 3) {
      const std::string* text = Literal(cc, args[2]);
      if (!text) Fail(call, std::string("Invalid parameters 3 in \"") + name + "\" in line " + Line(call));
      method = SendMethod(*text);
    }
    arg(0);
    if (level) {
      const TNumberNode* number = NumberLiteral(args[1]);
      if (!number) Fail(call, std::string("Invalid parameters 2 in \"") + levelName + "\" in line " + Line(call));
      PushDirect(cc, LevelName(number->Value));
    } else {
      arg(1);
    }
    b.GetURL2(true, variables, method);
    PushUndefined(cc);
  };

  switch (found->second) {
    case 1: unary(&TFlashActionScript::StringLength); break;
    case 2: unary(&TFlashActionScript::ToInteger); break;
    case 3: unary(&TFlashActionScript::RandomNumber); break;
    case 4:
      unary(&TFlashActionScript::Call);
      PushUndefined(cc);
      break;
    case 5: unary(&TFlashActionScript::AsciiToChar); break;
    case 6: unary(&TFlashActionScript::CharToAscii); break;
    case 7:
      requireCount(3);
      arg(0);
      arg(1);
      arg(2);
      b.StringExtract();
      break;
    case 8: unary(&TFlashActionScript::MBCharToAscii); break;
    case 9: unary(&TFlashActionScript::MBAsciiToChar); break;
    case 10: unary(&TFlashActionScript::MBStringLength); break;
    case 11:
      if (count == 1) {
        PushInt(cc, 0);
        PushInt(cc, 0);
        arg(0);
      } else if (count == 2) {
        PushInt(cc, 0);
        arg(1);
        arg(0);
      } else if (count == 6) {
        arg(2);
        arg(3);
        arg(4);
        arg(5);
        PushInt(cc, 1);
        arg(1);
        arg(0);
      } else {
        Fail(call, "Invalid parameters list in \"startDrag\" in line " + Line(call) +
                       "\n\"startDrag\" requires 1 (target), 2 (target+lock) or 6 (target+lock+constraint) "
                       "parameters");
      }
      b.StartDrag();
      PushUndefined(cc);
      break;
    case 12: simple(&TFlashActionScript::EndDrag); break;
    case 13: unary(&TFlashActionScript::ToNumber); break;
    case 14: unary(&TFlashActionScript::ToString); break;
    case 15:
      requireCount(0);
      b.GetTime();
      break;
    case 16: {
      requireCount(2);
      const std::string* name = PropertyName(cc, args[1]);
      if (!name) Fail(call, "Invalid parameters list in \"getProperty\" in line " + Line(call));
      int index = PropertyIndex(*name);
      if (index < 0) Fail(call, "Invalid property name in \"getProperty\" in line " + Line(call));
      arg(0);
      PushInt(cc, index);
      b.GetProperty();
      break;
    }
    case 17: {
      requireCount(3);
      const std::string* name = PropertyName(cc, args[1]);
      if (!name) Fail(call, "Invalid parameters list in \"setProperty\" in line " + Line(call));
      int index = PropertyIndex(*name);
      if (index < 0) Fail(call, "Invalid property name in \"setProperty\" in line " + Line(call));
      arg(0);
      PushInt(cc, index);
      arg(2);
      b.SetProperty();
      PushUndefined(cc);
      break;
    }
    case 18: {
      std::uint8_t method = 0;
      if (count == 3) {
        const std::string* text = Literal(cc, args[2]);
        if (!text) Fail(call, "Invalid parameters 3 in \"getUrl\" in line " + Line(call));
        method = SendMethod(*text);
      } else if (count != 1 && count != 2) {
        Fail(call, "Invalid parameters list in \"getUrl\" in line " + Line(call) +
                       "\n\"getUrl\" requires 1, 2 or 3 parameters");
      }
      arg(0);
      if (count == 1)
        PushDirect(cc, "");
      else
        arg(1);
      b.GetURL2(false, false, method);
      PushUndefined(cc);
      break;
    }
    case 19: load(false, false, "loadMovie", "loadMovieNum"); break;
    case 20: load(false, true, "loadMovie", "loadMovieNum"); break;
    case 21: load(true, false, "loadVariables", "loadVariablesNum"); break;
    case 22: load(true, true, "loadVariables", "loadVariablesNum"); break;
    case 23:
      requireCount(3);
      arg(0);
      arg(1);
      arg(2);
      b.CloneSprite();
      PushUndefined(cc);
      break;
    case 24:
      requireCount(1);
      arg(0);
      b.RemoveSprite();
      PushUndefined(cc);
      break;
    case 25: simple(&TFlashActionScript::Play); break;
    case 26: simple(&TFlashActionScript::Stop); break;
    case 27: simple(&TFlashActionScript::NextFrame); break;
    case 28: simple(&TFlashActionScript::PreviousFrame); break;
    case 29: simple(&TFlashActionScript::StopSounds); break;
    case 30:
    case 31: {
      const bool play = found->second == 30;
      if (cc.SWFVersion() < 5) {
        if (count != 1 && count != 2)
          Fail(call, "Invalid parameters count in \"" + written + "\" in line " + Line(call) +
                         "\nRequires 1 or 2 parameters, actual - " + std::to_string(count) + ".");
        const TNumberNode* frame = NumberLiteral(args[static_cast<std::size_t>(count - 1)]);
        if (frame || count == 2) {
          double value = frame ? std::trunc(frame->Value) - 1 : 0;
          b.GotoFrame(static_cast<std::uint16_t>(std::clamp(value, 0.0, 65535.0)));
        }
        if (play) b.Play();
      } else {
        if (count == 0)
          Fail(call, "Invalid parameters count in \"" + written + "\" in line " + Line(call) +
                         "\nRequires 1 parameters, actual - 0.");
        arg(0);
        b.GotoFrame2(play, 0);
      }
      PushUndefined(cc);
      break;
    }
    case 32:
      requireCount(2);
      arg(0);
      arg(1);
      b.SetVariable();
      PushUndefined(cc);
      break;
    case 33:
    case 34: {
      requireCount(1);
      PushDirect(cc, "");
      if (found->second == 34) {
        const TNumberNode* number = NumberLiteral(args[0]);
        if (!number) Fail(call, "Invalid parameters 1 in \"unloadMovieNum\" in line " + Line(call));
        PushDirect(cc, LevelName(number->Value));
      } else {
        arg(0);
      }
      b.GetURL2(true, false, 0);
      PushUndefined(cc);
      break;
    }
    case 35: {
      // The arguments text may be left out (as the authoring tool allows).
      if (count != 1 && count != 2) requireCount(2);
      const std::string* command = Literal(cc, args[0]);
      if (!command) Fail(call, "Invalid parameters 1 in \"fscommand\" in line " + Line(call));
      const std::string* arguments = count == 2 ? Literal(cc, args[1]) : nullptr;
      if (count == 2 && !arguments) Fail(call, "Invalid parameters 2 in \"fscommand\" in line " + Line(call));
      b.FSCommand(*command, arguments ? *arguments : std::string());
      PushUndefined(cc);
      break;
    }
    case 36:
      if (count == 0) Fail(call, "Invalid parameters list in \"fscommand2\" in line " + Line(call) + "\n");
      call.PushArguments(cc);
      b.Add(std::make_unique<TSWFActionFSCommand2>());
      break;
    case 37:
      requireCount(1);
      arg(0);
      b.Add(std::make_unique<TSWFActionTrace>());
      PushUndefined(cc);
      break;
    default: return false;
  }
  return true;
}

// --- event handlers

void TEventListNode::Evaluate(TCompileContext& cc) {
  for (TPairNode* event : Events) {
    const std::string& name = Text(cc, static_cast<TStrNode*>(event->First)->Id);
    if (event->Second) {
      Kind = kEventKey;
      KeyText = Text(cc, static_cast<TStrNode*>(event->Second)->Id);
      return;
    }
    if (Kind == kEventOn) {
      auto it = std::find_if(kButtonEvents.begin(), kButtonEvents.end(), [&](const char* n) { return name == n; });
      if (it == kButtonEvents.end()) Fail(*this, "Unknown button event: " + name + " in line " + Line(*this));
      ButtonEvents |= static_cast<std::uint16_t>(1u << (it - kButtonEvents.begin()));
    } else {
      auto it = std::find_if(kClipEvents.begin(), kClipEvents.end(), [&](const char* n) { return name == n; });
      if (it == kClipEvents.end()) Fail(*this, "Unknown clip event: " + name + " in line " + Line(*this));
      ClipEvents |= 1u << (it - kClipEvents.begin());
    }
  }
}

void CompileEventHandler(TCompileContext& cc, TProgramNode& program) {
  TEventListNode& events = *program.Events;
  TCompileUnit& unit = *cc.Unit();
  const bool button = unit.OwnerKind == TCompileUnit::TOwnerKind::Button && unit.Button;
  const bool clip = unit.OwnerKind == TCompileUnit::TOwnerKind::Clip && unit.Clip;
  TSWFActionList* list = nullptr;
  auto invalid = [&] { Fail(events, "Invalid event handler type in line " + Line(events)); };
  switch (events.Kind) {
    case kEventOn:
      if (!button) invalid();
      list = &unit.Button->AddCondition(events.ButtonEvents, 0);
      break;
    case kEventClip:
      if (!clip) invalid();
      list = &unit.Clip->OnClipEvent(events.ClipEvents);
      break;
    default: {
      int code = KeyCodeOf(events.KeyText);
      if (button) {
        list = &unit.Button->AddCondition(0, static_cast<std::uint8_t>(code));
      } else if (clip) {
        TSWFClipActionRecord& record = unit.Clip->OnClipEvent(0);
        record.SetKeyCode(static_cast<std::uint8_t>(code));
        list = &record;
      } else {
        invalid();
      }
    }
  }
  cc.HandlerLists().push_back(list);
  TFlashActionScript builder(cc.Movie(), list);
  TFlashActionScript* saved = cc.HasBuilder() ? &cc.Builder() : nullptr;
  cc.SetBuilder(&builder);
  struct Restore {
    TCompileContext& cc;
    TFlashActionScript* saved;
    ~Restore() { cc.SetBuilder(saved); }
  } restore{cc, saved};
  for (TParseTreeNode* item : program.Items) CompileChild(cc, item);
  cc.InsertConstantPool(*list);
}

// --- classes and interfaces

namespace {

// Leaves the innermost package object of the name (or _global) on the stack
// and in register 1, creating missing packages.
void PackageWalk(TCompileContext& cc, const TCompoundName& name) {
  TFlashActionScript& b = B(cc);
  cc.PushString(kIdGlobal);
  b.GetVariable();
  b.StoreRegister(1);
  for (std::size_t i = 0; i + 1 < name.Count(); ++i) {
    int part = name.Part(i);
    cc.PushString(part);
    b.GetMember();
    b.Not();
    b.Not();
    TSWFActionIf* exists = b.If();
    PushRegister(cc, 1);
    cc.PushString(part);
    PushInt(cc, 0);
    cc.PushString(kIdObject);
    b.NewObject();
    b.SetMember();
    PlaceForward(cc, exists->Marker());
    PushRegister(cc, 1);
    cc.PushString(part);
    b.GetMember();
    b.StoreRegister(1);
  }
}

TSWFActionIf* Guard(TCompileContext& cc, int name) {
  TFlashActionScript& b = B(cc);
  cc.PushString(name);
  b.GetMember();
  b.Not();
  b.Not();
  return b.If();
}

int MethodName(TCompileContext& cc, const TFuncDefNode& method) {
  if (method.Has(kNodeGetter)) return cc.Strings().Id("__get__" + Text(cc, method.Name));
  if (method.Has(kNodeSetter)) return cc.Strings().Id("__set__" + Text(cc, method.Name));
  return method.Name;
}

bool IsStatic(const TFuncDefNode& method) { return method.Entry && (method.Entry->Flags & kIdentStatic); }

}  // namespace

void TClassImplNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  PackageWalk(cc, Name);
  TSWFActionIf* done = Guard(cc, Name.Last());
  // The constructor.
  PushRegister(cc, 1);
  cc.PushString(Name.Last());
  Constructor->Generate(cc, kIdEmpty, this);
  b.StoreRegister(1);
  b.SetMember();
  if (Super && cc.SWFVersion() >= 7) {
    PushRegister(cc, 1);
    PushGlobalChain(cc, *Super);
    b.Extends();
  } else if (Super) {
    // Players before version 7 have no Extends: the prototype is an
    // instance of the superclass.
    PushRegister(cc, 1);
    cc.PushString(kIdPrototype);
    PushInt(cc, 0);
    TCompoundName package;
    for (std::size_t i = 0; i + 1 < Super->Count(); ++i) package.Append(Super->Part(i));
    PushGlobalChain(cc, package);
    cc.PushString(Super->Last());
    b.NewMethod();
    b.SetMember();
  }
  if (Interfaces && !Interfaces->Names.empty()) {
    for (const auto& interfaceName : Interfaces->Names) PushGlobalChain(cc, interfaceName);
    PushInt(cc, static_cast<std::int64_t>(Interfaces->Names.size()));
    PushRegister(cc, 1);
    b.ImplementsOp();
  }
  // Fields with initialisers on the object in register 1.
  auto setFields = [&](bool statics) {
    for (TVarDeclListNode* fields : Body->Fields) {
      if (fields->Static != statics) continue;
      for (TVarDeclNode* field : fields->Declarations) {
        if (!field->Init) continue;
        PushRegister(cc, 1);
        cc.PushString(field->Entry->Name);
        CompileChild(cc, field->Init);
        b.SetMember();
      }
    }
  };
  // Static members.
  setFields(true);
  for (TFuncDefNode* method : Body->Methods) {
    if (!IsStatic(*method)) continue;
    PushRegister(cc, 1);
    cc.PushString(MethodName(cc, *method));
    method->Generate(cc, kIdEmpty, nullptr);
    b.SetMember();
  }
  // The prototype and the instance methods.
  PushRegister(cc, 1);
  cc.PushString(kIdPrototype);
  b.GetMember();
  b.StoreRegister(1);
  b.Pop();
  // Instance fields with initialisers are members of the prototype, so that
  // a superclass's constructor sees them too.
  setFields(false);
  std::vector<int> properties;
  for (TFuncDefNode* method : Body->Methods) {
    if (IsStatic(*method)) continue;
    PushRegister(cc, 1);
    cc.PushString(MethodName(cc, *method));
    method->Generate(cc, kIdEmpty, nullptr);
    b.SetMember();
    if ((method->Has(kNodeGetter) || method->Has(kNodeSetter)) &&
        std::find(properties.begin(), properties.end(), method->Name) == properties.end())
      properties.push_back(method->Name);
  }
  for (int property : properties) {
    bool hasGetter = false, hasSetter = false;
    for (TFuncDefNode* method : Body->Methods) {
      if (method->Name != property || IsStatic(*method)) continue;
      hasGetter |= method->Has(kNodeGetter);
      hasSetter |= method->Has(kNodeSetter);
    }
    auto accessor = [&](bool present, const char* prefix) {
      if (!present) return PushNull(cc);
      PushRegister(cc, 1);
      cc.PushString(cc.Strings().Id(prefix + Text(cc, property)));
      b.GetMember();
    };
    accessor(hasSetter, "__set__");
    accessor(hasGetter, "__get__");
    cc.PushString(property);
    PushInt(cc, 3);
    PushRegister(cc, 1);
    cc.PushString("addProperty");
    b.CallMethod();
    b.Pop();
  }
  PlaceForward(cc, done->Marker());
}

void TClassIntfNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  PackageWalk(cc, Name);
  TSWFActionIf* done = Guard(cc, Name.Last());
  PushRegister(cc, 1);
  cc.PushString(Name.Last());
  TSWFActionDefineFunction* function = b.DefineFunction("", {});
  PushUndefined(cc);
  b.Return();
  PlaceForward(cc, function->Marker());
  b.StoreRegister(1);
  b.SetMember();
  if (Super) {
    PushGlobalChain(cc, *Super);
    PushInt(cc, 1);
    PushRegister(cc, 1);
    b.ImplementsOp();
  }
  PlaceForward(cc, done->Marker());
}

}  // namespace yel::swf
