// Code generation: the actions of every expression and statement node, name
// resolution at generation time, and function definitions with registers.
#include "swf/actionscript/codegen.h"

#include <cmath>
#include <limits>

#include "base/text.h"
#include "swf/actionscript/scanner.h"

namespace yel::swf {

using namespace gen;

namespace gen {

void PushNumber(TCompileContext& cc, double value) {
  if (std::trunc(value) == value && value >= std::numeric_limits<std::int32_t>::min() &&
      value <= std::numeric_limits<std::int32_t>::max() && !(value == 0 && std::signbit(value)))
    PushInt(cc, static_cast<std::int64_t>(value));
  else
    PushDouble(cc, value);
}

void CompileDiscarded(TCompileContext& cc, TParseTreeNode* node) {
  if (!node) return;
  node->Flags |= kNodeDiscard;
  CompileChild(cc, node);
}

void Fail(const TParseTreeNode& node, const std::string& message) {
  throw EActionCompileError(message, node.Pos.File, node.Pos.Line, node.Pos.Column + 1);
}

const std::string& Text(TCompileContext& cc, int id) { return cc.Strings().Text(id); }

}  // namespace gen

TParseTreeNode::TParseTreeNode() {
  if (TCompileContext* cc = CurrentContext(); cc && cc->Scanner) {
    Pos.File = cc->Scanner->Current.FileName;
    Pos.Line = cc->Scanner->Line;
    Pos.Column = cc->Scanner->Column;
  }
}

void CompileChild(TCompileContext& cc, TParseTreeNode* node) {
  if (!node) return;
  cc.EnterNode(*node);
  node->Compile(cc);
  cc.LeaveNode();
}

namespace {

// The scope a node's code runs in, when it is a function's.
bool InRegister(const TIdentInfo* entry, const TIdentTable* scope) {
  return entry && entry->ScopeKind == kScopeFunction && entry->Register > 0 && entry->Scope == scope;
}

// For a plain name used inside a function or class scope: the class member
// it stands for, or null.
TIdentInfo* ClassMember(TIdentInfo* entry, TIdentTable* scope, int name) {
  if (!scope || scope->Kind == kScopeProgram) return nullptr;
  if (entry && entry->ScopeKind == kScopeFunction) return nullptr;
  if (!entry || entry->ScopeKind == kScopeProgram) {
    const TBaseIdentTable* start = scope->Kind == kScopeFunction ? scope->Enclosing : scope;
    entry = start ? start->Lookup(name) : nullptr;
  }
  if (!entry || entry->ScopeKind != kScopeClass || entry->AsClass() || (entry->Flags & kIdentConstructor))
    return nullptr;
  return entry;
}

// The object through which a class member is reached: this, or the chain of
// the declaring class for a static member.
TParseTreeNode* MemberObject(TCompileContext& cc, TIdentInfo* member, TIdentTable* scope, const TSourcePos& pos) {
  if (member->Flags & kIdentStatic) {
    if (member->Scope->QualifiedName) return MemberChain(*member->Scope->QualifiedName, pos);
  }
  auto* self = MakeNode<TLvalueNode>();
  self->Member = MakeNode<TStrNode>(kIdThis);
  self->Scope = scope;
  self->Entry = scope ? scope->Find(kIdThis) : nullptr;
  self->Pos = pos;
  (void)cc;
  return self;
}

}  // namespace

TLvalueNode* MemberChain(const TCompoundName& name, const TSourcePos& pos) {
  TCompileContext* cc = CurrentContext();
  TLvalueNode* node = nullptr;
  for (int part : name.Parts()) {
    auto* next = MakeNode<TLvalueNode>();
    next->Object = node;
    next->Member = MakeNode<TStrNode>(part);
    next->Scope = cc->CurrentScope();
    if (!pos.File.empty() || pos.Line > 1) next->Pos = pos;
    node = next;
  }
  return node;
}

void PushGlobalChain(TCompileContext& cc, const TCompoundName& name) {
  cc.PushString(kIdGlobal);
  B(cc).GetVariable();
  for (int part : name.Parts()) {
    cc.PushString(part);
    B(cc).GetMember();
  }
}

// --- literals

void TNumberNode::Compile(TCompileContext& cc) {
  if (!Has(kNodeDiscard)) PushNumber(cc, Value);
}

void TStrNode::Compile(TCompileContext& cc) {
  if (Has(kNodeDiscard)) return;
  switch (Id) {
    case kValueUndefined: PushUndefined(cc); break;
    case kValueNull: PushNull(cc); break;
    case kValueFalse: PushBool(cc, false); break;
    case kValueTrue: PushBool(cc, true); break;
    default: cc.PushString(Id); break;
  }
}

// --- references

void TLvalueNode::Resolve(TCompileContext& cc) {
  if (Resolved) return;
  Resolved = true;
  if (!IsPlain()) return;
  int name = static_cast<TStrNode*>(Member)->Id;
  if (InRegister(Entry, Scope)) {
    Register = Entry->Register;
    return;
  }
  if (TIdentInfo* member = ClassMember(Entry, Scope, name)) {
    MemberAccess = MakeNode<TLvalueNode>();
    MemberAccess->Object = MemberObject(cc, member, Scope, Pos);
    MemberAccess->Member = MakeNode<TStrNode>(name);
    MemberAccess->Scope = Scope;
    MemberAccess->Pos = Pos;
    MemberAccess->Resolved = true;
  }
}

void TLvalueNode::Refs(TCompileContext& cc) {
  Resolve(cc);
  if (MemberAccess) return MemberAccess->Refs(cc);
  if (Register) return;
  if (IsEval) return CompileChild(cc, Member);
  CompileChild(cc, Object);
  CompileChild(cc, Member);
}

void TLvalueNode::Get(TCompileContext& cc) {
  if (MemberAccess) return MemberAccess->Get(cc);
  if (Register) return PushRegister(cc, Register);
  if (Object) return B(cc).GetMember();
  B(cc).GetVariable();
}

void TLvalueNode::Set(TCompileContext& cc) {
  if (MemberAccess) return MemberAccess->Set(cc);
  if (Register) {
    B(cc).StoreRegister(static_cast<std::uint8_t>(Register));
    B(cc).Pop();
    return;
  }
  if (Object) return B(cc).SetMember();
  B(cc).SetVariable();
}

int TLvalueNode::SuperAccessor() const {
  if (!Object || !Object->Has(kNodeSuper)) return -1;
  int name = static_cast<const TStrNode*>(Member)->Id;
  const TBaseIdentTable* scope = Scope;
  while (scope && scope->Kind != kScopeClass) scope = scope->Enclosing;
  int depth = 0;
  for (scope = scope ? scope->Inherited : nullptr; scope && depth < 256; scope = scope->Inherited, ++depth)
    if (TIdentInfo* entry = scope->Find(name); entry && (entry->Flags & kIdentAccessor)) return name;
  return -1;
}

namespace {

// Calls the accessor method prefix + name of super with the arguments
// already pushed (count of them given).
void CallSuperAccessor(TCompileContext& cc, TLvalueNode& ref, const char* prefix, int count) {
  PushInt(cc, count);
  CompileChild(cc, ref.Object);
  cc.PushString(prefix + Text(cc, static_cast<TStrNode*>(ref.Member)->Id));
  B(cc).CallMethod();
}

}  // namespace

void TLvalueNode::Compile(TCompileContext& cc) {
  if (Has(kNodeDiscard) && !Object) return;
  // A property of a superclass read through super: its getter is called,
  // so that it runs for this class's instance as a method of the
  // superclass.
  if (SuperAccessor() >= 0) {
    CallSuperAccessor(cc, *this, "__get__", 0);
    if (Has(kNodeDiscard)) B(cc).Pop();
    return;
  }
  Refs(cc);
  Get(cc);
  if (Has(kNodeDiscard)) B(cc).Pop();
}

// --- assignments

namespace {

void CompoundOperator(TCompileContext& cc, int kind) {
  TFlashActionScript& b = B(cc);
  switch (kind) {
    case 2: b.Add2(); break;
    case 3: b.Subtract(); break;
    case 4: b.Multiply(); break;
    case 5: b.Divide(); break;
    case 6: b.Modulo(); break;
    case 7: b.BitAnd(); break;
    case 8: b.BitXor(); break;
    case 9: b.BitOr(); break;
    case 10: b.BitLShift(); break;
    case 11: b.BitRShift(); break;
    case 12: b.BitURShift(); break;
    default: break;
  }
}

}  // namespace

void TAssignNode::Compile(TCompileContext& cc) {
  const bool used = !Has(kNodeDiscard);
  TLvalueNode& target = *Target;
  target.Resolve(cc);
  if (Kind == kAssign && target.SuperAccessor() >= 0) {
    // The setter of a superclass's property, called as a method.
    CompileChild(cc, Value);
    if (used) B(cc).StoreRegister(0);
    CallSuperAccessor(cc, target, "__set__", 1);
    B(cc).Pop();
    if (used) PushRegister(cc, 0);
    return;
  }
  if (Kind == kIncrement || Kind == kDecrement) {
    const bool postfix = Has(kNodePostfix);
    target.Refs(cc);
    target.Refs(cc);
    target.Get(cc);
    if (used && postfix) B(cc).StoreRegister(0);
    if (Kind == kIncrement)
      B(cc).Increment();
    else
      B(cc).Decrement();
    if (used && !postfix) B(cc).StoreRegister(0);
    target.Set(cc);
    if (used) PushRegister(cc, 0);
    return;
  }
  target.Refs(cc);
  if (Kind != kAssign) {
    target.Refs(cc);
    target.Get(cc);
  }
  CompileChild(cc, Value);
  if (Kind != kAssign) CompoundOperator(cc, Kind);
  if (used) B(cc).StoreRegister(0);
  target.Set(cc);
  if (used) PushRegister(cc, 0);
}

// --- operators

void TBinOpNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  if (Operator == kOpAnd || Operator == kOpOr) {
    CompileChild(cc, Left);
    b.PushDuplicate();
    if (Operator == kOpAnd) b.Not();
    TSWFActionIf* skip = b.If();
    b.Pop();
    CompileChild(cc, Right);
    PlaceForward(cc, skip->Marker());
  } else {
    CompileChild(cc, Left);
    CompileChild(cc, Right);
    switch (Operator) {
      case '*': b.Multiply(); break;
      case '/': b.Divide(); break;
      case '%': b.Modulo(); break;
      case '+': b.Add2(); break;
      case '-': b.Subtract(); break;
      case kOpAdd: b.StringAdd(); break;
      case kOpShl: b.BitLShift(); break;
      case kOpShr: b.BitRShift(); break;
      case kOpUShr: b.BitURShift(); break;
      case '<': b.Less2(); break;
      case kOpGe: b.Less2(); b.Not(); break;
      case kOpEq: b.Equals2(); break;
      case kOpNe: b.Equals2(); b.Not(); break;
      case kOpStrictEq: b.StrictEquals(); break;
      case kOpStrictNe: b.StrictEquals(); b.Not(); break;
      case kOpInstanceOf: b.InstanceOf(); break;
      case '&': b.BitAnd(); break;
      case '^': b.BitXor(); break;
      case '|': b.BitOr(); break;
      case kOpStrEq: b.StringEquals(); break;
      case kOpStrNe: b.StringEquals(); b.Not(); break;
      case kOpStrLt: b.StringLess(); break;
      case kOpStrGe: b.StringLess(); b.Not(); break;
      default: Fail(*this, "Unknown operator");
    }
  }
  if (Has(kNodeDiscard)) b.Pop();
}

void TUnOpNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  switch (Operator) {
    case '-':
      PushInt(cc, 0);
      CompileChild(cc, Operand);
      b.Subtract();
      break;
    case '~':
      CompileChild(cc, Operand);
      PushInt(cc, -1);
      b.BitXor();
      break;
    case kOpNot:
      CompileChild(cc, Operand);
      b.Not();
      break;
    case kOpTypeOf:
      CompileChild(cc, Operand);
      b.TypeOf();
      break;
    case kOpVoid:
      CompileChild(cc, Operand);
      b.Pop();
      PushUndefined(cc);
      break;
    case kOpDelete: {
      auto* ref = dynamic_cast<TLvalueNode*>(Operand);
      if (ref) ref->Resolve(cc);
      if (ref && ref->Register) {
        cc.PushString(static_cast<TStrNode*>(ref->Member)->Id);
        b.Delete2();
      } else if (ref && (ref->Object || ref->MemberAccess)) {
        ref->Refs(cc);
        b.Delete();
      } else if (ref) {
        ref->Refs(cc);
        b.Delete2();
      } else {
        CompileChild(cc, Operand);
        b.Delete2();
      }
      break;
    }
    default: Fail(*this, "Unknown operator");
  }
  if (Has(kNodeDiscard)) b.Pop();
}

