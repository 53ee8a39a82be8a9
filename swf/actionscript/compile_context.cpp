// The compile context: string table, constant pool, scopes and name lookup,
// class and include paths, the compile entry points, the passes over class
// files and the final pass over a generated list.
#include "swf/actionscript/compile_context.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include <sys/stat.h>

#include "base/byte_stream.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "swf/actionscript/parse_tree.h"
#include "swf/actionscript/scanner.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/place_object_tags.h"

namespace yel::swf {
namespace {

TCompileContext* g_current = nullptr;

// Superclass and interface chains may be this deep.
constexpr int kMaxInheritance = 1000;

// "device:inode" of a file.
std::string FileIdentity(const struct stat& info) {
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

bool IsIdentifier(std::string_view text) {
  if (text.empty() || (text[0] >= '0' && text[0] <= '9')) return false;
  for (char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

// Whether the source declares the class or interface of the qualified name
// (compared without regard to case): a quick look past comments and
// strings for "class" or "interface" followed by the name.
bool DeclaresClass(const std::string& file, std::string_view qualified) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadFileBytes(file);
  } catch (const Error&) {
    return false;
  }
  const std::size_t n = bytes.size();
  auto at = [&](std::size_t i) { return i < n ? static_cast<char>(bytes[i]) : '\0'; };
  auto identByte = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  };
  auto skipBlanks = [&](std::size_t& i) {
    while (i < n && (at(i) == ' ' || at(i) == '\t' || at(i) == '\r' || at(i) == '\n')) ++i;
  };
  std::size_t i = 0;
  while (i < n) {
    char c = at(i);
    if (c == '/' && at(i + 1) == '/') {
      while (i < n && at(i) != '\n') ++i;
    } else if (c == '/' && at(i + 1) == '*') {
      i += 2;
      while (i < n && !(at(i) == '*' && at(i + 1) == '/')) ++i;
      i += 2;
    } else if (c == '"' || c == '\'') {
      for (++i; i < n && at(i) != c; ++i)
        if (at(i) == '\\') ++i;
      ++i;
    } else if (identByte(c)) {
      std::size_t start = i;
      while (i < n && identByte(at(i))) ++i;
      std::string_view word(reinterpret_cast<const char*>(bytes.data()) + start, i - start);
      if (word != "class" && word != "interface") continue;
      skipBlanks(i);
      std::string name;
      while (i < n && (identByte(at(i)) || at(i) == '.')) name += at(i++);
      if (EqualsIgnoreCase(name, qualified)) return true;
    } else {
      ++i;
    }
  }
  return false;
}

}  // namespace

TCompileContext* CurrentContext() { return g_current; }

// --- string table, pool, names

TStringTable::TStringTable() {
  for (const char* text : {"", "this", "prototype", "super", "arguments", "_global", "Object"}) Id(text);
}

int TStringTable::Id(std::string_view text) {
  auto found = ids_.find(text);
  if (found != ids_.end()) return found->second;
  int id = static_cast<int>(texts_.size());
  texts_.emplace_back(text);
  ids_.emplace(texts_.back(), id);
  return id;
}

int TConstantPool::IndexOf(int id) {
  auto found = index_.find(id);
  if (found != index_.end()) return found->second;
  int index = static_cast<int>(ids_.size());
  ids_.push_back(id);
  index_.emplace(id, index);
  return index;
}

TCompoundName TCompoundName::FromText(TStringTable& strings, std::string_view dotted) {
  TCompoundName name;
  std::size_t start = 0;
  while (true) {
    std::size_t dot = dotted.find('.', start);
    name.Append(strings.Id(dotted.substr(start, dot == std::string_view::npos ? dotted.npos : dot - start)));
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return name;
}

int TCompoundName::DottedId(TStringTable& strings) const {
  if (dotted_ < 0) {
    std::string text;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
      if (i) text += '.';
      text += strings.Text(parts_[i]);
    }
    dotted_ = strings.Id(text);
  }
  return dotted_;
}

// --- scopes

TClassInfo::TClassInfo() = default;
TClassInfo::~TClassInfo() = default;

TBaseIdentTable::TBaseIdentTable(TCompileContext& context, int kind, TBaseIdentTable* enclosing)
    : Kind(kind), Enclosing(enclosing), context_(context) {}

TBaseIdentTable::~TBaseIdentTable() = default;

int TBaseIdentTable::Key(int name) const { return name; }

TIdentInfo* TBaseIdentTable::Declare(std::unique_ptr<TIdentInfo> entry) {
  entry->Scope = this;
  entry->ScopeKind = Kind;
  TIdentInfo* raw = entry.get();
  entries_.push_back(std::move(entry));
  latest_[Key(raw->Name)] = raw;
  return raw;
}

TIdentInfo* TBaseIdentTable::Declare(int name, int typeName, int flags) {
  auto entry = std::make_unique<TIdentInfo>();
  entry->Name = name;
  entry->TypeName = typeName;
  entry->Flags = flags;
  return Declare(std::move(entry));
}

TIdentInfo* TBaseIdentTable::Find(int name) const {
  auto found = latest_.find(Key(name));
  return found == latest_.end() ? nullptr : found->second;
}

TIdentInfo* TBaseIdentTable::Lookup(int name) const {
  for (const TBaseIdentTable* scope = this; scope; scope = scope->Enclosing) {
    int depth = 0;
    for (const TBaseIdentTable* table = scope; table && depth < kMaxInheritance; table = table->Inherited, ++depth) {
      if (TIdentInfo* entry = table->Find(name)) {
        return entry;
      }
    }
  }
  return nullptr;
}

int TClassTable::Key(int name) const {
  auto known = lower_.find(name);
  if (known != lower_.end()) return known->second;
  int key = context_.Strings().Id(AsciiLower(context_.Strings().Text(name)));
  lower_.emplace(name, key);
  return key;
}

TIdentInfo* TClassTable::Find(int name) const {
  if (TIdentInfo* entry = TBaseIdentTable::Find(name)) return entry;
  return context_.LocateClass(name);
}

TClassInfo* TClassTable::FindClass(int name) const {
  TIdentInfo* entry = Find(name);
  return entry ? entry->AsClass() : nullptr;
}

void TIdentTable::MarkUsage(int name) {
  int slot = name == kIdThis ? 0 : name == kIdSuper ? 1 : name == kIdArguments ? 2 : -1;
  if (slot < 0) return;
  static constexpr int kBits[3] = {kUsesThis, kUsesSuper, kUsesArguments};
  Usage |= kBits[slot];
  if (!UsageEntries[slot]) UsageEntries[slot] = Declare(name, -1, kIdentVariable);
}

int TIdentTable::UsageRegister(int name) const {
  int slot = name == kIdThis ? 0 : name == kIdSuper ? 1 : name == kIdArguments ? 2 : -1;
  if (slot < 0 || !UsageEntries[slot]) return 0;
  return std::max(0, UsageEntries[slot]->Register);
}

void TIdentTable::AllocateRegisters() {
  if (Allocated) return;
  Allocated = true;
  constexpr int kLastRegister = 254;
  auto give = [&](TIdentInfo* entry) {
    if (NextRegister <= kLastRegister) entry->Register = NextRegister++;
  };
  // this, arguments, super first.
  for (int slot : {0, 2, 1})
    if (UsageEntries[slot]) give(UsageEntries[slot]);
  std::unordered_map<int, int> byName;
  for (const auto& entry : Entries()) {
    TIdentInfo* e = entry.get();
    if (e == UsageEntries[0] || e == UsageEntries[1] || e == UsageEntries[2]) continue;
    if (!(e->Flags & kIdentVariable) || e->AsClass()) continue;
    if (e->Register != 0) {
      if (e->Register > 0) byName.emplace(e->Name, e->Register);
      continue;
    }
    auto shared = byName.find(e->Name);
    if (shared != byName.end()) {
      e->Register = shared->second;
      continue;
    }
    give(e);
    if (e->Register > 0) byName.emplace(e->Name, e->Register);
  }
}

TNodeArena::~TNodeArena() {
  for (auto it = nodes_.rbegin(); it != nodes_.rend(); ++it)
    if (*it) (*it)->~TParseTreeNode();
}

void* TNodeArena::Allocate(std::size_t size, std::size_t align) {
  constexpr std::size_t kBlockSize = 64 * 1024;
  auto aligned = [&] {
    auto at = reinterpret_cast<std::uintptr_t>(next_);
    return reinterpret_cast<std::byte*>((at + align - 1) & ~(std::uintptr_t{align} - 1));
  };
  if (!next_ || aligned() + size > end_) {
    std::size_t blockSize = std::max(kBlockSize, size + align);
    blocks_.push_back(std::unique_ptr<std::byte[]>(new std::byte[blockSize]));
    next_ = blocks_.back().get();
    end_ = next_ + blockSize;
  }
  std::byte* at = aligned();
  next_ = at + size;
  nodes_.push_back(nullptr);  // the slot Adopt fills once the node is made
  return at;
}

TCompileUnit::TCompileUnit() = default;
TCompileUnit::~TCompileUnit() = default;

// --- the context

// One compilation: makes the context current with a fresh unit and leaves
// it clean afterwards, whether the compilation succeeded or not.
class TCompileSession {
 public:
  TCompileSession(TCompileContext& cc, std::unique_ptr<TCompileUnit> unit) : cc_(cc), unit_(std::move(unit)) {
    if (g_current) throw Error("A script compilation is already running");
    g_current = &cc;
    cc.unit_ = unit_.get();
    cc.depth_ = 0;
    cc.IncludedBytes = 0;
    cc.Inclusions = 0;
  }
  ~TCompileSession() {
    cc_.unit_ = nullptr;
    cc_.builder_ = nullptr;
    cc_.scopes_.clear();
    cc_.break_stack_.clear();
    cc_.Scanner = nullptr;
    // Classes declared inline in this unit lose their scopes with it.
    for (const auto& entry : cc_.Classes().Entries()) {
      if (TClassInfo* info = entry->AsClass(); info && !info->Unit) {
        info->ClassScope = nullptr;
        info->Declaration = nullptr;
      }
    }
    cc_.pending_waits_.clear();
    cc_.handler_lists_.clear();
    // A class whose generation failed is generated afresh next time.
    for (const auto& entry : cc_.Classes().Entries())
      if (TClassInfo* info = entry->AsClass()) info->ClassFlags &= ~kClassGenerating;
    unit_.reset();
    g_current = nullptr;
  }

