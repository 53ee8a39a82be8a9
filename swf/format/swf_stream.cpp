// Header, compression and the tag list of SWF files.
#include "swf/format/swf_stream.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <utility>

#include <zlib.h>

#include "base/error.h"
#include "base/files.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/bitmap_tags.h"
#include "swf/format/button_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/font_tags.h"
#include "swf/format/morph_shape_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/sound_tags.h"
#include "swf/format/tag_factory.h"
#include "swf/format/text_tags.h"
#include "swf/format/video_tags.h"

namespace yel::swf {
namespace {

constexpr std::size_t kCompressBuffer = 64 * 1024;

int RoundPercent(double part, double whole) {
  if (whole <= 0) return 100;
  return static_cast<int>(std::nearbyint(part / whole * 100.0));
}

std::uint32_t ReadLE32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string Offset(std::uint64_t offset) { return "offset " + std::to_string(offset); }

// A coordinate in twips, held at the int32 range instead of overflowing.
std::int32_t Scale(std::int32_t value, int multiplier) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{value} * multiplier, INT32_MIN, INT32_MAX));
}

}  // namespace

// --- TBasedSWFStream

TBasedSWFStream::TBasedSWFStream() = default;

TBasedSWFStream::TBasedSWFStream(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                                 float frameRate, TSWFSystemCoord coord) {
  SetSystemCoord(coord);
  movie_rect_ = {Scale(left, multiplier_), Scale(top, multiplier_), Scale(right, multiplier_), Scale(bottom, multiplier_)};
  fps_ = FloatToFixed8(frameRate);
}

TBasedSWFStream::~TBasedSWFStream() = default;

TMemoryStream& TBasedSWFStream::BodyStream() {
  if (!body_) {
    owned_body_ = std::make_unique<TMemoryStream>();
    body_ = owned_body_.get();
  }
  return *body_;
}

void TBasedSWFStream::SetBodyStream(TMemoryStream* stream) {
  owned_body_.reset();
  body_ = stream;
}

void TBasedSWFStream::SetOwnedBody(std::unique_ptr<TMemoryStream> stream) {
  owned_body_ = std::move(stream);
  body_ = owned_body_.get();
}

int TBasedSWFStream::HeaderSize() const {
  int n = SignedFieldWidth(MaxAbs(movie_rect_.Left, movie_rect_.Right, movie_rect_.Top, movie_rect_.Bottom), 5);
  return 12 + (4 * n + 5 + 7) / 8;
}

int TBasedSWFStream::Width() const {
  return static_cast<int>((std::int64_t{movie_rect_.Right} - movie_rect_.Left) / multiplier_);
}
int TBasedSWFStream::Height() const {
  return static_cast<int>((std::int64_t{movie_rect_.Bottom} - movie_rect_.Top) / multiplier_);
}

void TBasedSWFStream::SetMovieRect(const TRect& rect) {
  movie_rect_ = {Scale(rect.Left, multiplier_), Scale(rect.Top, multiplier_), Scale(rect.Right, multiplier_),
                 Scale(rect.Bottom, multiplier_)};
  Changed();
}

float TBasedSWFStream::FPS() const { return Fixed8ToFloat(fps_); }

void TBasedSWFStream::SetFPS(float frameRate) {
  fps_ = FloatToFixed8(frameRate);
  Changed();
}

void TBasedSWFStream::SetVersion(std::uint8_t version) {
  header_[3] = compressed_ && version < 6 && CompressionRaisesVersion() ? 6 : version;
  Changed();
}

void TBasedSWFStream::SetCompressed(bool compressed) {
  compressed_ = compressed;
  if (compressed && header_[3] < 6 && CompressionRaisesVersion()) header_[3] = 6;
  Changed();
}

void TBasedSWFStream::SetSystemCoord(TSWFSystemCoord coord) {
  system_coord_ = coord;
  multiplier_ = coord == TSWFSystemCoord::Pix ? 20 : 1;
}

std::uint32_t TBasedSWFStream::FileLength() const { return ReadLE32(header_ + 4); }

void TBasedSWFStream::SetFileLength(std::uint32_t length) {
  header_[4] = static_cast<std::uint8_t>(length);
  header_[5] = static_cast<std::uint8_t>(length >> 8);
  header_[6] = static_cast<std::uint8_t>(length >> 16);
  header_[7] = static_cast<std::uint8_t>(length >> 24);
}

void TBasedSWFStream::DoProgress(int percent, int kind) {
  if (OnProgress) OnProgress(*this, percent, kind);
}

void TBasedSWFStream::WriteHeader(TStream& destination, HeaderPart part) {
  if (part != HeaderPart::AfterFirst8) destination.Write(header_, 8);
  if (part == HeaderPart::First8) return;
  TBitsEngine be(destination);
  be.WriteRect(movie_rect_);
  be.WriteWord(fps_);
  be.WriteWord(FrameCount);
}

