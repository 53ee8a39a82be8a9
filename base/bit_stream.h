// BitStream: bit-packed fields (most significant bit first) and byte-aligned
// little-endian integers over a byte stream it does not own. TBitsEngine adds
// the SWF records on top; the media readers write sound data through it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_stream.h"

namespace yel {

class BitStream {
 public:
  explicit BitStream(TStream& stream) : stream_(stream) {}
  BitStream(const BitStream&) = delete;
  BitStream& operator=(const BitStream&) = delete;

  TStream& Stream() { return stream_; }
  std::uint8_t BitBuffer() const { return buffer_; }
  std::uint8_t BitCount() const { return count_; }

  // --- writing
  // Appends the n (0..32) low bits of value, most significant first.
  void WriteBits(std::uint32_t value, unsigned n);
  void WriteBits16(std::uint16_t value, unsigned n) { WriteBits(value, n); }
  void WriteBits8(std::uint8_t value, unsigned n) { WriteBits(value, n); }
  void WriteBit(std::uint8_t flag) { WriteBits(flag & 1u, 1); }
  // Pending bits are padded with zeros into one byte (pad) or dropped.
  void FlushLastByte(bool pad = true);
  void WriteByte(std::uint8_t b);
  void WriteWord(std::uint16_t w);
  void WriteDWord(std::uint32_t d);
  void WriteUDWord(std::uint32_t d) { WriteDWord(d); }
  void WriteBytes(const void* buffer, std::size_t length, bool addNul = false);

  // --- reading; past the end of the stream every read yields zeros
  std::uint32_t ReadBits(int n);
  std::int32_t ReadSBits(int n);
  std::uint8_t ReadByte();
  std::uint16_t ReadWord();
  std::uint32_t ReadDWord();
  std::uint16_t ReadWordBE();
  std::uint32_t ReadNBytes(int n);
  // Up to n bytes into dst; returns how many the stream had.
  std::size_t ReadBytes(void* dst, std::size_t n);

 protected:
  TStream& stream_;

 private:
  void EmitBytes(std::uint64_t acc, unsigned bytes);

  std::uint8_t buffer_ = 0;
  std::uint8_t count_ = 0;
};

}  // namespace yel
