// The header of an SWF file and its body (the tag sequence), read front to
// back from a file or from bytes in memory. A compressed ("CWS") body is
// inflated piece by piece as it is read, so neither the file nor the whole
// body has to be in memory at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "swf/format/swf_records.h"

namespace yel {
class FileReader;
}

namespace yel::swf {

class TSWFBodyReader {
 public:
  // Reads the file's header. A file that does not start like an SWF file is
  // read no further (IsSWF is false). Errors throw Error naming the file.
  explicit TSWFBodyReader(const std::string& fileName);
  // The same over bytes that outlive the reader; sourceName names them in
  // errors.
  TSWFBodyReader(const std::uint8_t* data, std::size_t size, const std::string& sourceName);
  ~TSWFBodyReader();
  TSWFBodyReader(const TSWFBodyReader&) = delete;
  TSWFBodyReader& operator=(const TSWFBodyReader&) = delete;

  bool IsSWF() const { return is_swf_; }
  bool Compressed() const { return compressed_; }
  const std::string& SourceName() const { return source_name_; }
  // The first 8 bytes: signature, version and file length.
  const std::uint8_t* Start() const { return start_; }
  std::string Signature() const { return std::string(reinterpret_cast<const char*>(start_), 3); }
  std::uint8_t Version() const { return start_[3]; }
  std::uint32_t FileLength() const;
  // The rest of the header.
  const TRect& MovieRect() const { return movie_rect_; }
  std::uint16_t FPSWord() const { return fps_; }
  float FPS() const;
  std::uint16_t FrameCount() const { return frame_count_; }
  // Length of the header in the file.
  std::uint32_t BodyOffset() const { return static_cast<std::uint32_t>(8 + header_rest_); }
  // Size of the file or of the bytes.
  std::uint64_t InputSize() const { return input_size_; }
  // Length of the body: the rest of an uncompressed file; for a compressed
  // one what the header's file length leaves, which reading checks.
  std::uint64_t BodySize() const { return body_size_; }
  // Bytes of the body read so far.
  std::uint64_t Position() const { return position_; }

  // What reading a movie may take, in proportion to its file: the part of a
  // compressed body held in memory is at most 64 MB plus 256 times the
  // file's size (zlib could give over 1000 times), and a movie holds at most
  // 262,144 tags plus one for each byte of its file (sprites' tags
  // included). Past either limit a read throws, so that a tiny file cannot
  // take gigabytes of memory.
  static constexpr std::uint64_t kBaseBodyBytes = 64u << 20;
  static constexpr std::uint64_t kBodyBytesPerInputByte = 256;
  static constexpr std::uint64_t kBaseTagCount = 1u << 18;
  std::uint64_t MaxBodySize() const;
  std::uint64_t MaxTagCount() const;
  // Throws Error naming the file when a reader would hold more than
  // MaxBodySize bytes of a compressed body (reading through costs nothing).
  void CheckHeld(std::uint64_t bytes) const;

  // Reads the next min(n, BodySize() - Position()) bytes of the body into
  // dst and returns their number. Compressed data that is damaged, or ends
  // before the body does, throws.
  std::uint64_t Read(std::uint8_t* dst, std::uint64_t n);

 private:
  void Open();
  // Up to n bytes of input for an uncompressed body.
  std::size_t Input(std::uint8_t* dst, std::size_t n);
  // Up to n inflated bytes; fewer only when the compressed data ended or
  // the input ran out.
  std::uint64_t Inflate(std::uint8_t* dst, std::uint64_t n);
  // Takes the next piece of input for inflating; false at its end.
  bool Refill();
  // Reads on after the body's last byte while no output is needed.
  void Finish();
  [[noreturn]] void ThrowDamaged(int ret);
  [[noreturn]] void ThrowShort(std::uint64_t movieBytes);
  [[noreturn]] void ThrowHeaderShort(std::uint64_t have, std::size_t need);

  std::string source_name_;
  std::unique_ptr<FileReader> file_;
  const std::uint8_t* data_ = nullptr;  // input in memory, when not a file
  std::uint64_t input_size_ = 0;
  std::uint64_t input_position_ = 0;
  std::unique_ptr<std::uint8_t[]> input_buffer_;  // file input for inflating

  bool is_swf_ = false;
  bool compressed_ = false;
  std::uint8_t start_[8] = {};
  TRect movie_rect_;
  std::uint16_t fps_ = 0;
  std::uint16_t frame_count_ = 0;
  std::size_t header_rest_ = 0;
  std::uint64_t body_size_ = 0;
  std::uint64_t position_ = 0;
  // Body bytes read with the header, given out first.
  std::uint8_t carried_[32] = {};
  std::size_t carried_at_ = 0, carried_end_ = 0;

  struct Inflater;
  std::unique_ptr<Inflater> inflater_;
  bool ended_ = false;
};

}  // namespace yel::swf
