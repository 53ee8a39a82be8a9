// TCompileContext: the ActionScript compiler of one movie. It owns what the
// lexer, the parser and code generation share: the string table, the class
// table and the scopes with their identifier entries, the include and class
// paths, the compile unit being worked on and its constant pool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "swf/builder/compile_context_base.h"

namespace yel::swf {

class TFlashActionScript;
class TParseTreeNode;
class TProgramNode;
class TClassDefNode;
class TCompileContext;
class TLoopStmtNode;
class TSWFActionList;
class TSWFOffsetMarker;

// Ids of the texts every string table starts with.
enum TStringId : int {
  kIdEmpty = 0,
  kIdThis = 1,
  kIdPrototype = 2,
  kIdSuper = 3,
  kIdArguments = 4,
  kIdGlobal = 5,
  kIdObject = 6,
};

// Interns texts (case-sensitively) into ids from 0 up.
class TStringTable {
 public:
  TStringTable();
  int Id(std::string_view text);
  const std::string& Text(int id) const { return texts_.at(static_cast<std::size_t>(id)); }

 private:
  // Finds texts by a string_view without making a string of it.
  struct THash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::vector<std::string> texts_;
  std::unordered_map<std::string, int, THash, std::equal_to<>> ids_;
};

// The string ids a unit has pushed, in order of first use.
class TConstantPool {
 public:
  // Position of the id's first occurrence; a new id is appended.
  int IndexOf(int id);
  const std::vector<int>& Ids() const { return ids_; }
  bool Empty() const { return ids_.empty(); }

 private:
  std::vector<int> ids_;
  std::unordered_map<int, int> index_;
};

// A dotted name such as a.b.C, as string ids.
class TCompoundName {
 public:
  TCompoundName() = default;
  explicit TCompoundName(int part) { parts_.push_back(part); }
  static TCompoundName FromText(TStringTable& strings, std::string_view dotted);
  void Append(int part) {
    parts_.push_back(part);
    dotted_ = -1;
  }
  // Id of the parts joined with ".".
  int DottedId(TStringTable& strings) const;
  int Last() const { return parts_.back(); }
  std::size_t Count() const { return parts_.size(); }
  int Part(std::size_t index) const { return parts_.at(index); }
  const std::vector<int>& Parts() const { return parts_; }

 private:
  std::vector<int> parts_;
  mutable int dotted_ = -1;
};

enum TScopeKind : int { kScopeFunction = 0, kScopeClass = 1, kScopeProgram = 2 };

// Entry flags.
enum TIdentFlag : int {
  kIdentVariable = 1,
  kIdentFunction = 2,
  kIdentStatic = 4,
  kIdentPublic = 8,
  kIdentPrivate = 16,
  kIdentAccessor = 32,     // a getter or setter of a class
  kIdentConstructor = 64,  // the constructor of a class: no member
  kIdentUnresolved = 128,  // an import of a class no class path holds
};

class TBaseIdentTable;
class TIdentTable;
class TClassInfo;
class TCompileUnit;

class TIdentInfo {
 public:
  virtual ~TIdentInfo() = default;
  virtual TClassInfo* AsClass() { return nullptr; }

  int Name = 0;
  int TypeName = -1;
  int ScopeKind = kScopeProgram;
  // 0 none yet, a register number, or -1 never in a register.
  int Register = 0;
  int Flags = 0;
  TBaseIdentTable* Scope = nullptr;
};

enum TClassFlag : int { kClassUsed = 1, kClassGenerated = 2, kClassStandard = 4, kClassGenerating = 8 };

class TClassInfo : public TIdentInfo {
 public:
  TClassInfo();
  ~TClassInfo() override;
  TClassInfo* AsClass() override { return this; }

  std::string FileName;
  // Where the class was first used (file "" for the main script; line
  // 1-based, column 0-based), for the errors of its class file.
  std::string UseFile;
  int UseLine = 0;
  int UseColumn = 0;
  std::unique_ptr<TCompileUnit> Unit;
  int ClassFlags = 0;
  TIdentTable* ClassScope = nullptr;
  TClassDefNode* Declaration = nullptr;
};

class TAliasInfo : public TIdentInfo {
 public:
  TClassInfo* AsClass() override { return Class; }
  TClassInfo* Class = nullptr;
};

// A scope: an owning list of entries (the latest declaration of a name wins).
class TBaseIdentTable {
 public:
  TBaseIdentTable(TCompileContext& context, int kind, TBaseIdentTable* enclosing);
  virtual ~TBaseIdentTable();

  // Adds an entry (made by the caller) and returns it.
  TIdentInfo* Declare(std::unique_ptr<TIdentInfo> entry);
  TIdentInfo* Declare(int name, int typeName, int flags);
  // The latest entry of this table with the name, or null.
  virtual TIdentInfo* Find(int name) const;
  // This table, then its inherited scopes, then each enclosing scope; an
  // alias yields the class it names.
  TIdentInfo* Lookup(int name) const;
  const std::vector<std::unique_ptr<TIdentInfo>>& Entries() const { return entries_; }

