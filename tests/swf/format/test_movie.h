// A minimal movie for tests: an owned list of tag objects that MakeStream
// writes in order.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/format/swf_stream.h"

namespace yel::swf::testing {

// The bytes one tag object writes, header included.
inline std::vector<std::uint8_t> WriteTag(TBasedSWFObject& tag) {
  TMemoryStream stream;
  TBitsEngine be(stream);
  tag.WriteToStream(be);
  return stream.Bytes();
}

class TestMovie : public TBasedSWFStream {
 public:
  using TBasedSWFStream::TBasedSWFStream;

  template <class T>
  T& Add(std::unique_ptr<T> tag) {
    T& ref = *tag;
    tags.push_back(std::move(tag));
    return ref;
  }
  int FindFrameIndex(int) override { return 0; }
  void MoveResource(int, int, int) override {}
  void MakeStream() override {
    TMemoryStream& body = BodyStream();
    body.Clear();
    TBitsEngine be(body);
    for (std::size_t i = 0; i < tags.size(); ++i) {
      tags[i]->WriteToStream(be);
      DoProgress(static_cast<int>((i + 1) * 100 / tags.size()), kProgressWriting);
    }
  }
  std::vector<std::uint8_t> Save() {
    MakeStream();
    TMemoryStream out;
    SaveToStream(out);
    return out.TakeBytes();
  }

  std::vector<std::unique_ptr<TSWFObject>> tags;
};

}  // namespace yel::swf::testing