 private:
  TCompileContext& cc_;
  std::unique_ptr<TCompileUnit> unit_;
};

TCompileContext::TCompileContext(TFlashMovie* movie)
    : TBaseCompileContext(movie), classes_(std::make_unique<TClassTable>(*this)) {
  // The player's own classes are known without class files (as the
  // authoring tool's intrinsic class folder makes them known), so that they
  // can be imported; they are never compiled.
  for (const std::string& name : StandardClassNames()) {
    auto info = std::make_unique<TClassInfo>();
    info->Name = strings_.Id(name);
    info->ClassFlags = kClassStandard;
    classes_->Declare(std::move(info));
  }
}

TCompileContext::~TCompileContext() = default;

int TCompileContext::SWFVersion() const { return Movie() ? Movie()->Version() : 8; }

void TCompileContext::AddIncludePath(const std::string& folder) {
  if (!FolderExists(folder)) throw EActionCompileError("Include path \"" + folder + "\" not found.");
  std::string path = folder;
  if (path.back() != '/') path += '/';
  for (const auto& known : include_paths_)
    if (EqualsIgnoreCase(known, path)) return;
  include_paths_.push_back(path);
}

void TCompileContext::AddClassPath(const std::string& folder) {
  if (!FolderExists(folder)) throw EActionCompileError("Class path \"" + folder + "\" not found.");
  std::string path = folder;
  if (path.back() != '/') path += '/';
  AddIncludePath(path);
  for (const auto& known : class_paths_)
    if (known == path) return;
  class_paths_.push_back(path);
  // Names not found before may be found on the new path.
  searched_.clear();
}

void TCompileContext::SetMainScript(const std::string& path) {
  struct stat info {};
  main_script_ = ::stat(path.c_str(), &info) == 0 ? FileIdentity(info) : std::string();
}

const std::vector<std::string>& TCompileContext::Listing(const std::string& folder) {
  auto known = listings_.find(folder);
  if (known != listings_.end()) return known->second;
  std::vector<std::string> names;
  std::error_code error;
  namespace fs = std::filesystem;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return listings_.emplace(folder, std::move(names)).first->second;
}

std::string TCompileContext::EntryIgnoreCase(const std::string& folder, std::string_view name) {
  const std::vector<std::string>& names = Listing(folder);
  if (std::binary_search(names.begin(), names.end(), name)) return std::string(name);
  for (const std::string& entry : names)
    if (EqualsIgnoreCase(entry, name)) return entry;
  return {};
}

std::string TCompileContext::FindFileIgnoreCase(const std::string& folder, const std::string& relative) {
  std::string path = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find_first_of("/\\", start);
    if (end == std::string::npos) end = relative.size();
    std::string part = relative.substr(start, end - start);
    const bool last = end == relative.size();
    start = end + 1;
    if (part.empty() || part == ".") {
      if (last) return {};
      continue;
    }
    std::string entry = part == ".." ? part : EntryIgnoreCase(path.empty() ? "." : path, part);
    if (entry.empty()) return {};
    path += entry;
    if (last) return FileExists(path) ? path : std::string();
    if (!FolderExists(path)) return {};
    path += '/';
  }
  return {};
}

