// The syntax tree of one compile unit. Every node registers itself with the
// unit that is current when it is made, which frees it at the end of the
// compilation; nodes refer to each other by plain pointers. Compile appends
// the node's actions to the context's current builder.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "swf/actionscript/compile_context.h"

namespace yel::swf {

class TSWFOffsetMarker;

enum TNodeFlag : std::uint16_t {
  kNodeDiscard = 1 << 0,     // value not used: no value left on the stack
  kNodeTarget = 1 << 1,      // assignment target
  kNodeConstruct = 1 << 2,   // a call after new
  kNodeObject = 1 << 3,      // object literal
  kNodeArray = 1 << 4,       // array literal
  kNodeDoWhile = 1 << 5,
  kNodePostfix = 1 << 6,
  kNodeComma = 1 << 7,       // comma list: all evaluated, the last kept
  kNodeMember = 1 << 8,      // class member
  kNodeGetter = 1 << 9,
  kNodeSetter = 1 << 10,
  kNodeSuper = 1 << 11,      // the plain name super
};

struct TSourcePos {
  std::string File;
  int Line = 1;
  int Column = 0;
};

class TParseTreeNode {
 public:
  TParseTreeNode();
  virtual ~TParseTreeNode() = default;
  TParseTreeNode(const TParseTreeNode&) = delete;
  TParseTreeNode& operator=(const TParseTreeNode&) = delete;

  // Appends the node's actions; the base generates nothing.
  virtual void Compile(TCompileContext&) {}
  bool Has(std::uint16_t flag) const { return (Flags & flag) != 0; }

  std::uint16_t Flags = 0;
  TSourcePos Pos;
};

// Makes a node owned by the current unit.
template <class T, class... A>
T* MakeNode(A&&... args) {
  TNodeArena& arena = CurrentContext()->Unit()->Nodes;
  T* node = new (arena.Allocate(sizeof(T), alignof(T))) T(std::forward<A>(args)...);
  arena.Adopt(node);
  return node;
}

// Compiles a child (null allowed) with the nesting guard.
void CompileChild(TCompileContext& cc, TParseTreeNode* node);

class TSourcePosNode : public TParseTreeNode {};

class TEventListNode;

class TProgramNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TEventListNode* Events = nullptr;
  std::vector<TParseTreeNode*> Items;
  TIdentTable* Scope = nullptr;
};

class TStmtListNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  std::vector<TParseTreeNode*> Statements;
};

class TNullStmtNode : public TParseTreeNode {};

class TListingStmtNode : public TParseTreeNode {
 public:
  int Line = 0;
  std::string Text;
};

class TIfStmtNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Condition = nullptr;
  TParseTreeNode* Then = nullptr;
  TParseTreeNode* Else = nullptr;
  bool IsExpression = false;  // the conditional operator
};

class TSwitchCaseNode : public TParseTreeNode {
 public:
  TParseTreeNode* Expression = nullptr;  // null for default
  TParseTreeNode* Statements = nullptr;
};

class TSwitchCaseListNode : public TParseTreeNode {
 public:
  std::vector<TSwitchCaseNode*> Cases;
};

class TSwitchStmtNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Expression = nullptr;
  TSwitchCaseListNode* Cases = nullptr;
};

class TWaitForFrameNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  int Frame = 0;
  TParseTreeNode* Statement = nullptr;
};

class TLoopStmtNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Condition = nullptr;
  TParseTreeNode* Body = nullptr;
};

class TForStmtNode : public TLoopStmtNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Init = nullptr;
  TParseTreeNode* Update = nullptr;
};

class TForInStmtNode : public TLoopStmtNode {
 public:
  void Compile(TCompileContext& cc) override;
  int Name = 0;
  TIdentInfo* Entry = nullptr;
  TIdentTable* Scope = nullptr;
  TParseTreeNode* Object = nullptr;
};

class TBreakStmtNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
};

class TContinueStmtNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
};

class TReturnStmtNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Expression = nullptr;
};

class TWithStmtNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Object = nullptr;
  TParseTreeNode* Statement = nullptr;
};

class TSetTargetNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Target = nullptr;
  TParseTreeNode* Statement = nullptr;
};

class TCatchNode : public TParseTreeNode {
 public:
  int Name = 0;
  int TypeName = -1;
  TParseTreeNode* Statements = nullptr;
};

class TTryStmtNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Statement = nullptr;
  TCatchNode* Catch = nullptr;
  TParseTreeNode* Finally = nullptr;
  bool HasFinally = false;
};

class TThrowStmtNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Expression = nullptr;
};

class TNumberNode : public TParseTreeNode {
 public:
  explicit TNumberNode(double value) : Value(value) {}
  void Compile(TCompileContext& cc) override;
  double Value;
};

enum TSpecialValue : int { kValueUndefined = -1, kValueNull = -2, kValueFalse = -3, kValueTrue = -4 };

class TStrNode : public TParseTreeNode {
 public:
  explicit TStrNode(int id) : Id(id) {}
  void Compile(TCompileContext& cc) override;
  int Id;
};

class TLvalueNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  // The parts of the reference, its value, and storing a value pushed after
  // the parts.
  void Refs(TCompileContext& cc);
  void Get(TCompileContext& cc);
  void Set(TCompileContext& cc);
  // Plain name (no object, member a TStrNode).
  bool IsPlain() const { return !Object && !IsEval; }
  // Resolves a plain name once, at generation: register, member of a class
  // or variable.
  void Resolve(TCompileContext& cc);
  // For super.name where name is a getter or setter of a superclass: the
  // name (its accessor methods are called directly), else -1.
  int SuperAccessor() const;

  TParseTreeNode* Object = nullptr;
  TParseTreeNode* Member = nullptr;
  bool IsEval = false;
  TIdentInfo* Entry = nullptr;
  TIdentTable* Scope = nullptr;
  bool Resolved = false;
  // After Resolve: the register of a plain name, or 0.
  int Register = 0;
  // After Resolve: the member access a plain name stands for, or null.
  TLvalueNode* MemberAccess = nullptr;
};