void TExprListNode::Compile(TCompileContext& cc) {
  const bool discard = Has(kNodeDiscard);
  if (Has(kNodeArray)) {
    for (auto it = Items.rbegin(); it != Items.rend(); ++it) CompileChild(cc, *it);
    PushInt(cc, static_cast<std::int64_t>(Items.size()));
    B(cc).InitArray();
    if (discard) B(cc).Pop();
    return;
  }
  if (Has(kNodeObject)) {
    // Items hold value, name for each property.
    for (std::size_t k = Items.size(); k >= 2; k -= 2) {
      CompileChild(cc, Items[k - 1]);
      CompileChild(cc, Items[k - 2]);
    }
    PushInt(cc, static_cast<std::int64_t>(Items.size() / 2));
    B(cc).InitObject();
    if (discard) B(cc).Pop();
    return;
  }
  for (std::size_t i = 0; i < Items.size(); ++i) {
    if (i + 1 < Items.size() || discard)
      CompileDiscarded(cc, Items[i]);
    else
      CompileChild(cc, Items[i]);
  }
}

// --- statements

void TProgramNode::Compile(TCompileContext& cc) {
  if (Events) return CompileEventHandler(cc, *this);
  for (TParseTreeNode* item : Items) CompileChild(cc, item);
}

void TStmtListNode::Compile(TCompileContext& cc) {
  for (TParseTreeNode* statement : Statements) CompileChild(cc, statement);
}

void TIfStmtNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  CompileChild(cc, Condition);
  TSWFActionIf* toThen = b.If();
  if (IsExpression || Else) CompileChild(cc, Else);
  TSWFActionJump* toEnd = b.Jump();
  PlaceForward(cc, toThen->Marker());
  CompileChild(cc, Then);
  PlaceForward(cc, toEnd->Marker());
  if (IsExpression && Has(kNodeDiscard)) b.Pop();
}

namespace {

// Keeps a loop or switch on the break stack while its parts are generated.
class BreakScope {
 public:
  BreakScope(TCompileContext& cc, TBreakTarget& target) : cc_(cc) { cc.BreakStack().push_back(&target); }
  ~BreakScope() { cc_.BreakStack().pop_back(); }

 private:
  TCompileContext& cc_;
};

void PlaceExits(TCompileContext& cc, TBreakTarget& target) {
  for (TSWFActionJump* jump : target.Exits) PlaceForward(cc, jump->Marker());
}

// The loop's test: leaves the loop (a jump placed with its exits) when the
// condition is false.
void ExitUnless(TCompileContext& cc, TBreakTarget& target, TParseTreeNode* condition) {
  TFlashActionScript& b = B(cc);
  CompileChild(cc, condition);
  b.Not();
  target.Exits.push_back(b.If());
}

}  // namespace

void TLoopStmtNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  TBreakTarget target;
  target.IsLoop = true;
  BreakScope scope(cc, target);
  // A do-while loop enters its body first, past the test.
  TSWFActionJump* toBody = Has(kNodeDoWhile) ? b.Jump() : nullptr;
  target.ContinueMarker = b.PlaceMarker();
  ExitUnless(cc, target, Condition);
  if (toBody) PlaceForward(cc, toBody->Marker());
  CompileChild(cc, Body);
  b.Jump()->SetMarker(target.ContinueMarker);
  PlaceExits(cc, target);
}

void TForStmtNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  if (Init) {
    if (!dynamic_cast<TVarDeclListNode*>(Init)) Init->Flags |= kNodeDiscard;
    CompileChild(cc, Init);
  }
  TBreakTarget target;
  target.IsLoop = true;
  BreakScope scope(cc, target);
  TSWFActionJump* toCondition = b.Jump();
  target.ContinueMarker = b.PlaceMarker();
  CompileChild(cc, Update);
  PlaceForward(cc, toCondition->Marker());
  if (Condition) ExitUnless(cc, target, Condition);
  CompileChild(cc, Body);
  b.Jump()->SetMarker(target.ContinueMarker);
  PlaceExits(cc, target);
}

void TForInStmtNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  const bool inRegister = InRegister(Entry, Scope);
  if (!inRegister) {
    cc.PushString(Name);
    b.DefineLocal2();
  }
  CompileChild(cc, Object);
  b.Enumerate2();
  TBreakTarget target;
  target.IsLoop = true;
  {
    BreakScope scope(cc, target);
    target.ContinueMarker = b.PlaceMarker();
    b.PushDuplicate();
    PushNull(cc);
    b.Equals2();
    target.Exits.push_back(b.If());
    if (inRegister) {
      b.StoreRegister(static_cast<std::uint8_t>(Entry->Register));
      b.Pop();
    } else {
      cc.PushString(Name);
      b.StackSwap();
      b.SetVariable();
    }
    CompileChild(cc, Body);
    b.Jump()->SetMarker(target.ContinueMarker);
  }
  PlaceExits(cc, target);
  // Drop what a break left of the enumeration, and the closing null.
  TSWFOffsetMarker* drop = b.PlaceMarker();
  PushNull(cc);
  b.Equals2();
  b.Not();
  b.If()->SetMarker(drop);
}

void TSwitchStmtNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  if (!Cases || Cases->Cases.empty()) {
    CompileChild(cc, Expression);
    b.Pop();
    return;
  }
  std::vector<TSwitchCaseNode*> clauses = Cases->Cases;
  for (auto it = clauses.begin(); it != clauses.end(); ++it) {
    if (!(*it)->Expression) {
      TSwitchCaseNode* fallback = *it;
      clauses.erase(it);
      clauses.push_back(fallback);
      break;
    }
  }
  TBreakTarget target;
  TSWFActionJump* toDispatch = b.Jump();
  std::vector<TSWFOffsetMarker*> entries;
  {
    BreakScope scope(cc, target);
    for (TSwitchCaseNode* clause : clauses) {
      entries.push_back(b.PlaceMarker());
      CompileChild(cc, clause->Statements);
    }
  }
  target.Exits.push_back(b.Jump());
  PlaceForward(cc, toDispatch->Marker());
  CompileChild(cc, Expression);
  // Cases match by strict equality where the player has it.
  const bool strict = cc.SWFVersion() >= 6;
  for (std::size_t i = 0; i < clauses.size(); ++i) {
    if (clauses[i]->Expression) {
      b.PushDuplicate();
      CompileChild(cc, clauses[i]->Expression);
      if (strict)
        b.StrictEquals();
      else
        b.Equals2();
      b.If()->SetMarker(entries[i]);
    } else {
      b.Jump()->SetMarker(entries[i]);
    }
  }
  PlaceExits(cc, target);
  b.Pop();
}

void TBreakStmtNode::Compile(TCompileContext& cc) {
  if (cc.BreakStack().empty()) return;
  cc.BreakStack().back()->Exits.push_back(B(cc).Jump());
}

void TContinueStmtNode::Compile(TCompileContext& cc) {
  // Each switch left on the way to the loop drops its value, as its end
  // would.
  auto& stack = cc.BreakStack();
  int switches = 0;
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    if ((*it)->IsLoop) {
      for (int i = 0; i < switches; ++i) B(cc).Pop();
      B(cc).Jump()->SetMarker((*it)->ContinueMarker);
      return;
    }
    ++switches;
  }
}

void TReturnStmtNode::Compile(TCompileContext& cc) {
  if (Expression)
    CompileChild(cc, Expression);
  else
    PushUndefined(cc);
  B(cc).Return();
}

void TWithStmtNode::Compile(TCompileContext& cc) {
  CompileChild(cc, Object);
  TSWFActionWith* with = B(cc).With();
  CompileChild(cc, Statement);
  PlaceForward(cc, with->Marker());
}

void TSetTargetNode::Compile(TCompileContext& cc) {
  CompileChild(cc, Target);
  B(cc).SetTarget2();
  CompileChild(cc, Statement);
  cc.PushString(kIdEmpty);
  B(cc).SetTarget2();
}