std::vector<std::string> TCompileContext::PackageFolders(const std::string& root, const std::vector<std::string>& parts) {
  // The version folders that apply to the movie: FP7 for version 7 only,
  // FP8 above 7, FP9 for 9. At most one of them on a path, so that a link
  // of a version folder to its own folder cannot multiply the paths.
  const int version = SWFVersion();
  std::vector<std::string> versions;
  if (version == 7) versions.push_back("FP7");
  if (version > 7) versions.push_back("FP8");
  if (version == 9) versions.push_back("FP9");
  struct TCandidate {
    std::string Folder;
    bool UsedVersion;
  };
  std::vector<TCandidate> level{{root, false}};
  for (std::size_t i = 0;; ++i) {
    // Each folder of this level, and a version folder inside it.
    std::vector<TCandidate> withVersions;
    for (const TCandidate& candidate : level) {
      if (!candidate.UsedVersion) {
        for (const std::string& name : versions) {
          std::string entry = EntryIgnoreCase(candidate.Folder, name);
          if (!entry.empty() && FolderExists(candidate.Folder + entry)) withVersions.push_back({candidate.Folder + entry + "/", true});
        }
      }
      withVersions.push_back(candidate);
    }
    if (i == parts.size()) {
      std::vector<std::string> folders;
      for (const TCandidate& candidate : withVersions) folders.push_back(candidate.Folder);
      return folders;
    }
    level.clear();
    for (const TCandidate& candidate : withVersions) {
      std::string entry = EntryIgnoreCase(candidate.Folder, parts[i]);
      if (!entry.empty() && FolderExists(candidate.Folder + entry)) level.push_back({candidate.Folder + entry + "/", candidate.UsedVersion});
    }
    if (level.empty()) return {};
  }
}

