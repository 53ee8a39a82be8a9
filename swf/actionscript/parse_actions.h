// What the grammar's actions do: build nodes and declare names in scopes.
#pragma once

#include "swf/actionscript/scanner.h"

namespace yel::swf::pa {

TProgramNode* BeginProgram(TCompileContext& cc);
void AddItem(TProgramNode* program, TParseTreeNode* item);
void EndProgram(TCompileContext& cc, TProgramNode* program, bool root);
TParseTreeNode* Handler(TCompileContext& cc, TSourcePosNode* pos, int kind, TEventListNode* events,
                        TProgramNode* program);
TParseTreeNode* KeyHandler(TCompileContext& cc, TSourcePosNode* pos, int key, TProgramNode* program);
TEventListNode* Events(TEventListNode* list, TPairNode* event);
TPairNode* EventName(int name, int key);

TIdentTable* FunctionScope(TCompileContext& cc, int name);
TFuncDefNode* FunctionDef(TCompileContext& cc, int name, TIdentTable* scope, TArgDeclListNode* params,
                          TNameNode* type, TParseTreeNode* body, int flags);
TArgDeclListNode* Params(TArgDeclListNode* list, TArgDeclNode* param);
TArgDeclNode* Param(TCompileContext& cc, int name, TNameNode* type);

TParseTreeNode* Listing(TCompileContext& cc, int text);
TStmtListNode* Statements(TStmtListNode* list, TParseTreeNode* statement);
TParseTreeNode* Discard(TParseTreeNode* expression);

TLvalueNode* PlainReference(TCompileContext& cc, int name);
TLvalueNode* MemberReference(TCompileContext& cc, TParseTreeNode* object, int name);
TLvalueNode* IndexReference(TParseTreeNode* object, TParseTreeNode* index);
TLvalueNode* EvalReference(TParseTreeNode* expression);
TFuncCallNode* PlainCall(TCompileContext& cc, int name, TSourcePosNode* pos, TExprListNode* args);
TFuncCallNode* MethodCall(TCompileContext& cc, TParseTreeNode* object, int name, TSourcePosNode* pos,
                          TExprListNode* args);
TFuncCallNode* IndexCall(TCompileContext& cc, TParseTreeNode* object, TParseTreeNode* name, TSourcePosNode* pos,
                         TExprListNode* args);
TSourcePosNode* Position(TCompileContext& cc);
TParseTreeNode* NewCall(TCompileContext& cc, TFuncCallNode* call);
TParseTreeNode* IncDec(TCompileContext& cc, int kind, TLvalueNode* target, bool postfix);
TParseTreeNode* Unary(int op, TParseTreeNode* operand);
TParseTreeNode* Binary(TCompileContext& cc, int op, TParseTreeNode* left, TParseTreeNode* right);
TParseTreeNode* Conditional(TParseTreeNode* condition, TParseTreeNode* then, TParseTreeNode* otherwise);
TParseTreeNode* Assign(TCompileContext& cc, int kind, TLvalueNode* target, TParseTreeNode* value);
TExprListNode* Comma(TExprListNode* list, TParseTreeNode* item);
TExprListNode* List(TExprListNode* list, TParseTreeNode* item);
TExprListNode* ArrayLiteral(TExprListNode* list);
TExprListNode* ObjectLiteral(TExprListNode* list, TPairNode* property);
TPairNode* PropertyPair(int name, TParseTreeNode* value);

TVarDeclListNode* VarList(TVarDeclListNode* list, TVarDeclNode* declaration);
// byName: the variable is never held in a register (it holds a function,
// or its name is a path).
TVarDeclNode* VarDecl(TCompileContext& cc, int name, TNameNode* type, TParseTreeNode* init, bool byName);
int JoinName(TCompileContext& cc, int head, int part);
TParseTreeNode* IfStmt(TParseTreeNode* condition, TParseTreeNode* then, TParseTreeNode* otherwise);
TParseTreeNode* SwitchStmt(TParseTreeNode* expression, TSwitchCaseListNode* cases);
TSwitchCaseListNode* Cases(TSwitchCaseListNode* list, TSwitchCaseNode* clause);
TSwitchCaseNode* Case(TParseTreeNode* expression, TParseTreeNode* statements);
TParseTreeNode* WaitForFrame(double frame, TParseTreeNode* statement);
TParseTreeNode* Loop(TParseTreeNode* condition, TParseTreeNode* body, bool doWhile);
TLoopStmtNode* ForLoop(TParseTreeNode* init, TParseTreeNode* condition, TParseTreeNode* update);
TLoopStmtNode* ForIn(TCompileContext& cc, int name, TParseTreeNode* object);
TParseTreeNode* ReturnStmt(TParseTreeNode* expression);
TParseTreeNode* WithStmt(TParseTreeNode* object, TParseTreeNode* statement);
TParseTreeNode* TellTarget(TParseTreeNode* target, TParseTreeNode* statement);
TParseTreeNode* TryStmt(TParseTreeNode* statement, TCatchNode* catchClause, TParseTreeNode* finallyBlock,
                        bool hasFinally);
TCatchNode* CatchClause(int name, TNameNode* type, TParseTreeNode* statements);
TParseTreeNode* ThrowStmt(TParseTreeNode* expression);

TNameNode* Name(TNameNode* name, int part);
TClassImplListNode* NameList(TClassImplListNode* list, TNameNode* name);
TClassDefNode* BeginClass(TCompileContext& cc, TNameNode* name, TNameNode* super, TClassImplListNode* interfaces);
TParseTreeNode* EndClass(TCompileContext& cc, TClassDefNode* node, TClassBodyNode* body);
TClassBodyNode* Member(TClassBodyNode* body, int modifiers, TParseTreeNode* member);
TClassDefNode* BeginInterface(TCompileContext& cc, TNameNode* name, TNameNode* base);
TParseTreeNode* EndInterface(TCompileContext& cc, TClassDefNode* node);
TParseTreeNode* Import(TCompileContext& cc, TNameNode* name, bool package);

}  // namespace yel::swf::pa
