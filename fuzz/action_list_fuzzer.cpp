// libFuzzer target for action lists: reads any bytes as the body of a
// DoAction, lists the records, writes them back and reads that again. Besides
// the sanitizers' checks it requires that what we write reads again without
// error, that writing is stable, and that a copied list writes the same bytes.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "base/byte_stream.h"
#include "swf/format/actions/action_disassembly.h"
#include "swf/format/actions/action_list.h"

namespace {

using namespace yel::swf;
using yel::TBufferStream;
using yel::TMemoryStream;

std::vector<std::uint8_t> Write(TSWFActionList& list) {
  TMemoryStream stream;
  TBitsEngine be(stream);
  WriteActionList(be, list);
  return stream.TakeBytes();
}

void Read(const std::vector<std::uint8_t>& bytes, TSWFActionList& list) {
  TBufferStream stream(bytes.data(), bytes.size());
  TBitsEngine be(stream);
  ReadActionList(be, list, bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TSWFActionList list;
  try {
    Read(std::vector<std::uint8_t>(data, data + size), list);
  } catch (const std::runtime_error&) {
    return 0;  // damaged lists are refused with a message
  }
  (void)DisassembleActionList(list);
  std::vector<std::uint8_t> first = Write(list);
  TSWFActionList again;
  try {
    Read(first, again);
  } catch (const std::runtime_error&) {
    std::abort();  // our own output must read
  }
  if (Write(again) != first) std::abort();
  TSWFActionList copy;
  CopyActionList(list, copy);
  if (Write(copy) != first) std::abort();
  return 0;
}