TClassInfo* TCompileContext::LocateClass(int name) {
  const std::string text = strings_.Text(name);
  const int key = strings_.Id(AsciiLower(text));
  if (searched_.count(key)) return nullptr;
  searched_.emplace(key, std::string());
  std::vector<std::string> parts;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t dot = text.find('.', start);
    if (dot == std::string::npos) dot = text.size();
    parts.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
  for (const std::string& part : parts)
    if (!IsIdentifier(part)) return nullptr;
  const std::string fileName = parts.back() + ".as";
  parts.pop_back();
  // The class path added last wins.
  for (auto path = class_paths_.rbegin(); path != class_paths_.rend(); ++path) {
    for (const std::string& folder : PackageFolders(*path, parts)) {
      std::string entry = EntryIgnoreCase(folder, fileName);
      if (entry.empty()) continue;
      std::string file = folder + entry;
      struct stat info {};
      if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
      if (!main_script_.empty() && FileIdentity(info) == main_script_) continue;
      if (!DeclaresClass(file, text)) {
        searched_[key] = file;
        continue;
      }
      auto made = std::make_unique<TClassInfo>();
      made->Name = name;
      made->FileName = file;
      if (IsStandardClassName(text)) made->ClassFlags |= kClassStandard;
      searched_[key].clear();
      return static_cast<TClassInfo*>(classes_->Declare(std::move(made)));
    }
  }
  return nullptr;
}

std::string TCompileContext::UndeclaringFile(int name) {
  auto found = searched_.find(strings_.Id(AsciiLower(strings_.Text(name))));
  return found == searched_.end() ? std::string() : found->second;
}

void TCompileContext::LocatePackage(std::string_view dotted) {
  std::vector<std::string> parts;
  std::string text(dotted);
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t dot = text.find('.', start);
    if (dot == std::string::npos) dot = text.size();
    parts.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
  for (const std::string& path : class_paths_) {
    for (const std::string& folder : PackageFolders(path, parts)) {
      for (const std::string& entry : Listing(folder)) {
        if (entry.size() <= 3 || AsciiLower(entry.substr(entry.size() - 3)) != ".as") continue;
        classes_->Find(strings_.Id(text + "." + entry.substr(0, entry.size() - 3)));
      }
    }
  }
}