namespace {

// A stream whose bytes are deflated (zlib, default level) onto another
// stream as they come, through its own 64 KB output buffer. Small writes
// are gathered first; deflate gives the same bytes however its input is
// split. Reading and moving back are not possible.
class TDeflateStream : public TStream {
 public:
  // progress gets the bytes taken in so far, each time output is written.
  TDeflateStream(TStream& destination, std::function<void(std::uint64_t taken)> progress)
      : destination_(destination), progress_(std::move(progress)), out_(kCompressBuffer) {
    if (deflateInit(&zs_, Z_DEFAULT_COMPRESSION) != Z_OK) throw Error("cannot start the zlib compressor");
    pending_.reserve(kCompressBuffer);
  }
  ~TDeflateStream() override { deflateEnd(&zs_); }
  TDeflateStream(const TDeflateStream&) = delete;
  TDeflateStream& operator=(const TDeflateStream&) = delete;

  std::size_t Read(void*, std::size_t) override { throw Error("internal: reading a stream that compresses"); }
  void Write(const void* src, std::size_t n) override {
    const auto* bytes = static_cast<const std::uint8_t*>(src);
    written_ += n;
    if (pending_.size() + n <= kCompressBuffer) {
      pending_.insert(pending_.end(), bytes, bytes + n);
      if (pending_.size() == kCompressBuffer) FlushPending();
      return;
    }
    FlushPending();
    Pump(bytes, n, Z_NO_FLUSH);
  }
  // Compressed data goes into stored blocks: compressing it again costs
  // much time and saves about 1%.
  void WriteCompressed(const void* src, std::size_t n) override {
    FlushPending();
    written_ += n;
    SetLevel(0);
    Pump(static_cast<const std::uint8_t*>(src), n, Z_NO_FLUSH);
    SetLevel(Z_DEFAULT_COMPRESSION);
  }
  std::uint64_t Position() const override { return written_; }
  void Seek(std::uint64_t position) override {
    if (position != written_) throw Error("internal: moving back in a stream that compresses");
  }
  std::uint64_t Size() const override { return written_; }

  // Ends the zlib stream.
  void Finish() {
    FlushPending();
    Pump(nullptr, 0, Z_FINISH);
  }

 private:
  void FlushPending() {
    if (pending_.empty()) return;
    Pump(pending_.data(), pending_.size(), Z_NO_FLUSH);
    pending_.clear();
  }
  // Changes the compression level from here on; zlib ends the current
  // block first, which may take several rounds of output.
  void SetLevel(int level) {
    zs_.next_in = nullptr;
    zs_.avail_in = 0;
    while (true) {
      zs_.next_out = out_.data();
      zs_.avail_out = static_cast<uInt>(out_.size());
      const int ret = deflateParams(&zs_, level, Z_DEFAULT_STRATEGY);
      const std::size_t produced = out_.size() - zs_.avail_out;
      if (produced > 0) destination_.Write(out_.data(), produced);
      if (ret == Z_OK) return;
      if (ret != Z_BUF_ERROR || produced == 0) throw Error("zlib compression failed");
    }
  }
  // Deflates one input block; Z_FINISH ends the zlib stream.
  void Pump(const std::uint8_t* data, std::uint64_t size, int flush) {
    while (true) {
      auto chunk = static_cast<uInt>(std::min<std::uint64_t>(size, UINT_MAX / 2));
      zs_.next_in = const_cast<Bytef*>(data);
      zs_.avail_in = chunk;
      int mode = (chunk == size) ? flush : Z_NO_FLUSH;
      int ret;
      do {
        zs_.next_out = out_.data();
        zs_.avail_out = static_cast<uInt>(out_.size());
        uInt before = zs_.avail_in;
        ret = deflate(&zs_, mode);
        if (ret == Z_STREAM_ERROR) throw Error("zlib compression failed");
        taken_ += before - zs_.avail_in;
        std::size_t produced = out_.size() - zs_.avail_out;
        if (produced > 0) {
          destination_.Write(out_.data(), produced);
          if (progress_) progress_(taken_);
        }
      } while (mode == Z_FINISH ? ret != Z_STREAM_END : zs_.avail_out == 0);
      if (data) data += chunk;
      size -= chunk;
      if (size == 0) break;
    }
  }

