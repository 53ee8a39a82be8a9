// Import of external SWF files into a movie: reading, renumbering, and the
// filtered copy of the file's tags at writing time (font names prefixed so
// that fonts of different imports cannot be mistaken for each other).
#include "swf/builder/flash_external_movie.h"

#include <algorithm>
#include <random>
#include <stdexcept>

#include "base/text.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/control_tags.h"
#include "swf/format/font_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/swf_strings.h"
#include "swf/format/tag_factory.h"
#include "swf/format/text_tags.h"

namespace yel::swf {
namespace {

bool CodeIn(std::uint16_t code, std::initializer_list<std::uint16_t> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Tags that define one character each.
constexpr std::initializer_list<std::uint16_t> kDefinitionCodes = {
    tag::DefineShape,  tag::DefineBits,         tag::DefineButton,    tag::DefineFont,          tag::DefineText,
    tag::DefineSound,  tag::DefineBitsLossless, tag::DefineBitsJPEG2, tag::DefineShape2,        tag::DefineShape3,
    tag::DefineText2,  tag::DefineButton2,      tag::DefineBitsJPEG3, tag::DefineBitsLossless2, tag::DefineEditText,
    tag::DefineSprite, tag::DefineMorphShape,   tag::DefineFont2,     tag::DefineVideoStream,   tag::DefineFont3,
    tag::DefineShape4, tag::DefineMorphShape2};
// Timeline tags: they go into the sprite for import type "SPRITE".
constexpr std::initializer_list<std::uint16_t> kControlCodes = {
    tag::PlaceObject,     tag::RemoveObject,     tag::DoAction,     tag::StartSound,
    tag::SoundStreamHead, tag::SoundStreamBlock, tag::PlaceObject2, tag::RemoveObject2,
    tag::FrameLabel,      tag::SoundStreamHead2, tag::PlaceObject3, tag::VideoFrame};
// Tags that belong to a whole file and never leave it.
constexpr std::initializer_list<std::uint16_t> kFileCodes = {
    tag::End,     tag::SetBackgroundColor, tag::Protect, tag::EnableDebugger, tag::EnableDebugger2, tag::FileAttributes,
    tag::Metadata};
// Display-list and start-sound tags, left out for "RESOURCE".
constexpr std::initializer_list<std::uint16_t> kDisplayCodes = {
    tag::PlaceObject, tag::RemoveObject, tag::StartSound, tag::PlaceObject2, tag::RemoveObject2, tag::PlaceObject3};

// The code the tag is written under: a tag kept as bytes carries its own.
std::uint16_t CodeOf(const TSWFObject& tag) {
  if (auto* raw = dynamic_cast<const TSWFByteCodeTag*>(&tag)) return raw->TagCode;
  return tag.TagID;
}

std::uint16_t RandomPrefixNumber() {
  static std::mt19937 engine{std::random_device{}()};
  return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(0, 65534)(engine));
}

// A copy of a font or text-field tag with the prefix before its font names,
// or null for any other tag (the tag itself stays as read, so a movie
// written twice gets the prefix once each time).
std::unique_ptr<TSWFObject> RenamedCopy(const TSWFObject& tag, const std::string& prefix) {
  if (dynamic_cast<const TSWFDefineFont2*>(&tag) || dynamic_cast<const TSWFDefineFontInfo*>(&tag)) {
    auto copy = CloneTag(tag);
    if (auto* font = dynamic_cast<TSWFDefineFont2*>(copy.get())) font->FontName = prefix + font->FontName;
    if (auto* info = dynamic_cast<TSWFDefineFontInfo*>(copy.get())) info->FontName = prefix + info->FontName;
    return copy;
  }
  auto* field = dynamic_cast<const TSWFDefineEditText*>(&tag);
  if (!field || !field->HasText || !field->HTML) return nullptr;
  auto copy = CloneTag(tag);
  auto& renamed = static_cast<TSWFDefineEditText&>(*copy);
  renamed.InitialText = PrefixHtmlFontFaces(renamed.InitialText, prefix);
  if (!renamed.WideInitialText.empty())
    renamed.WideInitialText = Utf8ToUtf16(PrefixHtmlFontFaces(Utf16ToUtf8(renamed.WideInitialText), prefix));
  return copy;
}

}  // namespace

std::string PrefixHtmlFontFaces(const std::string& html, const std::string& prefix) {
  std::string out;
  std::string lower = AsciiLower(html);
  std::size_t p = 0;
  while (p < html.size()) {
    std::size_t face = lower.find("face", p);
    if (face == std::string::npos) break;
    std::size_t open = html.find_first_of("\"'", face + 4);
    if (open == std::string::npos) break;
    std::size_t close = html.find(html[open], open + 1);
    out.append(html, p, open + 1 - p);
    out += prefix;
    if (close == std::string::npos) {
      p = open + 1;
      break;
    }
    out.append(html, open + 1, close + 1 - (open + 1));
    p = close + 1;
  }
  out.append(html, std::min(p, html.size()), std::string::npos);
  return out;
}

TFlashExternalMovie::TFlashExternalMovie(TFlashMovie* owner, const std::string& fileName)
    : TFlashIDObject(owner), reader_(std::make_unique<TSWFStreamReader>()) {
  reader_->LoadFromFile(fileName);
  Open();
}

TFlashExternalMovie::TFlashExternalMovie(TFlashMovie* owner, TStream& stream)
    : TFlashIDObject(owner), reader_(std::make_unique<TSWFStreamReader>()) {
  reader_->LoadFromStream(stream);
  Open();
}

TFlashExternalMovie::~TFlashExternalMovie() = default;

void TFlashExternalMovie::Open() {
  if (!reader_->IsSWF) throw std::runtime_error(reader_->SourceName() + ": not an SWF movie");
  reader_->ParseTags(true, true);
}

int TFlashExternalMovie::MinVersion() const { return std::max<int>(1, reader_->Version()); }

std::uint16_t TFlashExternalMovie::CharacterCount() const {
  std::uint16_t count = 0;
  for (std::size_t i = 0; i < reader_->TagCount(); ++i) {
    const TSWFTagInfo& info = reader_->TagInfo(i);
    std::uint16_t code = info.TagObject ? CodeOf(*info.TagObject) : info.TagID;
    if (CodeIn(code, kDefinitionCodes)) {
      ++count;
    } else if (auto* imports = dynamic_cast<const TSWFImportAssets*>(info.TagObject)) {
      count = static_cast<std::uint16_t>(count + imports->Assets.size());
    }
  }
  return count;
}

void TFlashExternalMovie::RenumberIDs(std::uint16_t firstId) {
  // The reader renumbers the characters it holds as objects. A definition it
  // keeps as bytes (one it could not read, or a kind it does not decode)
  // would keep its old id and collide with the movie's characters, so such a
  // file is refused rather than written wrong.
  for (std::size_t i = 0; i < reader_->TagCount(); ++i) {
    const TSWFTagInfo& info = reader_->TagInfo(i);
    std::uint16_t code = info.TagObject ? CodeOf(*info.TagObject) : info.TagID;
    bool raw = !info.TagObject || dynamic_cast<const TSWFByteCodeTag*>(info.TagObject);
    if (raw && CodeIn(code, kDefinitionCodes))
      throw std::runtime_error(reader_->SourceName() + ": cannot give new ids to its characters: its " +
                               TagName(code) + " is not renumbered yet; import it without renumbering");
  }
  reader_->RenumberCharacters(firstId);
}

TFlashSprite& TFlashExternalMovie::CreateSprite() {
  sprite_ = std::make_unique<TFlashSprite>(Owner());
  sprite_->SetCharacterId(CharacterId());
  return *sprite_;
}

void TFlashExternalMovie::WriteToStream(TBitsEngine& be) {
  frames_written_ = 0;
  if (reader_->TagCount() == 0) {
    if (ImportType == eimSprite && !sprite_) CreateSprite();
    if (ImportType == eimSprite) {
      sprite_->SpriteRecord().ControlTags.clear();
      sprite_->SetFrameCount(0);
      sprite_->WriteToStream(be);
    }
    return;
  }
  std::string prefix;
  if (RenameFonts) prefix = std::to_string(FontPrefixSource ? FontPrefixSource() : RandomPrefixNumber());
  if (ImportType == eimSprite) {
    if (sprite_) {
      sprite_->SpriteRecord().ControlTags.clear();
      sprite_->SetFrameCount(0);
    } else {
      CreateSprite();
    }
  }
  const TMemoryStream& source = reader_->BodyStream();
  for (std::size_t i = 0; i < reader_->TagCount(); ++i) {
    TSWFTagInfo& info = reader_->TagInfo(i);
    if (!info.TagObject) {
      std::uint64_t end = std::min<std::uint64_t>(info.Position + info.FullSize(), source.Size());
      if (info.Position < end) be.Stream().Write(source.Data() + info.Position, end - info.Position);
      continue;
    }
    TSWFObject& tag = *info.TagObject;
    const std::uint16_t code = CodeOf(tag);
    if (CodeIn(code, kFileCodes)) continue;
    if (code == tag::ShowFrame && (ImportType == eimResource || ImportType == eimNoFrameRoot)) continue;
    if (ImportType == eimResource && CodeIn(code, kDisplayCodes)) continue;
    if (OnImportTag) {
      bool include = true;
      OnImportTag(tag, include);
      if (!include) continue;
    }
    if (code == tag::ShowFrame) {
      if (ImportType == eimSprite) {
        sprite_->ShowFrame(1);
      } else {
        tag.WriteToStream(be);
        ++frames_written_;
      }
      continue;
    }
    if (CodeIn(code, kControlCodes) && ImportType == eimSprite) {
      sprite_->AddObject(CloneTag(tag));
      continue;
    }
    if (RenameFonts) {
      if (auto renamed = RenamedCopy(tag, prefix)) {
        renamed->WriteToStream(be);
        continue;
      }
    }
    tag.WriteToStream(be);
  }
  if (ImportType == eimSprite) sprite_->WriteToStream(be);
}

TFlashExternalMovie* TFlashMovie::AddExternalMovie(std::unique_ptr<TFlashExternalMovie> import,
                                                   std::uint8_t importType, bool renumber) {
  TFlashExternalMovie* raw = import.get();
  raw->ImportType = importType;
  raw->SetOwner(this);
  raw->SetCharacterId(NextID);
  // The import takes its own id, its characters' ids and one more (and one
  // for its sprite); a movie that has not that many left refuses it before
  // anything is renumbered or registered.
  const std::uint32_t ids = std::uint32_t(raw->CharacterCount()) + 1u + (importType == eimSprite ? 1u : 0u);
  CheckIDsLeft(ids);
  // Renumbering may refuse the file; that happens before it is registered.
  if (renumber) raw->RenumberIDs(static_cast<std::uint16_t>(raw->CharacterId() + (importType == eimSprite ? 1 : 0)));
  AddObject(std::move(import));
  TakeIDs(ids);
  if (importType == eimSprite) Sprites().Add(&raw->CreateSprite());
  if (importType == eimSprite) raw->Sprite()->SetFrameCount(raw->Reader().FrameCount);
  return raw;
}

TFlashExternalMovie* TFlashMovie::AddExternalMovie(const std::string& fileName, std::uint8_t importType,
                                                   bool renumber) {
  return AddExternalMovie(std::make_unique<TFlashExternalMovie>(this, fileName), importType, renumber);
}

TFlashExternalMovie* TFlashMovie::AddExternalMovie(TStream& stream, std::uint8_t importType, bool renumber) {
  return AddExternalMovie(std::make_unique<TFlashExternalMovie>(this, stream), importType, renumber);
}

}  // namespace yel::swf