TIdentTable* TCompileContext::OpenScope(int kind) {
  TBaseIdentTable* enclosing = scopes_.empty() ? static_cast<TBaseIdentTable*>(classes_.get()) : scopes_.back();
  auto scope = std::make_unique<TIdentTable>(*this, kind, enclosing);
  TIdentTable* raw = scope.get();
  unit_->Scopes.push_back(std::move(scope));
  scopes_.push_back(raw);
  return raw;
}

void TCompileContext::CloseScope() {
  if (!scopes_.empty()) scopes_.pop_back();
}

TFlashActionScript& TCompileContext::Builder() {
  if (!builder_) throw EActionCompileError("Statements outside an event handler cannot be compiled here");
  return *builder_;
}

void TCompileContext::PushString(int id) {
  int index = unit_->Pool.IndexOf(id);
  if (index > 0xFFFF) throw EActionCompileError("The script uses more than 65536 different strings");
  Builder().PushConstant(static_cast<std::uint16_t>(index));
}

void TCompileContext::EnterNode(const TParseTreeNode& node) {
  if (++depth_ > kMaxDepth) {
    depth_ = 0;
    throw EActionCompileError("Expression or statement nested too deeply in line " + std::to_string(node.Pos.Line),
                              node.Pos.File, node.Pos.Line, node.Pos.Column + 1);
  }
}

void TCompileContext::InsertConstantPool(TSWFActionList& list) {
  if (unit_->Pool.Empty()) return;
  std::vector<std::string> texts;
  texts.reserve(unit_->Pool.Ids().size());
  for (int id : unit_->Pool.Ids()) texts.push_back(strings_.Text(id));
  if (!list.Empty()) {
    if (auto* pool = dynamic_cast<TSWFActionConstantPool*>(list[0])) {
      pool->ConstantPool = std::move(texts);
      return;
    }
  }
  auto pool = std::make_unique<TSWFActionConstantPool>();
  pool->ConstantPool = std::move(texts);
  list.Insert(0, std::move(pool));
}

void TCompileContext::Parse(TStream& source) { ParseSource(*this, source, unit_->FileName); }

void TCompileContext::GenerateRoot(TProgramNode& root) {
  depth_ = 0;
  CompileChild(*this, &root);
}

void TCompileContext::ParseWithClasses(TStream& source) {
  Parse(source);
  ParseUsedClasses();
  GenerateUsedClasses();
}

void TCompileContext::CompileScript(TStream& source, TFlashActionScript& builder) {
  auto unit = std::make_unique<TCompileUnit>();
  unit->OwnerKind = TCompileUnit::TOwnerKind::Script;
  unit->Builder = &builder;
  // A list that already starts with a constant pool keeps its indexes: the
  // new strings are added behind its own.
  if (!builder.Actions().Empty()) {
    if (auto* pool = dynamic_cast<TSWFActionConstantPool*>(builder.Actions()[0]))
      for (const auto& text : pool->ConstantPool) unit->Pool.IndexOf(strings_.Id(text));
  }
  TCompileSession session(*this, std::move(unit));
  ParseWithClasses(source);
  builder_ = &builder;
  GenerateRoot(*unit_->Root);
  InsertConstantPool(builder.Actions());
  FinalPass(builder.Actions());
}

void TCompileContext::CompileHandlers(TStream& source, std::unique_ptr<TCompileUnit> unit) {
  TCompileSession session(*this, std::move(unit));
  handler_lists_.clear();
  ParseWithClasses(source);
  // The handlers choose their lists themselves; statements outside them
  // have no builder.
  builder_ = nullptr;
  GenerateRoot(*unit_->Root);
  std::set<TSWFActionList*> done;
  for (TSWFActionList* list : handler_lists_)
    if (done.insert(list).second) FinalPass(*list);
  handler_lists_.clear();
}

void TCompileContext::CompileButton(TStream& source, TFlashButtonConditions& button) {
  auto unit = std::make_unique<TCompileUnit>();
  unit->OwnerKind = TCompileUnit::TOwnerKind::Button;
  unit->Button = &button;
  CompileHandlers(source, std::move(unit));
}