  TStream& destination_;
  std::function<void(std::uint64_t)> progress_;
  z_stream zs_{};
  std::vector<std::uint8_t> out_;
  std::vector<std::uint8_t> pending_;
  std::uint64_t written_ = 0, taken_ = 0;
};

// The stream side of an AtomicFileWriter: writes go to the file as they
// come, so a movie is saved without a second copy of it in memory.
class TFileWriteStream : public TStream {
 public:
  explicit TFileWriteStream(AtomicFileWriter& file) : file_(file) {}
  std::size_t Read(void*, std::size_t) override { throw Error("internal: reading a file that is being written"); }
  void Write(const void* src, std::size_t n) override {
    file_.WriteAt(position_, src, n);
    position_ += n;
  }
  std::uint64_t Position() const override { return position_; }
  void Seek(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return file_.Size(); }

 private:
  AtomicFileWriter& file_;
  std::uint64_t position_ = 0;
};

}  // namespace

void TBasedSWFStream::SaveToStream(TStream& destination) {
  TMemoryStream& body = BodyStream();
  body.Seek(0);
  SaveBody(destination, body.Size(), [&body](TStream& out) { out.Write(std::as_const(body).Data(), body.Size()); });
}

void TBasedSWFStream::SaveBody(TStream& destination, std::uint64_t bodySize,
                               const std::function<void(TStream& out)>& writeBody) {
  std::uint64_t length = bodySize + HeaderSize();
  if (length > 0xFFFFFFFFu) throw Error("the movie is larger than the 4 GB an SWF file can hold");
  SetFileLength(static_cast<std::uint32_t>(length));
  std::uint64_t written = 0;
  auto body = [&](TStream& out) {
    const std::uint64_t start = out.Position();
    writeBody(out);
    written = out.Position() - start;
  };
  if (!compressed_) {
    std::memcpy(header_, "FWS", 3);
    WriteHeader(destination, HeaderPart::Whole);
    body(destination);
  } else {
    std::memcpy(header_, "CWS", 3);
    if (header_[3] < 6 && CompressionRaisesVersion()) header_[3] = 6;
    WriteHeader(destination, HeaderPart::First8);
    const double progressBase = static_cast<double>(bodySize) - 22;
    TDeflateStream deflated(destination, [this, progressBase](std::uint64_t taken) {
      DoProgress(RoundPercent(static_cast<double>(taken), progressBase > 0 ? progressBase : 1), kProgressCompressing);
    });
    WriteHeader(deflated, HeaderPart::AfterFirst8);
    body(deflated);
    deflated.Finish();
  }
  if (written != bodySize) throw Error("internal: the movie's body came out at a length other than its header gives");
}

void TBasedSWFStream::SaveToFile(const std::string& fileName) {
  TMemoryStream& body = BodyStream();
  SaveBodyToFile(fileName, body.Size(),
                 [&body](TStream& out) { out.Write(std::as_const(body).Data(), body.Size()); });
}

void TBasedSWFStream::SaveBodyToFile(const std::string& fileName, std::uint64_t bodySize,
                                     const std::function<void(TStream& out)>& writeBody) {
  AtomicFileWriter file(fileName);
  TFileWriteStream stream(file);
  SaveBody(stream, bodySize, writeBody);
  file.Commit();
}

// --- TSWFTagInfo

TSWFTagInfo::TSWFTagInfo(std::uint16_t code, bool create) : TagID(code) {
  if (create) SetObject(CreateTag(code));
}

void TSWFTagInfo::SetObject(std::unique_ptr<TSWFObject> obj) {
  owned_ = std::move(obj);
  TagObject = owned_.get();
  OwnsObject = TagObject != nullptr;
}

void TSWFTagInfo::SetObjectRef(TSWFObject* obj) {
  owned_.reset();
  TagObject = obj;
  OwnsObject = false;
}

std::unique_ptr<TSWFObject> TSWFTagInfo::ReleaseObject() {
  TagObject = nullptr;
  OwnsObject = false;
  return std::move(owned_);
}

// --- TSWFStreamReader

TSWFStreamReader::TSWFStreamReader() = default;

TSWFStreamReader::TSWFStreamReader(const std::string& fileName) {
  if (!fileName.empty()) LoadFromFile(fileName);
}

TSWFStreamReader::TSWFStreamReader(TStream& stream) { LoadFromStream(stream); }

void TSWFStreamReader::LoadFromFile(const std::string& fileName) {
  // Read in pieces, not mapped: only the body the reader keeps takes memory.
  TSWFBodyReader input(fileName);
  Load(input);
}

void TSWFStreamReader::LoadFromStream(TStream& stream, const std::string& sourceName) {
  stream.Seek(0);
  if (auto* memory = dynamic_cast<TMemoryStream*>(&stream)) {
    LoadFromBytes(std::as_const(*memory).Data(), memory->Size(), sourceName);
  } else if (auto* view = dynamic_cast<TBufferStream*>(&stream)) {
    LoadFromBytes(view->Data(), view->Size(), sourceName);
  } else {
    TMemoryStream copy;
    copy.CopyFrom(stream);
    LoadFromBytes(copy.Data(), copy.Size(), sourceName);
  }
}