void TThrowStmtNode::Compile(TCompileContext& cc) {
  CompileChild(cc, Expression);
  B(cc).Throw();
}

void TTryStmtNode::Compile(TCompileContext& cc) {
  TSWFActionTry* record = B(cc).Try();
  CompileChild(cc, Statement);
  PlaceForward(cc, record->TryMarker());
  if (Catch) {
    record->CatchBlockFlag = true;
    record->CatchInRegisterFlag = false;
    record->CatchName = Text(cc, Catch->Name);
    CompileChild(cc, Catch->Statements);
    PlaceForward(cc, record->CatchMarker());
  }
  if (HasFinally) {
    record->FinallyBlockFlag = true;
    CompileChild(cc, Finally);
    PlaceForward(cc, record->FinallyMarker());
  }
}

void TWaitForFrameNode::Compile(TCompileContext& cc) {
  TSWFActionWaitForFrame* wait = B(cc).WaitForFrame(static_cast<std::uint16_t>(Frame), 0);
  CompileChild(cc, Statement);
  cc.AddPendingWait(wait, B(cc).PlaceMarker());
}

void TVarDeclNode::Compile(TCompileContext& cc) {
  if (Entry->ScopeKind == kScopeFunction && Entry->Register > 0) {
    if (!Init) return;
    CompileChild(cc, Init);
    B(cc).StoreRegister(static_cast<std::uint8_t>(Entry->Register));
    B(cc).Pop();
    return;
  }
  cc.PushString(Entry->Name);
  if (Init) {
    CompileChild(cc, Init);
    B(cc).DefineLocal();
  } else {
    B(cc).DefineLocal2();
  }
}

void TVarDeclListNode::Compile(TCompileContext& cc) {
  for (TVarDeclNode* declaration : Declarations) CompileChild(cc, declaration);
}

// --- functions

void TFuncDefNode::Compile(TCompileContext& cc) {
  Generate(cc, Name, nullptr);
  if (Has(kNodeDiscard) && Name == kIdEmpty) B(cc).Pop();
}

namespace {

// Pushes super: its register, or the variable where functions have no
// registers.
void PushSuper(TCompileContext& cc, const TIdentTable* scope) {
  if (int reg = scope ? scope->UsageRegister(kIdSuper) : 0)
    return PushRegister(cc, reg);
  cc.PushString(kIdSuper);
  B(cc).GetVariable();
}

}  // namespace

void TFuncDefNode::Generate(TCompileContext& cc, int name, TClassImplNode* constructorOf) {
  TFlashActionScript& b = B(cc);
  if (Has(kNodeMember)) Scope->MarkUsage(kIdThis);
  if (constructorOf) Scope->MarkUsage(kIdSuper);
  std::vector<std::string> names;
  for (TArgDeclNode* param : Parameters->Parameters) names.push_back(Text(cc, param->Entry->Name));
  TSWFBranchLink* end = nullptr;
  if (cc.SWFVersion() < 7) {
    // DefineFunction2 needs players of version 7: before that, functions
    // have no registers and reach this, super and arguments by name.
    Scope->Allocated = true;
    end = b.DefineFunction(Text(cc, name), names);
  } else {
    Scope->AllocateRegisters();
    const int registerCount = std::min(Scope->NextRegister, 255);
    TSWFActionDefineFunction2* record =
        b.DefineFunction2(Text(cc, name), names, static_cast<std::uint8_t>(registerCount));
    for (std::size_t i = 0; i < Parameters->Parameters.size(); ++i) {
      int reg = Parameters->Parameters[i]->Entry->Register;
      record->SetParamRegister(i, static_cast<std::uint8_t>(reg > 0 ? reg : 0));
    }
    record->PreloadThis = Scope->Uses(kUsesThis);
    record->SuppressThis = !record->PreloadThis;
    record->PreloadArguments = Scope->Uses(kUsesArguments);
    record->SuppressArguments = !record->PreloadArguments;
    record->PreloadSuper = Scope->Uses(kUsesSuper);
    record->SuppressSuper = !record->PreloadSuper;
    end = record;
  }

  // break and continue never leave a function body.
  std::vector<TBreakTarget*> saved;
  saved.swap(cc.BreakStack());
  struct Restore {
    TCompileContext& cc;
    std::vector<TBreakTarget*>& saved;
    ~Restore() { cc.BreakStack().swap(saved); }
  } restore{cc, saved};

  // A constructor without a call of super calls it first. (Instance fields
  // are set on the prototype by the class code, so that the superclass's
  // constructor sees them too.)
  if (constructorOf && constructorOf->Super && Scope->ImplicitSuper) {
    PushInt(cc, 0);
    PushSuper(cc, Scope);
    PushUndefined(cc);
    b.CallMethod();
    b.Pop();
  }
  CompileChild(cc, Body);
  if (Has(kNodeSetter)) {
    // A setter returns the property's new value, read through its getter:
    // the value of an assignment to the property.
    if (int reg = Scope->UsageRegister(kIdThis)) {
      PushRegister(cc, reg);
    } else {
      cc.PushString(kIdThis);
      b.GetVariable();
    }
    cc.PushString(Name);
    b.GetMember();
    b.Return();
  }
  PlaceForward(cc, end->Marker());
}

