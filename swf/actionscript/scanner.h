// State shared by the generated lexer and parser of one parse: the source
// streams (the main one and the include files being read), the position of
// the scanner, and the context that receives identifiers and nodes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/actionscript/parse_tree.h"

namespace yel {
class TStream;
}

namespace yel::swf {

// One saved entry of the include stack.
struct TSourceState {
  TStream* Stream = nullptr;
  std::unique_ptr<std::vector<std::uint8_t>> Bytes;  // an include file's text
  std::unique_ptr<TStream> Owned;
  std::string FileName;
  int Line = 1;
  int Column = 0;
};

struct TScanner {
  TCompileContext* Context = nullptr;
  // The source being read: the main stream, or an include file.
  TSourceState Current;
  std::vector<TSourceState> IncludeStack;
  // Position after the last byte matched.
  int Line = 1;
  int Column = 0;
  // Start of an open block comment or string, for the error at its end.
  int OpenLine = 0;
  int OpenColumn = 0;
  std::string Text;  // string literal being read
  void* Flex = nullptr;  // the flex scanner
  // Set by the parser's error hook, with the parser's stack depth then.
  bool SyntaxError = false;
  long ErrorDepth = 0;
  // A line break (or a comment holding one) came before the last token.
  bool LineBreak = false;

  // Advances the position over matched bytes.
  void Advance(const char* text, std::size_t length);
  // Switches to an include file named in a directive.
  void Include(const std::string& directive);
  // Back to the including file at the end of an include; false at the end of
  // the main source.
  bool PopInclude();
  // A compile error at line and column (0-based); the position is added to
  // the message unless withPosition is false.
  [[noreturn]] void Fail(const std::string& message, int line, int column, bool withPosition = true) const;
  // The error for a byte 0 just matched.
  [[noreturn]] void FailNulByte() const;
  // Appends a \u escape's character to Text: UTF-8 for movies of version 6
  // and later (whose strings are UTF-8), else the byte (? above 255).
  void AppendCodePoint(int code);
};

// Parses the stream into the context's current unit (its Root).
void ParseSource(TCompileContext& cc, TStream& source, const std::string& fileName);

}  // namespace yel::swf