void TSWFStreamReader::LoadFromBytes(const std::uint8_t* data, std::size_t size, const std::string& sourceName) {
  TSWFBodyReader input(data, size, sourceName);
  Load(input);
}

void TSWFStreamReader::Load(TSWFBodyReader& input) {
  // Named for the caller's "not an SWF movie" message.
  source_name_ = input.SourceName();
  IsSWF = input.IsSWF();
  if (!IsSWF) return;
  // The body's buffer grows as data arrives instead of trusting the length
  // that a compressed file's header gives.
  const std::uint64_t bodySize = input.BodySize();
  std::vector<std::uint8_t> body(static_cast<std::size_t>(
      input.Compressed()
          ? std::min<std::uint64_t>(bodySize, std::max<std::uint64_t>((input.InputSize() - 8) * 4, 1 << 16))
          : bodySize));
  const std::uint64_t limit = input.Compressed() ? input.MaxBodySize() : bodySize;
  std::uint64_t have = 0;
  while (have < bodySize) {
    if (have == body.size()) {
      input.CheckHeld(have + 1);
      body.resize(static_cast<std::size_t>(std::min({bodySize, limit, std::uint64_t{body.size()} * 2})));
    }
    have += input.Read(body.data() + have, body.size() - have);
  }

  compressed_ = input.Compressed();
  std::memcpy(header_, input.Start(), 8);
  movie_rect_ = input.MovieRect();
  fps_ = input.FPSWord();
  FrameCount = input.FrameCount();
  body_offset_ = input.BodyOffset();
  tags_.clear();
  input_size_ = input.InputSize();
  max_tags_ = input.MaxTagCount();
  SetOwnedBody(std::make_unique<TMemoryStream>(std::move(body)));
}

