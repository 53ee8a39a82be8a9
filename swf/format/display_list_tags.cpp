// DefineSprite body: id, frame count, then nested tags up to an End tag.
#include "swf/format/display_list_tags.h"

#include "base/error.h"
#include "swf/format/tag_factory.h"

namespace yel::swf {

void TSWFDefineSprite::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDefineSprite>(source);
  SpriteId = src.SpriteId;
  FrameCount = src.FrameCount;
  ParseActions = src.ParseActions;
  SWFVersion = src.SWFVersion;
  ControlTags.clear();
  for (const auto& item : src.ControlTags) {
    const auto* tag = dynamic_cast<const TSWFObject*>(item.get());
    if (!tag) throw std::logic_error("DefineSprite copy: builder objects cannot be copied here");
    ControlTags.push_back(CloneTag(*tag));
  }
}

void TSWFDefineSprite::SetReadContext(const TSWFReadContext& context) {
  SWFVersion = context.Version;
  ParseActions = context.ParseActions;
}

void TSWFDefineSprite::ReadFromStream(TBitsEngine& be) {
  ControlTags.clear();
  TStream& stream = be.Stream();
  std::uint64_t start = stream.Position();
  SpriteId = be.ReadWord();
  FrameCount = be.ReadWord();
  for (;;) {
    std::uint64_t headerAt = stream.Position() - start;
    if (stream.Remaining() == 0) {
      // A body that stops without an End tag still gets one in the list.
      ControlTags.push_back(CreateTag(tag::End));
      break;
    }
    std::uint16_t word = be.ReadWord();
    std::uint16_t code = (word >> 6) & 0x3FF;
    if (code == tag::End) {
      // An End tag ends the list even with a (meaningless) body length: it is
      // written back as the plain End, which ends the list for any reader.
      ControlTags.push_back(CreateTag(tag::End));
      break;
    }
    std::uint32_t length = word & 0x3F;
    if (length == 0x3F) {
      if (stream.Remaining() < 4)
        throw Error("nested tag header at offset " + std::to_string(headerAt) + " of the sprite is cut off");
      length = be.ReadDWord();
    }
    if (length > stream.Remaining())
      throw Error("nested tag " + TagName(code) + " at offset " + std::to_string(headerAt) + " of the sprite claims " +
                  std::to_string(length) + " bytes, but only " + std::to_string(stream.Remaining()) + " are left");
    // Character definitions live at the top level of a movie: a sprite that
    // holds a sprite is damaged (and would let nesting recurse).
    if (code == tag::DefineSprite)
      throw Error("DefineSprite nested in sprite " + std::to_string(SpriteId) + " at offset " +
                  std::to_string(headerAt) + " of the sprite");
    auto tag = CreateTag(code);
    tag->BodySize = length;
    if (TagNeedsReadContext(code)) tag->SetReadContext(TSWFReadContext{SWFVersion, ParseActions});
    // Each nested body is read within its declared length, and reading goes on
    // after it whatever the tag's reader consumed.
    ReadTagBody(be, *tag, length);
    ControlTags.push_back(std::move(tag));
  }
}

void TSWFDefineSprite::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(SpriteId);
  be.WriteWord(FrameCount);
  for (const auto& item : ControlTags) item->WriteToStream(be);
  const auto* last = ControlTags.empty() ? nullptr : dynamic_cast<const TSWFObject*>(ControlTags.back().get());
  if (!last || last->TagID != tag::End) be.WriteWord(0);  // the End tag's header
}

std::string TSWFDefineSprite::Summary() const {
  return "sprite " + std::to_string(SpriteId) + ", " + std::to_string(FrameCount) + " frames, " +
         std::to_string(ControlTags.size()) + " tags";
}

}  // namespace yel::swf