  const int Kind;
  TBaseIdentTable* Enclosing;
  TBaseIdentTable* Inherited = nullptr;
  std::unique_ptr<TCompoundName> QualifiedName;

 protected:
  // The key under which a name is indexed: its id, or an id standing for
  // all spellings the table does not tell apart.
  virtual int Key(int name) const;
  TCompileContext& context_;

 private:
  std::vector<std::unique_ptr<TIdentInfo>> entries_;
  std::unordered_map<int, TIdentInfo*> latest_;
};

// The classes known by name (compared without regard to case): the
// player's own, those declared in scripts, and those whose class files a
// lookup found on the class paths (a name not known yet is looked up there).
class TClassTable : public TBaseIdentTable {
 public:
  explicit TClassTable(TCompileContext& context) : TBaseIdentTable(context, kScopeProgram, nullptr) {}
  TClassInfo* FindClass(int name) const;
  TIdentInfo* Find(int name) const override;

 protected:
  // The id of the lower-cased text.
  int Key(int name) const override;

 private:
  mutable std::unordered_map<int, int> lower_;
};

enum TUsage : int { kUsesThis = 1, kUsesSuper = 2, kUsesArguments = 4 };

// The scope of a function, a class body or a program.
class TIdentTable : public TBaseIdentTable {
 public:
  using TBaseIdentTable::TBaseIdentTable;

  // Marks this, super or arguments (by string id) as used and declares
  // their entry once.
  void MarkUsage(int name);
  bool Uses(int usage) const { return (Usage & usage) != 0; }
  // The register of this, super or arguments; 0 when not in one.
  int UsageRegister(int name) const;
  // Gives registers to the entries (once).
  void AllocateRegisters();

  int TempRegister = 0;
  int Usage = 0;
  TIdentInfo* UsageEntries[3] = {nullptr, nullptr, nullptr};
  int NextRegister = 1;
  bool ImplicitSuper = true;
  bool Allocated = false;
  // The entry of the function's name in the enclosing scope, if named.
  TIdentInfo* FunctionEntry = nullptr;
};

// The memory of the syntax-tree nodes of one unit: nodes are made one after
// the other in large blocks and destroyed all together with the unit.
class TNodeArena {
 public:
  TNodeArena() = default;
  ~TNodeArena();
  TNodeArena(const TNodeArena&) = delete;
  TNodeArena& operator=(const TNodeArena&) = delete;

  // Room for a node of the given size and alignment.
  void* Allocate(std::size_t size, std::size_t align);
  // The node just made in the room Allocate gave, destroyed with the arena.
  void Adopt(TParseTreeNode* node) { nodes_.back() = node; }
  std::size_t Count() const { return nodes_.size(); }

 private:
  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::byte* next_ = nullptr;
  std::byte* end_ = nullptr;
  std::vector<TParseTreeNode*> nodes_;
};

// One source being compiled: a frame, button or clip script, or a class file.
class TCompileUnit {
 public:
  enum class TOwnerKind { None, Script, Button, Clip };
  TCompileUnit();
  ~TCompileUnit();

  TOwnerKind OwnerKind = TOwnerKind::None;
  TFlashActionScript* Builder = nullptr;
  TFlashButtonConditions* Button = nullptr;
  TFlashPlaceObject* Clip = nullptr;
  TProgramNode* Root = nullptr;
  TNodeArena Nodes;
  std::vector<std::unique_ptr<TBaseIdentTable>> Scopes;
  TConstantPool Pool;
  std::string FileName;  // of a class file
};

// A loop or switch being generated: where break and continue go.
struct TBreakTarget {
  bool IsLoop = false;
  // Backward target of continue (loops only).
  TSWFOffsetMarker* ContinueMarker = nullptr;
  // Jumps that leave the statement; their markers are placed at its exit.
  std::vector<class TSWFActionJump*> Exits;
};

class TCompileContext : public TBaseCompileContext {
 public:
  explicit TCompileContext(TFlashMovie* movie);
  ~TCompileContext() override;

  void AddClassPath(const std::string& folder) override;
  void AddIncludePath(const std::string& folder) override;
  void CompileScript(TStream& source, TFlashActionScript& builder) override;
  void CompileButton(TStream& source, TFlashButtonConditions& button) override;
  void CompileClip(TStream& source, TFlashPlaceObject& place) override;

  // --- services to the front end
  TStringTable& Strings() { return strings_; }
  TClassTable& Classes() { return *classes_; }
  TIdentTable* CurrentScope() const { return scopes_.empty() ? nullptr : scopes_.back(); }
  TIdentTable* OpenScope(int kind);
  void CloseScope();
  const std::vector<std::string>& IncludePaths() const { return include_paths_; }
  TCompileUnit* Unit() const { return unit_; }
  int SWFVersion() const;