namespace {

// Entries for the nested tags of a sprite read from body bytes at
// bodyStart; the nested objects stay owned by the sprite. Positions count
// from base (where body starts in the whole body).
void FillSubTags(TSWFTagInfo& info, const std::uint8_t* body, std::uint64_t bodySize, std::uint64_t bodyStart,
                 std::uint64_t bodyLength, std::uint64_t base = 0) {
  info.SubTags.clear();
  auto* sprite = dynamic_cast<TSWFDefineSprite*>(info.TagObject);
  if (!sprite) return;
  std::uint64_t end = std::min(bodyStart + bodyLength, bodySize);
  std::uint64_t p = bodyStart + 4;
  std::uint16_t frame = 1;
  for (auto& item : sprite->ControlTags) {
    auto* tag = dynamic_cast<TSWFObject*>(item.get());
    std::uint16_t code = 0;
    std::uint32_t length = 0;
    bool isLong = false;
    std::uint64_t at = std::min(p, end);
    if (p + 2 <= end) {
      std::uint16_t word = static_cast<std::uint16_t>(body[p] | (body[p + 1] << 8));
      code = word >> 6;
      length = word & 0x3F;
      if (length == 0x3F && p + 6 <= end) {
        length = ReadLE32(body + p + 2);
        isLong = true;
      }
    }
    auto sub = std::make_unique<TSWFTagInfo>(code, false);
    sub->Position = static_cast<std::uint32_t>(base + at);
    sub->Length = length;
    sub->IsLongHeader = isLong;
    sub->Frame = frame;
    sub->SetObjectRef(tag);
    if (code == tag::ShowFrame) ++frame;
    std::uint64_t header = isLong ? 6 : 2;
    if (code == tag::DefineSprite) FillSubTags(*sub, body, bodySize, at + header, length, base);
    p = at + (p + 2 <= end ? header + length : 0);
    info.SubTags.push_back(std::move(sub));
  }
}

// The number of tag headers in body[from, end), sprites' tags included,
// counted without reading the tags; stops once past limit.
std::uint64_t CountTags(const std::uint8_t* body, std::uint64_t from, std::uint64_t end, std::uint64_t limit,
                        int depth = 0) {
  std::uint64_t count = 0;
  std::uint64_t p = from;
  while (end - p >= 2 && count <= limit) {
    const std::uint16_t word = static_cast<std::uint16_t>(body[p] | (body[p + 1] << 8));
    std::uint64_t length = word & 0x3F;
    std::uint64_t header = 2;
    if (length == 0x3F) {
      if (end - p < 6) break;
      length = ReadLE32(body + p + 2);
      header = 6;
    }
    ++count;
    const std::uint64_t bodyEnd = std::min(end, p + header + length);
    if ((word >> 6) == tag::DefineSprite && depth < 8 && bodyEnd >= p + header + 4)
      count += CountTags(body, p + header + 4, bodyEnd, limit - std::min(limit, count), depth + 1);
    p = bodyEnd;
  }
  return count;
}

[[noreturn]] void ThrowTooManyTags(const std::string& source, std::uint64_t limit, std::uint64_t inputSize) {
  ThrowFileError(source, "the movie holds more than " + std::to_string(limit) + " tags for its " +
                             std::to_string(inputSize) +
                             " bytes of file; a movie may hold 262144 tags plus one for each byte of its file");
}

// How tags become entries.
struct TagParsing {
  bool createObjects = true;
  bool parseActions = true;
  std::uint8_t version = 0;
  std::uint32_t bodyOffset = 0;  // of the body in the file, for error messages
  const TSWFStreamReader::CreateTagEvent* onCreateTag = nullptr;
};

// Reads the tag whose header starts at bytes[0] (size bytes of the body from
// there on, kept alive by owner, which objects may share) into an entry
// whose positions count from position in the body. A tag that fails to
// parse becomes an error tag. Returns the entry and sets consumed to the
// bytes it takes.
std::unique_ptr<TSWFTagInfo> ParseTagAt(const std::uint8_t* bytes, std::uint64_t size,
                                        const std::shared_ptr<const void>& owner, std::uint64_t position,
                                        const TagParsing& how, std::uint16_t& frame, std::uint64_t& consumed) {
  TBufferStream stream(bytes, static_cast<std::size_t>(size), owner);
  TBitsEngine be(stream);
  std::uint16_t word = be.ReadWord();
  auto info = std::make_unique<TSWFTagInfo>(static_cast<std::uint16_t>(word >> 6), false);
  info->Position = static_cast<std::uint32_t>(position);
  info->Length = word & 0x3F;
  if (info->Length == 0x3F) {
    info->IsLongHeader = true;
    info->Length = be.ReadDWord();
  }
  info->Frame = frame;
  if (info->TagID == tag::ShowFrame) ++frame;
  const std::uint64_t bodyStart = stream.Position();
  const std::uint64_t available = bodyStart <= size ? size - bodyStart : 0;
  TSWFTagInfo& entry = *info;

  if (how.createObjects) {
    bool create = true;
    if (how.onCreateTag && *how.onCreateTag) (*how.onCreateTag)(entry, create);
    if (create) entry.SetObject(CreateTag(entry.TagID));
  }
  if (entry.TagObject && entry.Length > 0) {
    std::uint16_t code = entry.TagID;
    TSWFObject& tag = *entry.TagObject;
    if (TagNeedsReadContext(code)) tag.SetReadContext(TSWFReadContext{how.version, how.parseActions});
    tag.BodySize = entry.Length;
    std::string failure;
    if (entry.Length > available) {
      failure = "the tag claims " + std::to_string(entry.Length) + " bytes, but the file ends after " +
                std::to_string(available);
    } else {
      try {
        ReadTagBody(be, tag, entry.Length);
      } catch (const std::exception& e) {
        failure = e.what();
      }
    }
    if (!failure.empty()) {
      // Kept as an error tag with the original body bytes, so writing the
      // movie again gives the tag back unchanged.
      auto raw = std::make_unique<TSWFByteCodeTag>();
      raw->TagCode = code;
      raw->BodySize = entry.Length;
      raw->Description = TagName(code) + " at " + Offset(how.bodyOffset + position) + ": " + failure;
      raw->SetData(bytes + bodyStart, static_cast<std::size_t>(std::min<std::uint64_t>(entry.Length, available)));
      entry.SetObject(std::move(raw));
      entry.TagID = tag::ErrorTag;
    } else if (code == tag::DefineSprite) {
      FillSubTags(entry, bytes, size, bodyStart, entry.Length, position);
    }
  }
  consumed = std::min<std::uint64_t>(bodyStart + entry.Length, std::max<std::uint64_t>(size, bodyStart));
  return info;
}

}  // namespace

void TSWFStreamReader::ParseTags(bool createObjects, bool parseActions) {
  tags_.clear();
  TMemoryStream& body = BodyStream();
  const std::uint8_t* data = std::as_const(body).Data();
  const std::uint64_t size = body.Size();
  const std::shared_ptr<const void> owner = body.Share();
  const TagParsing how{createObjects, parseActions, Version(), body_offset_, &OnCreateTag};
  if (CountTags(data, 0, size, max_tags_) > max_tags_) ThrowTooManyTags(source_name_, max_tags_, input_size_);
  std::uint16_t frame = 1;
  std::uint64_t position = 0;
  while (position < size) {
    DoProgress(RoundPercent(static_cast<double>(position), static_cast<double>(size)), kProgressParsing);
    if (size - position < 2) break;  // a stray last byte is no tag
    std::uint64_t consumed = 0;
    tags_.push_back(ParseTagAt(data + position, size - position, owner, position, how, frame, consumed));
    position += consumed;
  }
  body.Seek(position);
}

