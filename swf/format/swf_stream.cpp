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

// Bytes of a RECT that starts with the given byte.
std::size_t RectSize(std::uint8_t first) {
  int n = first >> 3;
  return (5 + 4 * n + 7) / 8;
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
  // Mapped, not copied: only the body the reader keeps takes memory.
  const MappedFile file(fileName);
  LoadFromBytes(file.Data(), file.Size(), fileName);
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

namespace {

// Inflates a zlib stream piece by piece into buffers of the caller's choice.
class Inflater {
 public:
  Inflater(const std::uint8_t* data, std::size_t size, const std::string& sourceName)
      : in_(data), in_left_(size), source_name_(sourceName) {
    if (inflateInit(&zs_) != Z_OK) ThrowFileError(sourceName, "cannot start the zlib decompressor");
  }
  ~Inflater() { inflateEnd(&zs_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Fills up to n bytes of dst and returns how many the stream gave; fewer
  // only when it ended or its input ran out.
  std::uint64_t Pull(std::uint8_t* dst, std::uint64_t n) {
    std::uint64_t produced = 0;
    while (produced < n && !ended_) {
      if (zs_.avail_in == 0 && in_left_ > 0) {
        auto chunk = static_cast<uInt>(std::min<std::uint64_t>(in_left_, UINT_MAX / 2));
        zs_.next_in = const_cast<Bytef*>(in_);
        zs_.avail_in = chunk;
        in_ += chunk;
        in_left_ -= chunk;
      }
      zs_.next_out = dst + produced;
      zs_.avail_out = static_cast<uInt>(std::min<std::uint64_t>(n - produced, UINT_MAX / 2));
      uInt before = zs_.avail_out;
      int ret = inflate(&zs_, Z_NO_FLUSH);
      produced += before - zs_.avail_out;
      if (ret == Z_STREAM_END) {
        ended_ = true;
      } else if (ret == Z_BUF_ERROR && zs_.avail_in == 0 && in_left_ == 0) {
        break;
      } else if (ret != Z_OK && ret != Z_BUF_ERROR) {
        ThrowFileError(source_name_, "damaged compressed data at " + Offset(8 + zs_.total_in) + ": " +
                                         (zs_.msg ? zs_.msg : "zlib error " + std::to_string(ret)));
      }
    }
    return produced;
  }

  // The error for a stream that gave less than the header's file length.
  [[noreturn]] void ThrowShort(std::uint64_t fileBytes, std::uint32_t fileLength) {
    ThrowFileError(source_name_, std::string(ended_ ? "the compressed data holds " : "the compressed data is cut off after ") +
                                     std::to_string(fileBytes) + " bytes of movie, but the header gives a file length of " +
                                     std::to_string(fileLength) + " (" + Offset(8 + zs_.total_in) + ")");
  }

 private:
  z_stream zs_{};
  const std::uint8_t* in_;
  std::uint64_t in_left_;
  bool ended_ = false;
  const std::string& source_name_;
};

// Length of the header after its first 8 bytes: RECT, frame rate, frame count.
std::size_t HeaderRest(const std::uint8_t* bytes, std::size_t size) { return (size > 0 ? RectSize(bytes[0]) : 1) + 4; }

}  // namespace

void TSWFStreamReader::LoadFromBytes(const std::uint8_t* data, std::size_t size, const std::string& sourceName) {
  bool plain = size >= 4 && std::memcmp(data, "FWS", 3) == 0;
  bool packed = size >= 4 && std::memcmp(data, "CWS", 3) == 0;
  if (!plain && !packed) {
    // Named for the caller's "not an SWF movie" message.
    source_name_ = sourceName;
    IsSWF = false;
    return;
  }
  if (size < 8) ThrowFileError(sourceName, "the file ends inside the SWF header (" + std::to_string(size) + " bytes)");
  auto tooShort = [&](std::uint64_t have, std::size_t need) {
    ThrowFileError(sourceName, "the file ends inside the SWF header (" + std::to_string(8 + have) +
                                   " bytes, the header needs " + std::to_string(8 + need) + ")");
  };

  // The header after the first 8 bytes, and the tags.
  std::uint8_t header[32];
  std::size_t headerRest;
  std::vector<std::uint8_t> body;
  if (plain) {
    headerRest = HeaderRest(data + 8, size - 8);
    if (size - 8 < headerRest) tooShort(size - 8, headerRest);
    std::memcpy(header, data + 8, headerRest);
    body.assign(data + 8 + headerRest, data + size);
  } else {
    std::uint32_t fileLength = ReadLE32(data + 4);
    if (fileLength < 8)
      ThrowFileError(sourceName, "the header gives a file length of " + std::to_string(fileLength) +
                                     ", less than the header itself");
    std::uint64_t want = fileLength - 8u;
    Inflater inflater(data + 8, size - 8, sourceName);
    // The header first (at most 21 bytes), then the tags straight into the
    // body, whose buffer grows as data arrives instead of trusting the length.
    std::uint64_t got = inflater.Pull(header, std::min<std::uint64_t>(want, 21));
    if (got < std::min<std::uint64_t>(want, 21)) inflater.ThrowShort(got + 8, fileLength);
    headerRest = HeaderRest(header, got);
    if (got < headerRest) tooShort(got, headerRest);
    std::uint64_t bodyWant = want - headerRest;
    body.resize(static_cast<std::size_t>(
        std::min<std::uint64_t>(bodyWant, std::max<std::uint64_t>((size - 8) * 4, 1 << 16))));
    std::uint64_t have = got - headerRest;
    std::memcpy(body.data(), header + headerRest, have);
    while (have < bodyWant) {
      if (have == body.size()) body.resize(static_cast<std::size_t>(std::min<std::uint64_t>(bodyWant, body.size() * 2)));
      std::uint64_t pulled = inflater.Pull(body.data() + have, body.size() - have);
      have += pulled;
      if (have < body.size()) break;
    }
    if (have < bodyWant) inflater.ThrowShort(8 + headerRest + have, fileLength);
  }

  IsSWF = true;
  compressed_ = packed;
  std::memcpy(header_, data, 8);
  TBufferStream headerStream(header, headerRest);
  TBitsEngine be(headerStream);
  movie_rect_ = be.ReadRect();
  fps_ = be.ReadWord();
  FrameCount = be.ReadWord();
  body_offset_ = static_cast<std::uint32_t>(8 + headerRest);
  source_name_ = sourceName;
  tags_.clear();
  SetOwnedBody(std::make_unique<TMemoryStream>(std::move(body)));
}

void TSWFStreamReader::ParseTags(bool createObjects, bool parseActions) {
  tags_.clear();
  TMemoryStream& body = BodyStream();
  const std::uint8_t* data = std::as_const(body).Data();
  std::uint64_t size = body.Size();
  body.Seek(0);
  TBitsEngine be(body);
  std::uint16_t frame = 1;
  while (body.Position() < size) {
    DoProgress(RoundPercent(static_cast<double>(body.Position()), static_cast<double>(size)), kProgressParsing);
    if (size - body.Position() < 2) break;  // a stray last byte is no tag
    ParseTag(be, data, size, createObjects, parseActions, frame);
  }
}

namespace {

// Entries for the nested tags of a sprite read from body bytes at
// bodyStart; the nested objects stay owned by the sprite.
void FillSubTags(TSWFTagInfo& info, const std::uint8_t* body, std::uint64_t bodySize, std::uint64_t bodyStart,
                 std::uint64_t bodyLength) {
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
    sub->Position = static_cast<std::uint32_t>(at);
    sub->Length = length;
    sub->IsLongHeader = isLong;
    sub->Frame = frame;
    sub->SetObjectRef(tag);
    if (code == tag::ShowFrame) ++frame;
    std::uint64_t header = isLong ? 6 : 2;
    if (code == tag::DefineSprite) FillSubTags(*sub, body, bodySize, at + header, length);
    p = at + (p + 2 <= end ? header + length : 0);
    info.SubTags.push_back(std::move(sub));
  }
}

}  // namespace

void TSWFStreamReader::ParseTag(TBitsEngine& be, const std::uint8_t* body, std::uint64_t bodySize,
                                bool createObjects, bool parseActions, std::uint16_t& frame) {
  TStream& stream = be.Stream();
  std::uint64_t position = stream.Position();
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
  std::uint64_t bodyStart = stream.Position();
  std::uint64_t available = bodyStart <= bodySize ? bodySize - bodyStart : 0;
  TSWFTagInfo& entry = *info;
  tags_.push_back(std::move(info));

  if (createObjects) {
    bool create = true;
    if (OnCreateTag) OnCreateTag(entry, create);
    if (create) entry.SetObject(CreateTag(entry.TagID));
  }
  if (entry.TagObject && entry.Length > 0) {
    std::uint16_t code = entry.TagID;
    TSWFObject& tag = *entry.TagObject;
    if (TagNeedsReadContext(code)) tag.SetReadContext(TSWFReadContext{Version(), parseActions});
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
      raw->Description = TagName(code) + " at " + Offset(body_offset_ + position) + ": " + failure;
      raw->SetData(body + bodyStart, static_cast<std::size_t>(std::min<std::uint64_t>(entry.Length, available)));
      entry.SetObject(std::move(raw));
      entry.TagID = tag::ErrorTag;
    } else if (code == tag::DefineSprite) {
      FillSubTags(entry, body, bodySize, bodyStart, entry.Length);
    }
  }
  stream.Seek(std::min<std::uint64_t>(bodyStart + entry.Length, std::max<std::uint64_t>(bodySize, bodyStart)));
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