  // --- services to code generation
  TFlashActionScript& Builder();
  bool HasBuilder() const { return builder_ != nullptr; }
  void SetBuilder(TFlashActionScript* builder) { builder_ = builder; }
  // Pushes the text of a string id through the unit's constant pool.
  void PushString(int id);
  void PushString(std::string_view text) { PushString(strings_.Id(text)); }
  std::vector<TBreakTarget*>& BreakStack() { return break_stack_; }
  // Guards recursive generation against nesting beyond what the stack
  // allows: throws a compile error naming the line.
  void EnterNode(const TParseTreeNode& node);
  void LeaveNode() { --depth_; }

  // Inserts the unit's constant pool in front of list (when not empty).
  void InsertConstantPool(TSWFActionList& list);
  // Hoists named function definitions and drops Push/Pop pairs.
  void FinalPass(TSWFActionList& list);
  // An ifFrameLoaded's WaitForFrame and the marker after its statement: its
  // skip count is settled once the list is final.
  void AddPendingWait(class TSWFActionWaitForFrame* wait, TSWFOffsetMarker* end) {
    pending_waits_.push_back({wait, end});
  }
  void SettleSkipCounts(TSWFActionList& list);
  // The lists the handlers of a button or clip script made, in order.
  std::vector<TSWFActionList*>& HandlerLists() { return handler_lists_; }

  // Parses a class file into its unit (used by the class passes).
  void ParseClassFile(TClassInfo& info);

  // The class of the qualified name (a.b.C) whose class file declares it,
  // found on the class paths, entered in the class table; null when there
  // is none. Opens only the folders of the name's package (and the version
  // folders FP7, FP8, FP9 that apply), names matched without regard to case.
  TClassInfo* LocateClass(int name);
  // Enters every class of the package (a.b) that the class paths hold.
  void LocatePackage(std::string_view dotted);
  // A class file found for the name that does not declare that class, or "".
  std::string UndeclaringFile(int name);
  // The file of relative (a path with / or \ separators) under folder, each
  // part matched without regard to case; "" when there is none.
  std::string FindFileIgnoreCase(const std::string& folder, const std::string& relative);
  // The script being compiled: never taken for a class file.
  void SetMainScript(const std::string& path);

  // The scanner of the parse that is running (for node positions).
  struct TScanner* Scanner = nullptr;
  // Bytes of include files read by the compilation that is running.
  std::uint64_t IncludedBytes = 0;
  std::uint64_t Inclusions = 0;

  // Nesting beyond this many nodes is refused.
  static constexpr int kMaxDepth = 2000;

 private:
  friend class TCompileSession;
  void Parse(TStream& source);
  // Parses the source into the current unit, then the class files it uses,
  // and generates those classes.
  void ParseWithClasses(TStream& source);
  // A button or clip script: its handlers make their own lists; the final
  // pass then runs over each of them once (key-press handlers included).
  void CompileHandlers(TStream& source, std::unique_ptr<TCompileUnit> unit);
  // The names of a folder's entries (read once per compilation context).
  const std::vector<std::string>& Listing(const std::string& folder);
  // The entry of the folder named like name (an exact match first), or "".
  std::string EntryIgnoreCase(const std::string& folder, std::string_view name);
  // The folders under root that hold the package (version folders applied).
  std::vector<std::string> PackageFolders(const std::string& root, const std::vector<std::string>& parts);
  void ParseUsedClasses();
  void GenerateUsedClasses();
  void GenerateClass(TClassInfo& info, int guard);
  // An error of the class's file, at the place the class was first used.
  EActionCompileError UseError(const TClassInfo& info, const std::string& message) const;
  void GenerateRoot(TProgramNode& root);

  TStringTable strings_;
  std::unique_ptr<TClassTable> classes_;
  TCompileUnit* unit_ = nullptr;
  std::vector<TBreakTarget*> break_stack_;
  std::vector<TIdentTable*> scopes_;
  TFlashActionScript* builder_ = nullptr;
  std::vector<std::string> include_paths_;
  std::vector<std::string> class_paths_;
  std::vector<TSWFActionList*> handler_lists_;
  std::unordered_map<std::string, std::vector<std::string>> listings_;
  // Lower-cased names already looked up on the class paths, and those whose
  // file does not declare them (with that file).
  std::unordered_map<int, std::string> searched_;
  std::string main_script_;  // "device:inode" of the script being compiled
  int depth_ = 0;
  std::vector<std::pair<class TSWFActionWaitForFrame*, TSWFOffsetMarker*>> pending_waits_;
};

// The context of the compilation that is running, or null.
TCompileContext* CurrentContext();

// Installs the compile-context factory in the movie builder.
void InstallActionCompiler();

}  // namespace yel::swf