// --- TSWFTagScanner

TSWFTagScanner::TSWFTagScanner(const std::string& fileName) : body_(fileName) {}

TSWFTagScanner::TSWFTagScanner(const std::uint8_t* data, std::size_t size, const std::string& sourceName)
    : body_(data, size, sourceName) {}

std::unique_ptr<TSWFTagInfo> TSWFTagScanner::Next(bool parseActions) {
  const std::uint64_t position = body_.Position();
  const std::uint64_t left = body_.BodySize() - position;
  if (left < 2) return nullptr;  // a stray last byte is no tag
  // The header, 6 bytes for a long one (as far as the body holds them).
  std::uint8_t header[6] = {};
  std::uint64_t headerSize = body_.Read(header, 2);
  std::uint64_t length = header[0] & 0x3F;
  if (length == 0x3F) {
    headerSize += body_.Read(header + 2, 4);
    length = ReadLE32(header + 2);
  }
  const std::uint64_t available = std::min(length, left - headerSize);

  // A long tag that no reader decodes (an unknown code) would only be held
  // as bytes: it is read through in pieces and its entry carries no data.
  constexpr std::uint64_t kLongestKeptUnknownTag = 16u << 20;
  const auto code = static_cast<std::uint16_t>((header[0] | header[1] << 8) >> 6);
  if (available == length && length > kLongestKeptUnknownTag && TagName(code).starts_with("Unknown ")) {
    std::unique_ptr<TSWFObject> object = CreateTag(code);
    if (dynamic_cast<TSWFByteCodeTag*>(object.get())) {
      std::uint8_t scratch[16 * 1024];
      for (std::uint64_t skipped = 0; skipped < length;)
        skipped += body_.Read(scratch, std::min<std::uint64_t>(sizeof scratch, length - skipped));
      if (++tag_count_ > body_.MaxTagCount())
        ThrowTooManyTags(body_.SourceName(), body_.MaxTagCount(), body_.InputSize());
      auto info = std::make_unique<TSWFTagInfo>(code, false);
      info->Position = static_cast<std::uint32_t>(position);
      info->Length = static_cast<std::uint32_t>(length);
      info->IsLongHeader = headerSize == 6;
      info->Frame = frame_;
      object->BodySize = static_cast<std::uint32_t>(length);
      info->SetObject(std::move(object));
      return info;
    }
  }

  // The tag's bytes; the buffer grows as they arrive instead of trusting
  // the length, and is taken anew while an earlier tag's objects share it.
  constexpr std::size_t kFirstBuffer = 64 * 1024;
  if (!buffer_ || buffer_.use_count() > 1) {
    capacity_ = std::max(capacity_, kFirstBuffer);
    buffer_ = std::make_shared_for_overwrite<std::uint8_t[]>(capacity_);
  }
  std::memcpy(buffer_.get(), header, headerSize);
  const std::uint64_t need = headerSize + available;
  std::uint64_t have = headerSize;
  while (have < need) {
    if (have == capacity_) {
      body_.CheckHeld(have + 1);
      const std::uint64_t limit = body_.Compressed() ? body_.MaxBodySize() : need;
      const auto size = static_cast<std::size_t>(std::min({need, std::uint64_t{capacity_} * 2, limit}));
      auto bigger = std::make_shared_for_overwrite<std::uint8_t[]>(size);
      std::memcpy(bigger.get(), buffer_.get(), have);
      buffer_ = std::move(bigger);
      capacity_ = size;
    }
    have += body_.Read(buffer_.get() + have, std::min<std::uint64_t>(need, capacity_) - have);
  }
  const TagParsing how{true, parseActions, body_.Version(), body_.BodyOffset(), nullptr};
  const std::uint64_t limit = body_.MaxTagCount();
  tag_count_ += CountTags(buffer_.get(), 0, need, limit - std::min(limit, tag_count_));
  if (tag_count_ > limit) ThrowTooManyTags(body_.SourceName(), limit, body_.InputSize());
  std::uint64_t consumed = 0;
  return ParseTagAt(buffer_.get(), need, buffer_, position, how, frame_, consumed);
}

int TSWFStreamReader::FindFrameIndex(int n) {
  if (n == 0 || tags_.empty()) return 0;
  int seen = 0;
  for (std::size_t i = 0; i < tags_.size(); ++i) {
    if (tags_[i]->TagID == tag::ShowFrame && ++seen == n) return static_cast<int>(i);
  }
  return static_cast<int>(tags_.size()) - 1;
}

