// Display-list tags: DefineSprite, the nested timeline of a movie clip.
#pragma once

#include <memory>
#include <vector>

#include "swf/format/swf_object.h"

namespace yel::swf {

class TSWFDefineSprite : public TSWFObject {
 public:
  TSWFDefineSprite() : TSWFObject(tag::DefineSprite) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void SetReadContext(const TSWFReadContext& context) override;
  std::string Summary() const override;

  std::uint16_t SpriteId = 0;
  std::uint16_t FrameCount = 0;
  // Nested tags (and, from the builder, builder objects), owned.
  std::vector<std::unique_ptr<TBasedSWFObject>> ControlTags;
  bool ParseActions = true;
  std::uint8_t SWFVersion = 5;
};

}  // namespace yel::swf
