// Reading an SWF file's header and body front to back, inflating a
// compressed body as it goes.
#include "swf/format/swf_body_reader.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/byte_stream.h"
#include "base/error.h"
#include "base/files.h"
#include "swf/format/bits_engine.h"

namespace yel::swf {
namespace {

// File input is read in pieces of this size to be inflated.
constexpr std::size_t kInputBuffer = 256 * 1024;

// Length of the header after its first 8 bytes (RECT, frame rate, frame
// count) as far as the given bytes tell: a RECT needs 5 bits for its field
// width, then four fields of that width.
std::size_t HeaderRest(const std::uint8_t* bytes, std::size_t size) {
  const std::size_t rect = size > 0 ? (5 + 4 * (bytes[0] >> 3) + 7) / 8 : 1;
  return rect + 4;
}

std::string Offset(std::uint64_t offset) { return "offset " + std::to_string(offset); }

}  // namespace

struct TSWFBodyReader::Inflater {
  z_stream zs{};
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&zs);
  }
};

TSWFBodyReader::TSWFBodyReader(const std::string& fileName)
    : source_name_(fileName), file_(std::make_unique<FileReader>(fileName)) {
  input_size_ = file_->Size();
  Open();
}

TSWFBodyReader::TSWFBodyReader(const std::uint8_t* data, std::size_t size, const std::string& sourceName)
    : source_name_(sourceName), data_(data), input_size_(size) {
  Open();
}

TSWFBodyReader::~TSWFBodyReader() = default;

std::uint32_t TSWFBodyReader::FileLength() const {
  return start_[4] | (start_[5] << 8) | (start_[6] << 16) | (static_cast<std::uint32_t>(start_[7]) << 24);
}

float TSWFBodyReader::FPS() const { return Fixed8ToFloat(fps_); }

void TSWFBodyReader::Open() {
  std::uint8_t first[8];
  const std::size_t got = Input(first, sizeof first);
  const bool plain = got >= 4 && std::memcmp(first, "FWS", 3) == 0;
  const bool packed = got >= 4 && std::memcmp(first, "CWS", 3) == 0;
  is_swf_ = plain || packed;
  if (!is_swf_) return;
  if (got < 8) ThrowFileError(source_name_, "the file ends inside the SWF header (" + std::to_string(got) + " bytes)");
  std::memcpy(start_, first, 8);
  compressed_ = packed;

  // The rest of the header is at most 21 bytes; what came with it beyond
  // its end belongs to the body.
  std::uint8_t header[21];
  std::size_t have;
  if (plain) {
    have = Input(header, sizeof header);
    header_rest_ = HeaderRest(header, have);
    if (have < header_rest_) ThrowHeaderShort(have, header_rest_);
    input_size_ = std::max<std::uint64_t>(input_size_, 8 + have);  // a file that grew since it was opened
    body_size_ = input_size_ - 8 - header_rest_;
  } else {
    const std::uint32_t fileLength = FileLength();
    if (fileLength < 8)
      ThrowFileError(source_name_, "the header gives a file length of " + std::to_string(fileLength) +
                                       ", less than the header itself");
    inflater_ = std::make_unique<Inflater>();
    if (inflateInit(&inflater_->zs) != Z_OK) ThrowFileError(source_name_, "cannot start the zlib decompressor");
    inflater_->ready = true;
    const std::uint64_t want = fileLength - 8u;
    const std::uint64_t headerWant = std::min<std::uint64_t>(want, sizeof header);
    have = static_cast<std::size_t>(Inflate(header, headerWant));
    if (have < headerWant) ThrowShort(8 + have);
    header_rest_ = HeaderRest(header, have);
    if (have < header_rest_) ThrowHeaderShort(have, header_rest_);
    body_size_ = want - header_rest_;
    if (headerWant == want) Finish();  // the whole body came with the header
  }
  carried_end_ = have - header_rest_;
  std::memcpy(carried_, header + header_rest_, carried_end_);

  TBufferStream headerStream(header, header_rest_);
  TBitsEngine be(headerStream);
  movie_rect_ = be.ReadRect();
  fps_ = be.ReadWord();
  frame_count_ = be.ReadWord();
}

std::uint64_t TSWFBodyReader::MaxBodySize() const { return kBaseBodyBytes + kBodyBytesPerInputByte * input_size_; }

std::uint64_t TSWFBodyReader::MaxTagCount() const { return kBaseTagCount + input_size_; }

void TSWFBodyReader::CheckHeld(std::uint64_t bytes) const {
  if (!compressed_ || bytes <= MaxBodySize()) return;
  ThrowFileError(source_name_, "the compressed movie unpacks to more than " + std::to_string(MaxBodySize()) +
                                   " bytes to be held (the header gives " + std::to_string(FileLength()) + ") from " +
                                   std::to_string(input_size_) +
                                   " bytes of file; a movie may unpack to 64 MB plus 256 times its file size");
}