void TCompileContext::CompileClip(TStream& source, TFlashPlaceObject& place) {
  auto unit = std::make_unique<TCompileUnit>();
  unit->OwnerKind = TCompileUnit::TOwnerKind::Clip;
  unit->Clip = &place;
  CompileHandlers(source, std::move(unit));
}

// --- class files

void TCompileContext::ParseClassFile(TClassInfo& info) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(info.FileName);
  TBufferStream stream(bytes.data(), bytes.size());
  info.Unit = std::make_unique<TCompileUnit>();
  info.Unit->FileName = info.FileName;
  TCompileUnit* saved = unit_;
  std::vector<TIdentTable*> savedScopes;
  savedScopes.swap(scopes_);
  unit_ = info.Unit.get();
  try {
    ParseSource(*this, stream, info.FileName);
  } catch (...) {
    // The class is parsed again (and fails again) when it is next used.
    unit_ = saved;
    scopes_.swap(savedScopes);
    info.Declaration = nullptr;
    info.ClassScope = nullptr;
    info.Unit.reset();
    throw;
  }
  unit_ = saved;
  scopes_.swap(savedScopes);
}

void TCompileContext::ParseUsedClasses() {
  bool parsed = true;
  while (parsed) {
    parsed = false;
    const auto& entries = classes_->Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      TClassInfo* info = entries[i]->AsClass();
      if (!info || !(info->ClassFlags & kClassUsed) || (info->ClassFlags & kClassStandard) || info->Unit ||
          info->FileName.empty())
        continue;
      ParseClassFile(*info);
      parsed = true;
    }
  }
}

void TCompileContext::GenerateUsedClasses() {
  bool generated = true;
  while (generated) {
    generated = false;
    const auto& entries = classes_->Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      TClassInfo* info = entries[i]->AsClass();
      if (info && info->ClassFlags == kClassUsed) {
        GenerateClass(*info, 0);
        generated = true;
      }
    }
  }
}

EActionCompileError TCompileContext::UseError(const TClassInfo& info, const std::string& message) const {
  std::string where = info.UseFile.empty() ? "" : "in file: \"" + info.UseFile + "\" ";
  return EActionCompileError(message + " " + where + "in line: " + std::to_string(info.UseLine) +
                                 " pos: " + std::to_string(info.UseColumn + 1),
                             info.UseFile, info.UseLine, info.UseColumn + 1);
}

void TCompileContext::GenerateClass(TClassInfo& info, int guard) {
  const std::string& name = strings_.Text(info.Name);
  if (info.ClassFlags & kClassGenerating)
    throw UseError(info, "Class " + name + " depends on itself through its superclass or interfaces.");
  if (guard > kMaxInheritance)
    throw UseError(info, "Class " + name + " has more than " + std::to_string(kMaxInheritance) +
                             " superclasses and interfaces above it.");
  if (!info.Unit) {
    info.ClassFlags |= kClassGenerated;
    return;
  }
  TClassDefNode* declaration = info.Declaration;
  if (!declaration || declaration->Info != &info || !info.Unit->Root)
    throw UseError(info, "Class file \"" + info.FileName + "\" does not declare the class " + name + ".");
  info.ClassFlags |= kClassGenerating;
  std::vector<TCompoundName> dependencies;
  if (declaration->Super) dependencies.push_back(*declaration->Super);
  if (auto* impl = dynamic_cast<TClassImplNode*>(declaration); impl && impl->Interfaces)
    for (const auto& interfaceName : impl->Interfaces->Names) dependencies.push_back(interfaceName);
  for (const auto& dependency : dependencies) {
    TClassInfo* other = classes_->FindClass(dependency.DottedId(strings_));
    if (other && !(other->ClassFlags & (kClassStandard | kClassGenerated))) GenerateClass(*other, guard + 1);
  }
  if (declaration->Super && info.ClassScope) {
    TClassInfo* super = classes_->FindClass(declaration->Super->DottedId(strings_));
    if (super) info.ClassScope->Inherited = super->ClassScope;
  }
  TFlashSprite* sprite = Movie()->AddSprite();
  TFlashActionScript& init = sprite->InitActions();
  TFlashActionScript* savedBuilder = builder_;
  TCompileUnit* savedUnit = unit_;
  builder_ = &init;
  unit_ = info.Unit.get();
  struct Restore {
    TCompileContext& cc;
    TFlashActionScript* builder;
    TCompileUnit* unit;
    ~Restore() {
      cc.builder_ = builder;
      cc.unit_ = unit;
    }
  } restore{*this, savedBuilder, savedUnit};
  int savedDepth = depth_;
  GenerateRoot(*unit_->Root);
  depth_ = savedDepth;
  InsertConstantPool(init.Actions());
  SettleSkipCounts(init.Actions());
  info.ClassFlags = (info.ClassFlags & ~kClassGenerating) | kClassGenerated;
}