enum TAssignKind : int { kAssign = 1, kIncrement = 320, kDecrement = 321 };

class TAssignNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TLvalueNode* Target = nullptr;
  TParseTreeNode* Value = nullptr;
  int Kind = kAssign;
  TIdentTable* Scope = nullptr;
};

// Binary operator codes (besides single characters).
enum TOperator : int {
  kOpEq = 256, kOpNe, kOpStrictEq, kOpStrictNe, kOpLe, kOpGe, kOpAnd, kOpOr, kOpShl, kOpShr, kOpUShr,
  kOpAdd, kOpStrEq, kOpStrNe, kOpStrLt, kOpStrGt, kOpStrLe, kOpStrGe, kOpInstanceOf,
  kOpNot, kOpDelete, kOpTypeOf, kOpVoid,
};

class TBinOpNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  int Operator = 0;
  TParseTreeNode* Left = nullptr;
  TParseTreeNode* Right = nullptr;
};

class TUnOpNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  int Operator = 0;
  TParseTreeNode* Operand = nullptr;
};

class TExprListNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  std::vector<TParseTreeNode*> Items;
};

class TFuncCallNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  // Pushes the arguments last to first and their count.
  void PushArguments(TCompileContext& cc);

  TParseTreeNode* Object = nullptr;
  int Name = 0;
  // The method name of a call written obj[expression](...), else null.
  TParseTreeNode* NameExpression = nullptr;
  TExprListNode* Arguments = nullptr;
  TClassInfo* Class = nullptr;
  TIdentInfo* Entry = nullptr;
  TIdentTable* Scope = nullptr;
  bool IsSuper = false;
};

class TPairNode : public TParseTreeNode {
 public:
  TParseTreeNode* First = nullptr;
  TParseTreeNode* Second = nullptr;
};

class TVarDeclNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  TParseTreeNode* Init = nullptr;
  TIdentInfo* Entry = nullptr;
};

class TVarDeclListNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  bool Static = false;
  std::vector<TVarDeclNode*> Declarations;
};

class TArgDeclNode : public TParseTreeNode {
 public:
  TIdentInfo* Entry = nullptr;
};

class TArgDeclListNode : public TParseTreeNode {
 public:
  std::vector<TArgDeclNode*> Parameters;
};

class TClassImplNode;

class TFuncDefNode : public TParseTreeNode {
 public:
  void Compile(TCompileContext& cc) override;
  // The DefineFunction2 record and the body; name: the record's name.
  void Generate(TCompileContext& cc, int name, TClassImplNode* constructorOf);

  int Name = kIdEmpty;
  int ReturnType = -1;
  TArgDeclListNode* Parameters = nullptr;
  TParseTreeNode* Body = nullptr;
  TIdentTable* Scope = nullptr;
  TIdentInfo* Entry = nullptr;
};

enum TEventKind : int { kEventOn = 0, kEventClip = 1, kEventKey = 2 };

class TEventListNode : public TParseTreeNode {
 public:
  // Fills the event sets from the names (throws for an unknown name).
  void Evaluate(TCompileContext& cc);

  int Kind = kEventOn;
  std::uint16_t ButtonEvents = 0;
  std::uint32_t ClipEvents = 0;
  std::string KeyText;
  std::vector<TPairNode*> Events;
};

class TClassBodyNode : public TParseTreeNode {
 public:
  std::vector<TVarDeclListNode*> Fields;
  std::vector<TFuncDefNode*> Methods;
};

class TClassImplListNode : public TParseTreeNode {
 public:
  std::vector<TCompoundName> Names;
};

class TClassDefNode : public TParseTreeNode {
 public:
  TCompoundName Name;
  TCompoundName* Super = nullptr;  // superclass or base interface
  TCompoundName SuperName;
  TIdentTable* Scope = nullptr;
  TClassInfo* Info = nullptr;
};

class TClassImplNode : public TClassDefNode {
 public:
  void Compile(TCompileContext& cc) override;
  TClassBodyNode* Body = nullptr;
  TClassImplListNode* Interfaces = nullptr;
  TFuncDefNode* Constructor = nullptr;
};

class TClassIntfNode : public TClassDefNode {
 public:
  void Compile(TCompileContext& cc) override;
};

// A qualified name while it is parsed.
class TNameNode : public TParseTreeNode {
 public:
  TCompoundName Name;
};

class TImportNode : public TParseTreeNode {
 public:
  TCompoundName Name;
};

// --- helpers shared by the generators

// Pushes the chain _global.p1...pk of a qualified name (str "_global",
// GetVariable, then str part, GetMember for each part).
void PushGlobalChain(TCompileContext& cc, const TCompoundName& name);
// The reference a.b.C made of member accesses.
TLvalueNode* MemberChain(const TCompoundName& name, const TSourcePos& pos);
// A built-in function call: true when the name is one (and it was generated).
bool CompileBuiltIn(TCompileContext& cc, TFuncCallNode& call);
// Property number of a name (lower-cased), or -1.
int PropertyIndex(std::string_view name);
// Code of a key text of a key-press handler.
int KeyCodeOf(std::string_view text);
bool IsStandardClassName(std::string_view name);
// The names of the player's own classes.
std::vector<std::string> StandardClassNames();
// Generates a handler's program into the list its event kind chooses.
void CompileEventHandler(TCompileContext& cc, TProgramNode& program);

}  // namespace yel::swf
