// The compile-context factory and the movie's compile-error log.
#include "swf/builder/compile_context_base.h"

#include "base/byte_stream.h"
#include "swf/builder/flash_movie.h"

namespace yel::swf {
namespace {
TCompileContextFactory g_factory = nullptr;
}  // namespace

TMemoryStream& TBaseCompileContext::CompileErrors() { return movie_->CompileErrors(); }

void SetCompileContextFactory(TCompileContextFactory factory) { g_factory = factory; }
TCompileContextFactory CompileContextFactory() { return g_factory; }

void LogCompileError(TFlashMovie& movie, const std::string& message) {
  TMemoryStream& log = movie.CompileErrors();
  log.Seek(log.Size());
  log.Write(message.data(), message.size());
}

}  // namespace yel::swf
