// libFuzzer target for the SWF reader: loads any bytes as a movie, parses the
// tags, writes the movie back and reads that again. Besides the sanitizers'
// checks it requires that whatever we write loads again without error and
// that writing is stable: a movie written from our own output is unchanged.
//
// Built twice: swf_reader_fuzzer runs over whole real movies (slow: large
// inputs, each written back compressed); swf_reader_small_fuzzer
// (YEL_FUZZ_SMALL_INPUTS) runs over small inputs, movies cut to their first
// tags, and writes its round trips uncompressed, so that it runs a thousand
// times faster and goes deeper into the tag readers.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/error.h"
#include "swf/format/swf_stream.h"

namespace {

using yel::TMemoryStream;
using yel::swf::TSWFStreamReader;

std::vector<std::uint8_t> RoundTrip(const std::uint8_t* data, std::size_t size, bool mustLoad) {
  TSWFStreamReader reader;
  try {
    reader.LoadFromBytes(data, size, "fuzz.swf");
  } catch (const yel::Error&) {
    if (mustLoad) std::abort();  // our own output must load
    return {};
  }
  if (!reader.IsSWF) {
    if (mustLoad) std::abort();
    return {};
  }
  try {
    reader.ParseTags(true, true);
  } catch (const yel::Error&) {
    // More tags than the file's size allows: the limit follows the size of
    // the file, so our own output, compressed smaller, may pass it too.
    return {};
  }
  for (std::size_t i = 0; i < reader.TagCount(); ++i) {
    const auto& entry = reader.TagInfo(i);
    if (entry.TagObject) (void)entry.TagObject->Summary();
  }
  reader.FindFrameIndex(2);
  reader.MakeStream();
#ifdef YEL_FUZZ_SMALL_INPUTS
  reader.SetCompressed(false);
#endif
  TMemoryStream out;
  reader.SaveToStream(out);
  return out.TakeBytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> first = RoundTrip(data, size, false);
  if (first.empty()) return 0;
  // The first write may still change what it keeps raw (a cut-off tag comes
  // back with the bytes it had, and may then decode); from there on writing
  // must be stable.
  std::vector<std::uint8_t> second = RoundTrip(first.data(), first.size(), true);
  std::vector<std::uint8_t> third = RoundTrip(second.data(), second.size(), true);
  if (second != third) std::abort();
  return 0;
}