void TSWFStreamReader::MakeStream() {
  TMemoryStream& old = BodyStream();
  auto fresh = std::make_unique<TMemoryStream>();
  fresh->Reserve(static_cast<std::size_t>(old.Size()));
  TBitsEngine be(*fresh);
  std::size_t count = tags_.size();
  for (std::size_t i = 0; i < count; ++i) {
    DoProgress(RoundPercent(static_cast<double>(i + 1), static_cast<double>(count)), kProgressWriting);
    TSWFTagInfo& entry = *tags_[i];
    std::uint64_t at = fresh->Position();
    if (entry.TagObject) {
      entry.TagObject->WriteToStream(be);
      entry.Length = entry.TagObject->BodySize;
      std::uint64_t written = fresh->Position() - at;
      entry.IsLongHeader = written >= 6 && written - entry.Length == 6;
    } else {
      // Bytes of a tag that was never turned into an object. A body that the
      // old stream does not hold completely is written with the length it has.
      std::uint64_t header = entry.IsLongHeader ? 6 : 2;
      std::uint64_t start = std::min<std::uint64_t>(entry.Position, old.Size());
      std::uint64_t have = std::min(entry.FullSize(), old.Size() - start);
      if (have == entry.FullSize()) {
        fresh->Write(std::as_const(old).Data() + start, static_cast<std::size_t>(have));
      } else {
        std::uint64_t bodyHave = have > header ? have - header : 0;
        WriteTagHeader(*fresh, entry.TagID, bodyHave, entry.IsLongHeader);
        if (bodyHave > 0) fresh->Write(std::as_const(old).Data() + start + header, static_cast<std::size_t>(bodyHave));
        entry.Length = static_cast<std::uint32_t>(bodyHave);
      }
    }
    entry.Position = static_cast<std::uint32_t>(at);
  }
  // Nested entries of sprites point into the new body as well.
  for (auto& entry : tags_) {
    if (entry->TagID == tag::DefineSprite && entry->TagObject)
      FillSubTags(*entry, std::as_const(*fresh).Data(), fresh->Size(), entry->Position + (entry->IsLongHeader ? 6 : 2), entry->Length);
  }
  fresh->Seek(0);
  SetOwnedBody(std::move(fresh));
}

void TSWFStreamReader::MoveResource(int to, int first, int last) {
  if (first < to) to = first;
  if (last == -1) {
    last = FrameCount;
  } else if (last == 0 || last < first) {
    last = first;
  }
  if (tags_.empty()) return;
  int dest = FindFrameIndex(to);
  if (tags_[dest]->TagID == tag::ShowFrame) ++dest;
  int from = first == to ? dest + 1 : FindFrameIndex(first) + 1;
  int until = FindFrameIndex(last + 1);
  if (tags_[until]->TagID == tag::ShowFrame) --until;
  if (until <= from) return;
  int k = 0;
  for (int i = from; i <= until && i < static_cast<int>(tags_.size()); ++i) {
    if (!IsResourceTag(tags_[i]->TagID)) continue;
    auto moved = std::move(tags_[i]);
    tags_.erase(tags_.begin() + i);
    tags_.insert(tags_.begin() + dest + k, std::move(moved));
    ++k;
  }
}

namespace {

// The characters that buttons, morph shapes and video frames name.
void RenumberCharacterReferences(TSWFObject& tag, const std::function<void(std::uint16_t&)>& refer) {
  if (auto* button = dynamic_cast<TSWFBasedButton*>(&tag)) {
    for (auto& record : button->ButtonRecords) refer(record->CharacterId);
  } else if (auto* sounds = dynamic_cast<TSWFDefineButtonSound*>(&tag)) {
    refer(sounds->ButtonId);
    for (int slot = 0; slot < 4; ++slot)
      if (auto* sound = sounds->Sound(static_cast<TSWFDefineButtonSound::Slot>(slot))) refer(sound->SoundId);
  } else if (auto* cxform = dynamic_cast<TSWFDefineButtonCxform*>(&tag)) {
    refer(cxform->ButtonId);
  } else if (auto* morph = dynamic_cast<TSWFDefineMorphShape*>(&tag)) {
    ForEachBitmapId(*morph, refer);
  } else if (auto* frame = dynamic_cast<TSWFVideoFrame*>(&tag)) {
    refer(frame->StreamID);
  }
}

}  // namespace

