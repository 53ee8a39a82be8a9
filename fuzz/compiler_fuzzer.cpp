// libFuzzer target for the ActionScript compiler: any bytes as script
// source, compiled into a movie's frame actions. Besides the sanitizers'
// checks it requires that a compilation either succeeds with a list that
// writes and reads back, or fails with an error in the compile-error log.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/byte_stream.h"
#include "swf/actionscript/compile_context.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/actions/action_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace yel::swf;
  using yel::TBufferStream;
  using yel::TMemoryStream;
  InstallActionCompiler();
  TFlashMovie movie(0, 0, 550, 400, 24, TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  TFlashActionScript& actions = movie.FrameActions();
  TBufferStream source(data, size);
  bool ok = false;
  try {
    ok = actions.CompileStream(source);
  } catch (const yel::Error&) {
    return 0;  // a skip count too large for ifFrameLoaded
  }
  if (!ok) {
    if (movie.CompileErrors().Size() == 0) std::abort();
    return 0;
  }
  TMemoryStream written;
  try {
    TBitsEngine be(written);
    WriteActionList(be, actions.Actions());
  } catch (const std::exception&) {
    return 0;  // a function or branch longer than 16-bit offsets reach
  }
  TSWFActionList again;
  TBufferStream stream(written.Data(), written.Size());
  TBitsEngine reader(stream);
  ReadActionList(reader, again, written.Size());
  return 0;
}
