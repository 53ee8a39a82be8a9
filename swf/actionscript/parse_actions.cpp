// The grammar's actions: nodes of the syntax tree, and the declarations and
// lookups that the parser makes in the scopes while it reads.
#include "swf/actionscript/parse_actions.h"

#include <algorithm>
#include <cmath>

#include "base/text.h"
#include "swf/actionscript/scanner.h"

namespace yel::swf::pa {
namespace {

std::string Text(TCompileContext& cc, int id) { return cc.Strings().Text(id); }

// The class an entry names, when the name matches it exactly (the class
// table itself ignores case, names in code do not).
TClassInfo* ClassOf(TCompileContext& cc, TIdentInfo* entry, int name) {
  if (!entry) return nullptr;
  TClassInfo* info = entry->AsClass();
  if (!info) return nullptr;
  if (dynamic_cast<TAliasInfo*>(entry)) return info;
  const std::string& qualified = Text(cc, info->Name);
  const std::string& written = Text(cc, name);
  std::size_t dot = qualified.rfind('.');
  std::string last = dot == std::string::npos ? qualified : qualified.substr(dot + 1);
  return last == written || qualified == written ? info : nullptr;
}

void MarkUsed(TClassInfo* info) {
  if (!info) return;
  if (!(info->ClassFlags & kClassUsed)) {
    // The first use is where errors of the class file are reported.
    if (const TScanner* scanner = CurrentContext()->Scanner) {
      info->UseFile = scanner->Current.FileName;
      info->UseLine = scanner->Line;
      info->UseColumn = std::max(0, scanner->Column - 1);
    }
  }
  info->ClassFlags |= kClassUsed;
}

// The error for a class that is needed (new, extends, implements) when the
// file found for its name does not declare it; nothing otherwise.
void FailUndeclared(TCompileContext& cc, int name, const TSourcePos* at = nullptr) {
  std::string file = cc.UndeclaringFile(name);
  if (file.empty()) return;
  const TScanner* scanner = cc.Scanner;
  std::string message = "Class file \"" + file + "\" does not declare the class " + Text(cc, name) + ".";
  if (!scanner) throw EActionCompileError(message);
  if (at) scanner->Fail(message, at->Line, at->Column);
  scanner->Fail(message, scanner->Line, std::max(0, scanner->Column - 1));
}

TIdentTable* FunctionScopeOf(TIdentTable* scope) {
  return scope && scope->Kind == kScopeFunction ? scope : nullptr;
}

// The dotted text of a chain of plain member references (a.b.c), or "".
std::string ChainText(TCompileContext& cc, TParseTreeNode* node) {
  auto* ref = dynamic_cast<TLvalueNode*>(node);
  if (!ref || ref->IsEval) return {};
  auto* member = dynamic_cast<TStrNode*>(ref->Member);
  if (!member || member->Id < 0) return {};
  if (!ref->Object) return Text(cc, member->Id);
  std::string head = ChainText(cc, ref->Object);
  return head.empty() ? head : head + "." + Text(cc, member->Id);
}

// The id of a type annotation's dotted name, or -1 without one.
int TypeId(TCompileContext& cc, const TNameNode* type) { return type ? type->Name.DottedId(cc.Strings()) : -1; }

// A call node at the position of pos (when given); no arguments make an
// empty list.
TFuncCallNode* CallNode(TCompileContext& cc, TParseTreeNode* object, TSourcePosNode* pos, TExprListNode* args) {
  auto* call = MakeNode<TFuncCallNode>();
  call->Object = object;
  call->Arguments = args ? args : MakeNode<TExprListNode>();
  call->Scope = cc.CurrentScope();
  if (pos) call->Pos = pos->Pos;
  return call;
}

}  // namespace

TProgramNode* BeginProgram(TCompileContext& cc) {
  auto* program = MakeNode<TProgramNode>();
  program->Scope = cc.OpenScope(kScopeProgram);
  return program;
}

void AddItem(TProgramNode* program, TParseTreeNode* item) {
  if (item) program->Items.push_back(item);
}

void EndProgram(TCompileContext& cc, TProgramNode* program, bool root) {
  cc.CloseScope();
  if (root) cc.Unit()->Root = program;
}

TParseTreeNode* Handler(TCompileContext& cc, TSourcePosNode* pos, int kind, TEventListNode* events,
                        TProgramNode* program) {
  events->Kind = kind;
  events->Pos = pos->Pos;
  program->Events = events;
  program->Pos = pos->Pos;
  events->Evaluate(cc);
  EndProgram(cc, program, false);
  return program;
}

TParseTreeNode* KeyHandler(TCompileContext& cc, TSourcePosNode* pos, int key, TProgramNode* program) {
  auto* events = MakeNode<TEventListNode>();
  events->Kind = kEventKey;
  events->KeyText = Text(cc, key);
  events->Pos = pos->Pos;
  program->Events = events;
  program->Pos = pos->Pos;
  EndProgram(cc, program, false);
  return program;
}

TEventListNode* Events(TEventListNode* list, TPairNode* event) {
  if (!list) list = MakeNode<TEventListNode>();
  list->Events.push_back(event);
  return list;
}

TPairNode* EventName(int name, int key) {
  auto* pair = MakeNode<TPairNode>();
  pair->First = MakeNode<TStrNode>(name);
  if (key >= 0) pair->Second = MakeNode<TStrNode>(key);
  return pair;
}

TIdentTable* FunctionScope(TCompileContext& cc, int name) {
  TIdentInfo* entry = nullptr;
  if (name >= 0) {
    TIdentTable* enclosing = cc.CurrentScope();
    entry = enclosing->Declare(name, -1, kIdentFunction);
    // A function named inside another function is defined by name.
    if (enclosing->Kind == kScopeFunction) entry->Register = -1;
  }
  TIdentTable* scope = cc.OpenScope(kScopeFunction);
  scope->FunctionEntry = entry;
  return scope;
}

TFuncDefNode* FunctionDef(TCompileContext& cc, int name, TIdentTable* scope, TArgDeclListNode* params,
                          TNameNode* type, TParseTreeNode* body, int flags) {
  cc.CloseScope();
  auto* node = MakeNode<TFuncDefNode>();
  node->Name = name;
  node->ReturnType = TypeId(cc, type);
  node->Parameters = params ? params : MakeNode<TArgDeclListNode>();
  node->Body = body;
  node->Scope = scope;
  node->Entry = scope->FunctionEntry;
  node->Flags |= static_cast<std::uint16_t>(flags);
  if (node->Entry) {
    node->Entry->Flags |= kIdentFunction;
    if (flags & (kNodeGetter | kNodeSetter)) node->Entry->Flags |= kIdentAccessor;
  }
  return node;
}

TArgDeclListNode* Params(TArgDeclListNode* list, TArgDeclNode* param) {
  if (!list) list = MakeNode<TArgDeclListNode>();
  if (param) list->Parameters.push_back(param);
  return list;
}

TArgDeclNode* Param(TCompileContext& cc, int name, TNameNode* type) {
  auto* node = MakeNode<TArgDeclNode>();
  node->Entry = cc.CurrentScope()->Declare(name, TypeId(cc, type), kIdentVariable);
  return node;
}

TParseTreeNode* Listing(TCompileContext& cc, int text) {
  auto* node = MakeNode<TListingStmtNode>();
  node->Line = node->Pos.Line;
  node->Text = Text(cc, text);
  return node;
}

TStmtListNode* Statements(TStmtListNode* list, TParseTreeNode* statement) {
  if (!list) list = MakeNode<TStmtListNode>();
  list->Statements.push_back(statement);
  return list;
}

TParseTreeNode* Discard(TParseTreeNode* expression) {
  expression->Flags |= kNodeDiscard;
  return expression;
}

// A name that stands for an import of a missing class cannot be used.
static void CheckResolved(TCompileContext& cc, const TIdentInfo* entry) {
  if (entry && (entry->Flags & kIdentUnresolved))
    throw EActionCompileError("Class " + Text(cc, entry->TypeName) + " not found.");
}

TLvalueNode* PlainReference(TCompileContext& cc, int name) {
  TIdentTable* scope = cc.CurrentScope();
  if (name == kIdThis || name == kIdSuper || name == kIdArguments) {
    if (TIdentTable* function = FunctionScopeOf(scope)) function->MarkUsage(name);
  }
  TIdentInfo* entry = scope->Find(name);
  if (!entry) {
    entry = scope->Lookup(name);
    if (entry && entry->ScopeKind == kScopeFunction && entry->Scope != scope) entry->Register = -1;
  }
  CheckResolved(cc, entry);
  if (TClassInfo* info = ClassOf(cc, entry, name)) {
    MarkUsed(info);
    return MemberChain(TCompoundName::FromText(cc.Strings(), Text(cc, info->Name)), TSourcePos());
  }
  auto* node = MakeNode<TLvalueNode>();
  node->Member = MakeNode<TStrNode>(name);
  node->Entry = entry;
  node->Scope = scope;
  if (name == kIdSuper) node->Flags |= kNodeSuper;
  return node;
}

TLvalueNode* MemberReference(TCompileContext& cc, TParseTreeNode* object, int name) {
  auto* node = MakeNode<TLvalueNode>();
  node->Object = object;
  node->Member = MakeNode<TStrNode>(name);
  node->Scope = cc.CurrentScope();
  return node;
}

TLvalueNode* IndexReference(TParseTreeNode* object, TParseTreeNode* index) {
  auto* node = MakeNode<TLvalueNode>();
  node->Object = object;
  node->Member = index;
  node->Scope = CurrentContext()->CurrentScope();
  return node;
}

TLvalueNode* EvalReference(TParseTreeNode* expression) {
  auto* node = MakeNode<TLvalueNode>();
  node->IsEval = true;
  node->Member = expression;
  node->Scope = CurrentContext()->CurrentScope();
  return node;
}

TFuncCallNode* PlainCall(TCompileContext& cc, int name, TSourcePosNode* pos, TExprListNode* args) {
  auto* call = CallNode(cc, nullptr, pos, args);
  call->Name = name;
  call->Entry = call->Scope->Lookup(name);
  CheckResolved(cc, call->Entry);
  if (TClassInfo* info = ClassOf(cc, call->Entry, name)) {
    call->Class = info;
    MarkUsed(info);
  }
  if (name == kIdSuper) {
    call->IsSuper = true;
    if (TIdentTable* function = FunctionScopeOf(call->Scope)) {
      function->MarkUsage(kIdSuper);
      function->ImplicitSuper = false;
    }
  }
  return call;
}

TFuncCallNode* MethodCall(TCompileContext& cc, TParseTreeNode* object, int name, TSourcePosNode* pos,
                          TExprListNode* args) {
  auto* call = CallNode(cc, object, pos, args);
  call->Name = name;
  std::string chain = ChainText(cc, object);
  if (!chain.empty()) {
    std::string qualified = chain + "." + Text(cc, name);
    if (TClassInfo* info = cc.Classes().FindClass(cc.Strings().Id(qualified))) {
      if (Text(cc, info->Name) == qualified) {
        call->Class = info;
        MarkUsed(info);
      }
    }
  }
  return call;
}

TFuncCallNode* IndexCall(TCompileContext& cc, TParseTreeNode* object, TParseTreeNode* name, TSourcePosNode* pos,
                         TExprListNode* args) {
  auto* call = CallNode(cc, object, pos, args);
  call->NameExpression = name;
  return call;
}

TSourcePosNode* Position(TCompileContext&) { return MakeNode<TSourcePosNode>(); }

TParseTreeNode* NewCall(TCompileContext& cc, TFuncCallNode* call) {
  call->Flags |= kNodeConstruct;
  if (!call->Class && !call->Object && !call->NameExpression && !call->Entry) FailUndeclared(cc, call->Name, &call->Pos);
  MarkUsed(call->Class);
  return call;
}

TParseTreeNode* IncDec(TCompileContext& cc, int kind, TLvalueNode* target, bool postfix) {
  auto* node = MakeNode<TAssignNode>();
  node->Kind = kind;
  node->Target = target;
  target->Flags |= kNodeTarget;
  node->Scope = cc.CurrentScope();
  if (postfix) node->Flags |= kNodePostfix;
  return node;
}

TParseTreeNode* Unary(int op, TParseTreeNode* operand) {
  auto* node = MakeNode<TUnOpNode>();
  node->Operator = op;
  node->Operand = operand;
  return node;
}

TParseTreeNode* Binary(TCompileContext&, int op, TParseTreeNode* left, TParseTreeNode* right) {
  auto* node = MakeNode<TBinOpNode>();
  node->Operator = op;
  node->Left = left;
  node->Right = right;
  return node;
}

TParseTreeNode* Conditional(TParseTreeNode* condition, TParseTreeNode* then, TParseTreeNode* otherwise) {
  auto* node = MakeNode<TIfStmtNode>();
  node->Condition = condition;
  node->Then = then;
  node->Else = otherwise;
  node->IsExpression = true;
  return node;
}

TParseTreeNode* Assign(TCompileContext& cc, int kind, TLvalueNode* target, TParseTreeNode* value) {
  auto* node = MakeNode<TAssignNode>();
  node->Kind = kind;
  node->Target = target;
  target->Flags |= kNodeTarget;
  node->Value = value;
  node->Scope = cc.CurrentScope();
  return node;
}

TExprListNode* Comma(TExprListNode* list, TParseTreeNode* item) {
  if (!list) {
    list = MakeNode<TExprListNode>();
    list->Flags |= kNodeComma;
  }
  list->Items.push_back(item);
  return list;
}

TExprListNode* List(TExprListNode* list, TParseTreeNode* item) {
  if (!list) list = MakeNode<TExprListNode>();
  if (item) list->Items.push_back(item);
  return list;
}

TExprListNode* ArrayLiteral(TExprListNode* list) {
  list->Flags |= kNodeArray;
  return list;
}

TExprListNode* ObjectLiteral(TExprListNode* list, TPairNode* property) {
  if (!list) {
    list = MakeNode<TExprListNode>();
    list->Flags |= kNodeObject;
  }
  if (property) {
    list->Items.push_back(property->Second);
    list->Items.push_back(property->First);
  }
  return list;
}

TPairNode* PropertyPair(int name, TParseTreeNode* value) {
  auto* pair = MakeNode<TPairNode>();
  pair->First = MakeNode<TStrNode>(name);
  pair->Second = value;
  return pair;
}

TVarDeclListNode* VarList(TVarDeclListNode* list, TVarDeclNode* declaration) {
  if (!list) list = MakeNode<TVarDeclListNode>();
  list->Declarations.push_back(declaration);
  return list;
}

TVarDeclNode* VarDecl(TCompileContext& cc, int name, TNameNode* type, TParseTreeNode* init, bool byName) {
  auto* node = MakeNode<TVarDeclNode>();
  node->Init = init;
  node->Entry = cc.CurrentScope()->Declare(name, TypeId(cc, type), kIdentVariable);
  // A variable that holds a function is never kept in a register.
  if (byName || dynamic_cast<TFuncDefNode*>(init)) node->Entry->Register = -1;
  return node;
}

int JoinName(TCompileContext& cc, int head, int part) { return cc.Strings().Id(Text(cc, head) + "." + Text(cc, part)); }

TParseTreeNode* IfStmt(TParseTreeNode* condition, TParseTreeNode* then, TParseTreeNode* otherwise) {
  auto* node = MakeNode<TIfStmtNode>();
  node->Condition = condition;
  node->Then = then;
  node->Else = otherwise;
  return node;
}

TParseTreeNode* SwitchStmt(TParseTreeNode* expression, TSwitchCaseListNode* cases) {
  auto* node = MakeNode<TSwitchStmtNode>();
  node->Expression = expression;
  node->Cases = cases;
  return node;
}

TSwitchCaseListNode* Cases(TSwitchCaseListNode* list, TSwitchCaseNode* clause) {
  if (!list) list = MakeNode<TSwitchCaseListNode>();
  list->Cases.push_back(clause);
  return list;
}

TSwitchCaseNode* Case(TParseTreeNode* expression, TParseTreeNode* statements) {
  auto* node = MakeNode<TSwitchCaseNode>();
  node->Expression = expression;
  node->Statements = statements;
  return node;
}

TParseTreeNode* WaitForFrame(double frame, TParseTreeNode* statement) {
  auto* node = MakeNode<TWaitForFrameNode>();
  double truncated = std::trunc(frame);
  node->Frame = truncated < 0 ? 0 : truncated > 65535 ? 65535 : static_cast<int>(truncated);
  node->Statement = statement;
  return node;
}

TParseTreeNode* Loop(TParseTreeNode* condition, TParseTreeNode* body, bool doWhile) {
  auto* node = MakeNode<TLoopStmtNode>();
  node->Condition = condition;
  node->Body = body;
  if (doWhile) node->Flags |= kNodeDoWhile;
  return node;
}

TLoopStmtNode* ForLoop(TParseTreeNode* init, TParseTreeNode* condition, TParseTreeNode* update) {
  auto* node = MakeNode<TForStmtNode>();
  node->Init = init;
  node->Condition = condition;
  node->Update = update ? Discard(update) : nullptr;
  return node;
}

TLoopStmtNode* ForIn(TCompileContext& cc, int name, TParseTreeNode* object) {
  auto* node = MakeNode<TForInStmtNode>();
  node->Name = name;
  node->Scope = cc.CurrentScope();
  node->Entry = node->Scope->Declare(name, -1, kIdentVariable);
  node->Object = object;
  return node;
}

TParseTreeNode* ReturnStmt(TParseTreeNode* expression) {
  auto* node = MakeNode<TReturnStmtNode>();
  node->Expression = expression;
  return node;
}

TParseTreeNode* WithStmt(TParseTreeNode* object, TParseTreeNode* statement) {
  auto* node = MakeNode<TWithStmtNode>();
  node->Object = object;
  node->Statement = statement;
  return node;
}

TParseTreeNode* TellTarget(TParseTreeNode* target, TParseTreeNode* statement) {
  auto* node = MakeNode<TSetTargetNode>();
  node->Target = target;
  node->Statement = statement;
  return node;
}

TParseTreeNode* TryStmt(TParseTreeNode* statement, TCatchNode* catchClause, TParseTreeNode* finallyBlock,
                        bool hasFinally) {
  auto* node = MakeNode<TTryStmtNode>();
  node->Statement = statement;
  node->Catch = catchClause;
  node->Finally = finallyBlock;
  node->HasFinally = hasFinally;
  return node;
}

TCatchNode* CatchClause(int name, TNameNode* type, TParseTreeNode* statements) {
  auto* node = MakeNode<TCatchNode>();
  node->Name = name;
  node->TypeName = TypeId(*CurrentContext(), type);
  node->Statements = statements;
  return node;
}

TParseTreeNode* ThrowStmt(TParseTreeNode* expression) {
  auto* node = MakeNode<TThrowStmtNode>();
  node->Expression = expression;
  return node;
}

TNameNode* Name(TNameNode* name, int part) {
  if (!name) name = MakeNode<TNameNode>();
  name->Name.Append(part);
  return name;
}

TClassImplListNode* NameList(TClassImplListNode* list, TNameNode* name) {
  if (!list) list = MakeNode<TClassImplListNode>();
  list->Names.push_back(name->Name);
  return list;
}

namespace {

// The class named by a qualified name as written (short imported names
// included), or null.
TClassInfo* FindNamedClass(TCompileContext& cc, const TCompoundName& name) {
  int id = name.DottedId(cc.Strings());
  TIdentInfo* entry = cc.CurrentScope() ? cc.CurrentScope()->Lookup(id) : cc.Classes().Lookup(id);
  TClassInfo* info = entry ? entry->AsClass() : nullptr;
  return info ? info : cc.Classes().FindClass(id);
}

// The superclass or base interface named after extends, by its full
// qualified name; what names the kind in the error when it is missing.
TClassInfo* SetSuper(TCompileContext& cc, TClassDefNode* node, TNameNode* name, const char* what) {
  TClassInfo* info = FindNamedClass(cc, name->Name);
  if (!info) FailUndeclared(cc, name->Name.DottedId(cc.Strings()));
  if (!info) throw EActionCompileError(what + Text(cc, name->Name.DottedId(cc.Strings())) + " not found.");
  MarkUsed(info);
  node->SuperName = TCompoundName::FromText(cc.Strings(), Text(cc, info->Name));
  node->Super = &node->SuperName;
  return info;
}

TIdentTable* OpenClassScope(TCompileContext& cc, TClassDefNode* node, TNameNode* name) {
  node->Name = name->Name;
  int id = name->Name.DottedId(cc.Strings());
  TClassInfo* info = cc.Classes().FindClass(id);
  if (!info) {
    auto made = std::make_unique<TClassInfo>();
    made->Name = id;
    info = static_cast<TClassInfo*>(cc.CurrentScope()->Declare(std::move(made)));
  }
  node->Info = info;
  info->Declaration = node;
  TIdentTable* scope = cc.OpenScope(kScopeClass);
  scope->QualifiedName = std::make_unique<TCompoundName>(name->Name);
  info->ClassScope = scope;
  node->Scope = scope;
  return scope;
}

}  // namespace

TClassDefNode* BeginClass(TCompileContext& cc, TNameNode* name, TNameNode* super, TClassImplListNode* interfaces) {
  auto* node = MakeNode<TClassImplNode>();
  TClassInfo* superClass = super ? SetSuper(cc, node, super, "Superclass ") : nullptr;
  if (interfaces) {
    for (auto& interfaceName : interfaces->Names) {
      TClassInfo* info = FindNamedClass(cc, interfaceName);
      if (!info) FailUndeclared(cc, interfaceName.DottedId(cc.Strings()));
      if (!info)
        throw EActionCompileError("Interface " + Text(cc, interfaceName.DottedId(cc.Strings())) + " not found.");
      MarkUsed(info);
      interfaceName = TCompoundName::FromText(cc.Strings(), Text(cc, info->Name));
    }
  }
  node->Interfaces = interfaces;
  TIdentTable* scope = OpenClassScope(cc, node, name);
  if (superClass) scope->Inherited = superClass->ClassScope;
  return node;
}

TParseTreeNode* EndClass(TCompileContext& cc, TClassDefNode* classNode, TClassBodyNode* body) {
  auto* node = static_cast<TClassImplNode*>(classNode);
  node->Body = body;
  int shortName = node->Name.Last();
  for (auto it = body->Methods.begin(); it != body->Methods.end(); ++it) {
    TFuncDefNode* method = *it;
    if (method->Name == shortName && !method->Has(kNodeGetter) && !method->Has(kNodeSetter)) {
      node->Constructor = method;
      if (method->Entry) method->Entry->Flags |= kIdentConstructor;
      body->Methods.erase(it);
      break;
    }
  }
  if (!node->Constructor) {
    TIdentTable* scope = cc.OpenScope(kScopeFunction);
    cc.CloseScope();
    auto* constructor = MakeNode<TFuncDefNode>();
    constructor->Name = shortName;
    constructor->Parameters = MakeNode<TArgDeclListNode>();
    constructor->Scope = scope;
    node->Constructor = constructor;
  }
  node->Constructor->Flags |= kNodeMember;
  cc.CloseScope();
  return node;
}

TClassBodyNode* Member(TClassBodyNode* body, int modifiers, TParseTreeNode* member) {
  member->Flags |= kNodeMember;
  if (auto* fields = dynamic_cast<TVarDeclListNode*>(member)) {
    fields->Static = (modifiers & kIdentStatic) != 0;
    for (auto* declaration : fields->Declarations) declaration->Entry->Flags |= modifiers;
    body->Fields.push_back(fields);
  } else if (auto* method = dynamic_cast<TFuncDefNode*>(member)) {
    if (method->Entry) method->Entry->Flags |= modifiers;
    body->Methods.push_back(method);
  }
  return body;
}

TClassDefNode* BeginInterface(TCompileContext& cc, TNameNode* name, TNameNode* base) {
  auto* node = MakeNode<TClassIntfNode>();
  if (base) SetSuper(cc, node, base, "Interface ");
  OpenClassScope(cc, node, name);
  return node;
}

TParseTreeNode* EndInterface(TCompileContext& cc, TClassDefNode* node) {
  cc.CloseScope();
  return node;
}

TParseTreeNode* Import(TCompileContext& cc, TNameNode* name, bool package) {
  auto* node = MakeNode<TImportNode>();
  node->Name = name->Name;
  TIdentTable* scope = cc.CurrentScope();
  auto alias = [&](TClassInfo* info) {
    auto entry = std::make_unique<TAliasInfo>();
    std::string qualified = Text(cc, info->Name);
    std::size_t dot = qualified.rfind('.');
    entry->Name = cc.Strings().Id(dot == std::string::npos ? qualified : qualified.substr(dot + 1));
    entry->Class = info;
    scope->Declare(std::move(entry));
  };
  std::string dotted = Text(cc, name->Name.DottedId(cc.Strings()));
  if (!package) {
    TClassInfo* info = cc.Classes().FindClass(name->Name.DottedId(cc.Strings()));
    if (info) {
      alias(info);
    } else {
      // An import of a class that no class path holds is an error only
      // where the name is used: the name stands for nothing.
      auto entry = std::make_unique<TAliasInfo>();
      entry->Name = name->Name.Last();
      entry->TypeName = name->Name.DottedId(cc.Strings());
      entry->Flags = kIdentUnresolved;
      scope->Declare(std::move(entry));
    }
    return node;
  }
  cc.LocatePackage(dotted);
  std::string prefix = AsciiLower(dotted) + ".";
  std::vector<TClassInfo*> found;
  for (const auto& entry : cc.Classes().Entries()) {
    TClassInfo* info = entry->AsClass();
    if (!info) continue;
    std::string qualified = AsciiLower(Text(cc, info->Name));
    if (qualified.size() > prefix.size() && qualified.compare(0, prefix.size(), prefix) == 0 &&
        qualified.find('.', prefix.size()) == std::string::npos)
      found.push_back(info);
  }
  for (TClassInfo* info : found) alias(info);
  return node;
}

}  // namespace yel::swf::pa
