// Tag bodies for tests: what a tag object writes after its header, and a
// body read back as the stream reader would read it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"

namespace yel::swf::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Body(TSWFObject& tag) {
  TMemoryStream stream;
  TBitsEngine be(stream);
  tag.WriteTagBody(be);
  be.FlushLastByte(true);
  return stream.Bytes();
}

// The tag of this code read from body, in a file of the given version.
inline std::unique_ptr<TSWFObject> ReadBody(std::uint16_t code, const Bytes& body, std::uint8_t version = 8,
                                            bool parseActions = true) {
  auto tag = CreateTag(code);
  tag->SetReadContext(TSWFReadContext{version, parseActions});
  tag->BodySize = static_cast<std::uint32_t>(body.size());
  TBufferStream stream(body.data(), body.size());
  TBitsEngine be(stream);
  ReadTagBody(be, *tag, tag->BodySize);
  return tag;
}

// The tag read back as T; null when the body became another class (an error
// tag).
template <class T>
std::unique_ptr<T> ReadAs(std::uint16_t code, const Bytes& body, bool parseActions = true) {
  auto tag = ReadBody(code, body, 8, parseActions);
  auto* typed = dynamic_cast<T*>(tag.get());
  if (!typed) return nullptr;
  tag.release();
  return std::unique_ptr<T>(typed);
}

template <class T>
T& As(const std::unique_ptr<TSWFObject>& tag) {
  return dynamic_cast<T&>(*tag);
}

}  // namespace yel::swf::testing