int TSWFStreamReader::RenumberCharacters(int start) {
  std::vector<std::uint16_t> ids;
  std::unordered_map<std::uint16_t, int> index;
  auto define = [&](std::uint16_t& id) {
    auto found = index.find(id);
    int at;
    if (found != index.end()) {
      at = found->second;
    } else {
      at = static_cast<int>(ids.size());
      index.emplace(id, at);
      ids.push_back(id);
    }
    id = static_cast<std::uint16_t>(start + at);
  };
  auto refer = [&](std::uint16_t& id) {
    auto found = index.find(id);
    if (found != index.end()) id = static_cast<std::uint16_t>(start + found->second);
  };

  // Pass one: the definitions, in list order.
  for (auto& entry : tags_) {
    TSWFObject* tag = entry->TagObject;
    if (!tag) continue;
    bool renumber = true;
    if (OnRenumber) OnRenumber(*tag, renumber);
    if (!renumber) continue;
    if (auto* sprite = dynamic_cast<TSWFDefineSprite*>(tag)) {
      define(sprite->SpriteId);
    } else if (auto* shape = dynamic_cast<TSWFDefineShape*>(tag)) {
      define(shape->ShapeId);
    } else if (auto* image = dynamic_cast<TSWFImageTag*>(tag)) {
      define(image->ID);
    } else if (auto* sound = dynamic_cast<TSWFDefineSound*>(tag)) {
      define(sound->SoundId);
    } else if (auto* imports = dynamic_cast<TSWFImportAssets*>(tag)) {
      for (auto& asset : imports->Assets) define(asset.ID);
    } else if (auto* font = dynamic_cast<TSWFDefineFont*>(tag)) {
      define(font->FontID);
    } else if (auto* text = dynamic_cast<TSWFDefineText*>(tag)) {
      define(text->CharacterID);
    } else if (auto* field = dynamic_cast<TSWFDefineEditText*>(tag)) {
      define(field->CharacterID);
    } else if (auto* button = dynamic_cast<TSWFBasedButton*>(tag)) {
      define(button->ButtonId);
    } else if (auto* morph = dynamic_cast<TSWFDefineMorphShape*>(tag)) {
      define(morph->CharacterId);
    } else if (auto* video = dynamic_cast<TSWFDefineVideoStream*>(tag)) {
      define(video->CharacterId);
    }
  }

  // Placements and removals name the character they show (a PlaceObject2
  // or 3 only when it carries one).
  auto referPlaced = [&](TSWFObject& placed) {
    if (auto* place2 = dynamic_cast<TSWFPlaceObject2*>(&placed)) {
      if (place2->HasCharacter) refer(place2->CharacterId);
    } else if (auto* place = dynamic_cast<TSWFBasedPlaceObject*>(&placed)) {
      refer(place->CharacterId);
    } else if (auto* remove = dynamic_cast<TSWFRemoveObject*>(&placed)) {
      refer(remove->CharacterId);
    } else if (auto* startSound = dynamic_cast<TSWFStartSound*>(&placed)) {
      refer(startSound->SoundId);
    }
  };

  // Pass two: the references.
  for (auto& entry : tags_) {
    TSWFObject* tag = entry->TagObject;
    if (!tag) continue;
    if (dynamic_cast<TSWFImportAssets*>(tag)) continue;  // definitions, done above
    referPlaced(*tag);
    if (auto* shape = dynamic_cast<TSWFDefineShape*>(tag)) {
      ForEachBitmapId(*shape, refer);
    } else if (auto* sprite = dynamic_cast<TSWFDefineSprite*>(tag)) {
      for (auto& item : sprite->ControlTags)
        if (auto* nested = dynamic_cast<TSWFObject*>(item.get())) {
          referPlaced(*nested);
          RenumberCharacterReferences(*nested, refer);
        }
    }
    if (auto* init = dynamic_cast<TSWFDoInitAction*>(tag)) {
      refer(init->SpriteID);
    } else if (auto* exports = dynamic_cast<TSWFExportAssets*>(tag)) {
      for (auto& asset : exports->Assets) refer(asset.ID);
    } else if (auto* grid = dynamic_cast<TSWFDefineScalingGrid*>(tag)) {
      refer(grid->ID);
    }
    // Fonts named by their companion tags and by the texts that use them.
    if (auto* info = dynamic_cast<TSWFDefineFontInfo*>(tag)) {
      refer(info->FontID);
    } else if (auto* zones = dynamic_cast<TSWFDefineFontAlignZones*>(tag)) {
      refer(zones->FontID);
    } else if (auto* fontName = dynamic_cast<TSWFDefineFontName*>(tag)) {
      refer(fontName->FontID);
    } else if (auto* settings = dynamic_cast<TSWFCSMTextSettings*>(tag)) {
      refer(settings->TextID);
    } else if (auto* text = dynamic_cast<TSWFDefineText*>(tag)) {
      for (auto& record : text->TextRecords)
        if (record->HasFont) {
          std::uint16_t id = record->FontID();
          refer(id);
          record->SetFontID(id);
        }
    } else if (auto* field = dynamic_cast<TSWFDefineEditText*>(tag)) {
      if (field->HasFont) refer(field->FontID);
    }
    RenumberCharacterReferences(*tag, refer);
  }
  return start + static_cast<int>(ids.size());
}

}  // namespace yel::swf