// --- calls

void TFuncCallNode::PushArguments(TCompileContext& cc) {
  const auto& items = Arguments->Items;
  for (auto it = items.rbegin(); it != items.rend(); ++it) CompileChild(cc, *it);
  PushInt(cc, static_cast<std::int64_t>(items.size()));
}

void TFuncCallNode::Compile(TCompileContext& cc) {
  TFlashActionScript& b = B(cc);
  const bool construct = Has(kNodeConstruct);
  if (!Object && CompileBuiltIn(cc, *this)) {
    if (Has(kNodeDiscard)) b.Pop();
    return;
  }
  // Casts to the player's own classes are conversion calls (Boolean(x),
  // Array(a, b)): only classes of scripts cast.
  if (!construct && Class && !(Class->ClassFlags & kClassStandard)) {
    if (Arguments->Items.size() != 1)
      Fail(*this, "Invalid cast operation in line " + std::to_string(Pos.Line) + "\nRequires 1 parameter.");
    PushGlobalChain(cc, TCompoundName::FromText(cc.Strings(), Text(cc, Class->Name)));
    CompileChild(cc, Arguments->Items[0]);
    b.CastOp();
    if (Has(kNodeDiscard)) b.Pop();
    return;
  }
  TParseTreeNode* object = Object;
  int name = Name;
  if (!object && construct && Class) {
    // new of a class in a package, named by its short (imported) name: the
    // constructor is reached through the package objects.
    TCompoundName qualified = TCompoundName::FromText(cc.Strings(), Text(cc, Class->Name));
    if (qualified.Count() > 1) {
      TCompoundName package;
      for (std::size_t i = 0; i + 1 < qualified.Count(); ++i) package.Append(qualified.Part(i));
      object = MemberChain(package, Pos);
      name = qualified.Last();
    }
  }
  if (!object && !IsSuper && !InRegister(Entry, Scope)) {
    if (TIdentInfo* member = ClassMember(Entry, Scope, Name)) object = MemberObject(cc, member, Scope, Pos);
  }
  PushArguments(cc);
  if (object) {
    CompileChild(cc, object);
    if (NameExpression)
      CompileChild(cc, NameExpression);
    else
      cc.PushString(name);
    if (construct)
      b.NewMethod();
    else
      b.CallMethod();
  } else if (construct && AsciiLower(Text(cc, Name)) == "array") {
    b.InitArray();
  } else if (IsSuper && !construct) {
    if (!Scope || Scope->Kind != kScopeFunction)
      Fail(*this, "super() can only be called in a class constructor (line " + std::to_string(Pos.Line) + ")");
    PushSuper(cc, Scope);
    PushUndefined(cc);
    b.CallMethod();
  } else if (InRegister(Entry, Scope)) {
    PushRegister(cc, Entry->Register);
    PushUndefined(cc);
    if (construct)
      b.NewMethod();
    else
      b.CallMethod();
  } else {
    cc.PushString(Name);
    if (construct)
      b.NewObject();
    else
      b.CallFunction();
  }
  if (Has(kNodeDiscard)) b.Pop();
}

}  // namespace yel::swf
