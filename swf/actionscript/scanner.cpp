// The scanner's position keeping and include files, and the parse entry
// point that joins the generated lexer and parser.
#include "swf/actionscript/scanner.h"

#include <algorithm>
#include <filesystem>

#include "base/byte_stream.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "swf/actionscript/parser.hpp"

int yyparse(yel::swf::TScanner* s);

namespace yel::swf {

void* NewFlexScanner(TScanner* state);
void FreeFlexScanner(void* scanner);
void* NewFlexBuffer(void* scanner);
void PushFlexBuffer(void* scanner, void* buffer);

namespace {
// Include files nested deeper than this are refused (a cycle shows up first
// as a file that includes itself).
constexpr std::size_t kMaxIncludeDepth = 64;

// Included files of one compilation may add up to this many bytes: files
// that include each other several times grow exponentially with the depth.
constexpr std::uint64_t kMaxIncludedBytes = 64u << 20;
// And at most this many inclusions (small files included over and over
// would otherwise make a tree of millions of statements first).
constexpr std::uint64_t kMaxInclusions = 10000;

// Leaves the stream behind a UTF-8 byte-order mark, or at its start.
void SkipByteOrderMark(TStream& stream) {
  stream.Seek(0);
  std::uint8_t head[3] = {0, 0, 0};
  if (stream.Read(head, 3) != 3 || head[0] != 0xEF || head[1] != 0xBB || head[2] != 0xBF) stream.Seek(0);
}
}  // namespace

void TScanner::Advance(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == '\n') {
      ++Line;
      Column = 0;
    } else {
      ++Column;
    }
  }
}

void TScanner::Fail(const std::string& message, int line, int column, bool withPosition) const {
  std::string where = Current.FileName.empty() ? "" : "in file: \"" + Current.FileName + "\" ";
  throw EActionCompileError(withPosition ? message + " " + where + "in line: " + std::to_string(line) +
                                               " pos: " + std::to_string(column + 1)
                                         : message,
                            Current.FileName, line, column + 1);
}

void TScanner::FailNulByte() const {
  Fail("Invalid character (byte 0)", Line, Column - 1);
}

void TScanner::AppendCodePoint(int code) {
  if (Context->SWFVersion() < 6) {
    Text += code < 256 ? static_cast<char>(code) : '?';
  } else if (code < 0x80) {
    Text += static_cast<char>(code);
  } else if (code < 0x800) {
    Text += static_cast<char>(0xC0 | (code >> 6));
    Text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    Text += static_cast<char>(0xE0 | (code >> 12));
    Text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    Text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void TScanner::Include(const std::string& directive) {
  // The name between the first and the second quote.
  std::size_t open = directive.find_first_of("\"'");
  std::size_t close = directive.find(directive[open], open + 1);
  std::string name = Trim(directive.substr(open + 1, close - open - 1));
  std::replace(name.begin(), name.end(), '\\', '/');
  // Every part of the name is matched without regard to case.
  std::string path;
  if (!name.empty() && name[0] == '/') {
    path = Context->FindFileIgnoreCase("/", name.substr(1));
  } else {
    for (const std::string& folder : Context->IncludePaths()) {
      path = Context->FindFileIgnoreCase(folder, name);
      if (!path.empty()) break;
    }
  }
  if (path.empty()) Fail("Include file \"" + name + "\" not found.", Line, Column - 1, false);
  std::string absolute = AbsolutePath(path);
  if (IncludeStack.size() >= kMaxIncludeDepth) Fail("Include files nested too deeply.", Line, Column - 1, false);
  for (const auto& saved : IncludeStack) {
    if (saved.FileName == name || (!saved.FileName.empty() && AbsolutePath(saved.FileName) == absolute))
      Fail("Include file \"" + name + "\" includes itself.", Line, Column - 1, false);
  }
  if (!Current.FileName.empty() && AbsolutePath(Current.FileName) == absolute)
    Fail("Include file \"" + name + "\" includes itself.", Line, Column - 1, false);

  std::error_code sizeError;
  std::uintmax_t size = std::filesystem::file_size(path, sizeError);
  const bool tooLarge = sizeError || Context->IncludedBytes + size > kMaxIncludedBytes;
  if (tooLarge || Context->Inclusions + 1 > kMaxInclusions) {
    std::string chain;
    for (const auto& saved : IncludeStack) chain += (saved.FileName.empty() ? "the script" : saved.FileName) + " > ";
    chain += (Current.FileName.empty() ? "the script" : Current.FileName) + " > " + path;
    Fail(tooLarge ? "Included files add up to more than " + std::to_string(kMaxIncludedBytes >> 20) + " MB: " + chain
                  : "More than " + std::to_string(kMaxInclusions) + " files included: " + chain,
         Line, Column - 1, false);
  }
  ++Context->Inclusions;
  TSourceState next;
  next.Bytes = std::make_unique<std::vector<std::uint8_t>>(ReadFileBytes(path));
  Context->IncludedBytes += next.Bytes->size();
  next.Owned = std::make_unique<TBufferStream>(next.Bytes->data(), next.Bytes->size());
  next.Stream = next.Owned.get();
  SkipByteOrderMark(*next.Stream);
  next.FileName = path;
  Current.Line = Line;
  Current.Column = Column;
  IncludeStack.push_back(std::move(Current));
  Current = std::move(next);
  Line = 1;
  Column = 0;
  PushFlexBuffer(Flex, NewFlexBuffer(Flex));
}

bool TScanner::PopInclude() {
  if (IncludeStack.empty()) return false;
  Current = std::move(IncludeStack.back());
  IncludeStack.pop_back();
  Line = Current.Line;
  Column = Current.Column;
  return true;
}

void ParseSource(TCompileContext& cc, TStream& source, const std::string& fileName) {
  TScanner scanner;
  scanner.Context = &cc;
  scanner.Current.Stream = &source;
  scanner.Current.FileName = fileName;
  SkipByteOrderMark(source);
  struct Guard {
    TScanner& s;
    TCompileContext& cc;
    ~Guard() {
      if (s.Flex) FreeFlexScanner(s.Flex);
      cc.Scanner = nullptr;
    }
  } guard{scanner, cc};
  scanner.Flex = NewFlexScanner(&scanner);
  cc.Scanner = &scanner;
  int result = 0;
  try {
    result = yyparse(&scanner);
  } catch (const EActionCompileError& error) {
    // Errors of the parser's actions (an unknown superclass, an import of a
    // missing class) take the scanner's position.
    if (error.Line > 0) throw;
    throw EActionCompileError(error.what(), scanner.Current.FileName, scanner.Line, scanner.Column + 1);
  }
  if (result != 0 || scanner.SyntaxError) {
    const std::string& file = scanner.Current.FileName;
    std::string message = file.empty() ? "Parse Error in line: " + std::to_string(scanner.Line) +
                                             " pos: " + std::to_string(scanner.Column + 1)
                                       : "Parse Error in file: \"" + file + "\" line: " +
                                             std::to_string(scanner.Line) + " pos: " +
                                             std::to_string(scanner.Column + 1);
    throw EActionCompileError(message, file, scanner.Line, scanner.Column + 1);
  }
}

}  // namespace yel::swf
