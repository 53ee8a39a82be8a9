// TBaseCompileContext: how builder objects reach the script compiler without
// depending on it. The compiler library installs a factory; a movie creates
// its context through it on first need and keeps it for its whole life.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/error.h"

namespace yel {
class TMemoryStream;
class TStream;
}

namespace yel::swf {

class TFlashActionScript;
class TFlashMovie;
class TFlashPlaceObject;
class TSWFActionList;

// A compile error: the message is the whole text that ends in the movie's
// compile-error log; File (empty for the main source), Line and Column (both
// from 1, 0 when unknown) say where it was found.
class EActionCompileError : public Error {
 public:
  explicit EActionCompileError(const std::string& message, std::string file = {}, int line = 0, int column = 0)
      : Error(message), File(std::move(file)), Line(line), Column(column) {}
  std::string File;
  int Line;
  int Column;
};

// What a button offers the compiler: its condition records.
class TFlashButtonConditions {
 public:
  virtual ~TFlashButtonConditions() = default;
  // Adds a condition record for the set of button events (bit 0 rollOver ..
  // bit 8 menuDragOut) and key code; returns its action list.
  virtual TSWFActionList& AddCondition(std::uint16_t events, std::uint8_t keyCode) = 0;
  // The action list of the first condition whose events contain the event
  // bit, or null.
  virtual TSWFActionList* FindCondition(std::uint16_t event) = 0;
};

class TBaseCompileContext {
 public:
  explicit TBaseCompileContext(TFlashMovie* movie) : movie_(movie) {}
  virtual ~TBaseCompileContext() = default;
  TBaseCompileContext(const TBaseCompileContext&) = delete;
  TBaseCompileContext& operator=(const TBaseCompileContext&) = delete;

  // Scans a folder of class files ("*.as", packages as subfolders).
  virtual void AddClassPath(const std::string& folder) = 0;
  // A folder searched for include files, in the order added.
  virtual void AddIncludePath(const std::string& folder) = 0;
  // Compile source into the builder's list, a button's conditions or a
  // placed clip's event actions. Throw EActionCompileError (or Error) on a
  // failure; the callers turn it into an entry of the compile-error log.
  virtual void CompileScript(TStream& source, TFlashActionScript& builder) = 0;
  virtual void CompileButton(TStream& source, TFlashButtonConditions& button) = 0;
  virtual void CompileClip(TStream& source, TFlashPlaceObject& place) = 0;

  TFlashMovie* Movie() const { return movie_; }
  // The owning movie's compile-error log.
  TMemoryStream& CompileErrors();

 private:
  TFlashMovie* movie_;
};

using TCompileContextFactory = std::unique_ptr<TBaseCompileContext> (*)(TFlashMovie* movie);
// Installed by the compiler library (InstallActionCompiler).
void SetCompileContextFactory(TCompileContextFactory factory);
TCompileContextFactory CompileContextFactory();

// Appends "message" and a line break to the movie's compile-error log.
void LogCompileError(TFlashMovie& movie, const std::string& message);

}  // namespace yel::swf