std::uint64_t TSWFBodyReader::Read(std::uint8_t* dst, std::uint64_t n) {
  const std::uint64_t take = std::min(n, body_size_ - position_);
  const std::size_t carried = static_cast<std::size_t>(std::min<std::uint64_t>(take, carried_end_ - carried_at_));
  if (carried > 0) std::memcpy(dst, carried_ + carried_at_, carried);
  carried_at_ += carried;
  const std::uint64_t rest = take - carried;
  if (rest > 0) {
    if (compressed_) {
      const std::uint64_t got = Inflate(dst + carried, rest);
      if (got < rest) ThrowShort(BodyOffset() + position_ + carried + got);
      if (position_ + take == body_size_) Finish();
    } else if (Input(dst + carried, static_cast<std::size_t>(rest)) < rest) {
      ThrowFileError(source_name_, "the file got shorter while it was read");
    }
  }
  position_ += take;
  return take;
}

void TSWFBodyReader::Finish() {
  // What follows the body's last byte and needs no room for output: the end
  // of the last block and the checksum, which is checked. Data beyond the
  // length the header gives is left alone.
  z_stream& zs = inflater_->zs;
  std::uint8_t none;
  while (!ended_) {
    if (zs.avail_in == 0 && !Refill()) return;
    zs.next_out = &none;
    zs.avail_out = 0;
    const int ret = inflate(&zs, Z_NO_FLUSH);
    if (ret == Z_STREAM_END) {
      ended_ = true;
    } else if (ret != Z_OK && ret != Z_BUF_ERROR) {
      ThrowDamaged(ret);
    } else if (zs.avail_in > 0) {
      return;  // more output would come
    }
  }
}

std::size_t TSWFBodyReader::Input(std::uint8_t* dst, std::size_t n) {
  std::size_t got;
  if (file_) {
    got = file_->Read(dst, n);
  } else {
    got = static_cast<std::size_t>(std::min<std::uint64_t>(n, input_size_ - std::min(input_position_, input_size_)));
    if (got > 0) std::memcpy(dst, data_ + input_position_, got);
  }
  input_position_ += got;
  return got;
}

bool TSWFBodyReader::Refill() {
  z_stream& zs = inflater_->zs;
  if (file_) {
    // A file's bytes through a buffer.
    if (!input_buffer_) input_buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kInputBuffer);
    zs.next_in = input_buffer_.get();
    zs.avail_in = static_cast<uInt>(Input(input_buffer_.get(), kInputBuffer));
  } else if (input_position_ < input_size_) {
    // Bytes in memory are inflated where they are.
    const auto chunk = static_cast<uInt>(std::min<std::uint64_t>(input_size_ - input_position_, UINT_MAX / 2));
    zs.next_in = const_cast<Bytef*>(data_ + input_position_);
    zs.avail_in = chunk;
    input_position_ += chunk;
  }
  return zs.avail_in > 0;
}

std::uint64_t TSWFBodyReader::Inflate(std::uint8_t* dst, std::uint64_t n) {
  z_stream& zs = inflater_->zs;
  std::uint64_t produced = 0;
  while (produced < n && !ended_) {
    if (zs.avail_in == 0) Refill();
    zs.next_out = dst + produced;
    zs.avail_out = static_cast<uInt>(std::min<std::uint64_t>(n - produced, UINT_MAX / 2));
    const uInt before = zs.avail_out;
    const int ret = inflate(&zs, Z_NO_FLUSH);
    produced += before - zs.avail_out;
    if (ret == Z_STREAM_END) {
      ended_ = true;
    } else if (ret == Z_BUF_ERROR && zs.avail_in == 0) {
      break;  // the input ran out
    } else if (ret != Z_OK && ret != Z_BUF_ERROR) {
      ThrowDamaged(ret);
    }
  }
  return produced;
}

void TSWFBodyReader::ThrowDamaged(int ret) {
  const z_stream& zs = inflater_->zs;
  ThrowFileError(source_name_, "damaged compressed data at " + Offset(8 + zs.total_in) + ": " +
                                   (zs.msg ? zs.msg : "zlib error " + std::to_string(ret)));
}

void TSWFBodyReader::ThrowShort(std::uint64_t movieBytes) {
  ThrowFileError(source_name_,
                 std::string(ended_ ? "the compressed data holds " : "the compressed data is cut off after ") +
                     std::to_string(movieBytes) + " bytes of movie, but the header gives a file length of " +
                     std::to_string(FileLength()) + " (" + Offset(8 + inflater_->zs.total_in) + ")");
}

void TSWFBodyReader::ThrowHeaderShort(std::uint64_t have, std::size_t need) {
  ThrowFileError(source_name_, "the file ends inside the SWF header (" + std::to_string(8 + have) +
                                   " bytes, the header needs " + std::to_string(8 + need) + ")");
}

}  // namespace yel::swf