// --- the final pass

namespace {

// Record codes the final pass looks at (tests of the code are much cheaper
// than casts on every record).
constexpr std::uint8_t kCodePop = 0x17;
constexpr std::uint8_t kCodeConstantPool = 0x88;
constexpr std::uint8_t kCodeDefineFunction2 = 0x8E;
constexpr std::uint8_t kCodePush = 0x96;
constexpr std::uint8_t kCodeDefineFunction = 0x9B;

// The name of a function definition, or null for another record.
const std::string* FunctionName(const TSWFAction* action) {
  if (action->ActionCode == kCodeDefineFunction2) return &static_cast<const TSWFActionDefineFunction2*>(action)->Name;
  if (action->ActionCode == kCodeDefineFunction) return &static_cast<const TSWFActionDefineFunction*>(action)->Name;
  return nullptr;
}

// The marker that ends a function definition's body, if any.
TSWFOffsetMarker* FunctionEnd(TSWFAction* action) {
  if (action->ActionCode == kCodeDefineFunction2)
    return static_cast<TSWFActionDefineFunction2*>(action)->CurrentMarker();
  return static_cast<TSWFActionDefineFunction*>(action)->CurrentMarker();
}

}  // namespace

void TCompileContext::FinalPass(TSWFActionList& list) {
  std::vector<std::unique_ptr<TSWFAction>> items = list.TakeAll();
  // 1. Named function definitions at the top level move to the front,
  // behind the leading constant pool.
  std::vector<std::unique_ptr<TSWFAction>> front;
  std::vector<std::unique_ptr<TSWFAction>> rest;
  front.reserve(items.size());
  rest.reserve(items.size());
  std::size_t i = 0;
  if (!items.empty() && items[0]->ActionCode == kCodeConstantPool) front.push_back(std::move(items[i++]));
  while (i < items.size()) {
    TSWFAction* action = items[i].get();
    const std::string* name = FunctionName(action);
    if (!name) {
      rest.push_back(std::move(items[i++]));
      continue;
    }
    TSWFOffsetMarker* end = FunctionEnd(action);
    std::size_t last = i;
    if (end) {
      std::size_t j = i + 1;
      while (j < items.size() && items[j].get() != end) ++j;
      if (j < items.size()) last = j;
    }
    auto& target = name->empty() ? rest : front;
    for (; i <= last; ++i) target.push_back(std::move(items[i]));
  }
  // 2. A Push of one value directly followed by a Pop goes, with the Pop.
  std::vector<std::unique_ptr<TSWFAction>> out;
  out.reserve(front.size() + rest.size());
  auto add = [&](std::unique_ptr<TSWFAction>& item) {
    if (item->ActionCode == kCodePop && !out.empty() && out.back()->ActionCode == kCodePush &&
        static_cast<TSWFActionPush*>(out.back().get())->ValueCount() == 1) {
      out.pop_back();
      return;
    }
    out.push_back(std::move(item));
  };
  for (auto& item : front) add(item);
  for (auto& item : rest) add(item);
  list.PutAll(std::move(out));
  SettleSkipCounts(list);
}

void TCompileContext::SettleSkipCounts(TSWFActionList& list) {
  for (auto it = pending_waits_.begin(); it != pending_waits_.end();) {
    int index = list.IndexOf(it->first);
    if (index < 0) {
      ++it;
      continue;
    }
    std::size_t count = 0;
    for (std::size_t j = static_cast<std::size_t>(index) + 1; j < list.Count() && list[j] != it->second; ++j)
      if (list[j]->ActionCode != kActionOffsetMarker) ++count;
    if (count >= 256) throw Error("ActionWaitForFrame: invalid SkipCount parameter.");
    it->first->SkipCount = static_cast<std::uint8_t>(count);
    it = pending_waits_.erase(it);
  }
}

void InstallActionCompiler() {
  SetCompileContextFactory(
      [](TFlashMovie* movie) -> std::unique_ptr<TBaseCompileContext> { return std::make_unique<TCompileContext>(movie); });
}

}  // namespace yel::swf
