// Bit packing and the little-endian integer fields of BitStream.
#include "base/bit_stream.h"

#include <algorithm>

namespace yel {

// --- writing

void BitStream::EmitBytes(std::uint64_t acc, unsigned bytes) {
  std::uint8_t out[5];
  for (unsigned i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(acc >> (8 * (bytes - 1 - i)));
  stream_.Write(out, bytes);
}

void BitStream::WriteBits(std::uint32_t value, unsigned n) {
  if (n == 0) return;
  if (n > 32) n = 32;
  std::uint64_t v = n == 32 ? value : (value & ((1u << n) - 1));
  unsigned total = count_ + n;
  unsigned bytes = total / 8;
  if (bytes == 0) {
    buffer_ = static_cast<std::uint8_t>((buffer_ << n) | v);
    count_ = static_cast<std::uint8_t>(total);
    return;
  }
  unsigned rem = total % 8;
  std::uint64_t acc;
  if (rem == 0) {
    acc = (static_cast<std::uint64_t>(buffer_) << n) + v;
    buffer_ = 0;
    count_ = 0;
  } else {
    acc = (static_cast<std::uint64_t>(buffer_) << (n - rem)) + (v >> rem);
    count_ = static_cast<std::uint8_t>(rem);
    buffer_ = static_cast<std::uint8_t>(v & ((1u << rem) - 1));
  }
  EmitBytes(acc, bytes);
}

void BitStream::FlushLastByte(bool pad) {
  if (count_ > 0 && pad) WriteBits(0, 8 - count_);
  buffer_ = 0;
  count_ = 0;
}

void BitStream::WriteByte(std::uint8_t b) {
  if (count_ > 0) {
    WriteBits(b, 8);
  } else {
    stream_.Write(&b, 1);
  }
}

void BitStream::WriteWord(std::uint16_t w) {
  FlushLastByte(true);
  std::uint8_t out[2] = {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8)};
  stream_.Write(out, 2);
}

void BitStream::WriteDWord(std::uint32_t d) {
  FlushLastByte(true);
  std::uint8_t out[4] = {static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(d >> 8),
                         static_cast<std::uint8_t>(d >> 16), static_cast<std::uint8_t>(d >> 24)};
  stream_.Write(out, 4);
}

void BitStream::WriteBytes(const void* buffer, std::size_t length, bool addNul) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  if (count_ == 0) {
    // At a byte boundary every byte would go straight to the stream anyway.
    if (length > 0) stream_.Write(bytes, length);
  } else {
    for (std::size_t i = 0; i < length; ++i) WriteByte(bytes[i]);
  }
  if (addNul) WriteByte(0);
}

// --- reading

std::size_t BitStream::ReadBytes(void* dst, std::size_t n) { return stream_.Read(dst, n); }

std::uint32_t BitStream::ReadBits(int n) {
  if (n <= 0) return 0;
  // A field wider than 32 bits still takes all its bits from the stream, so
  // the fields after it are read where they are; its value keeps the low 32.
  while (n > 32) {
    const int skip = n - 32 < 24 ? n - 32 : 24;
    ReadBits(skip);
    n -= skip;
  }
  std::uint64_t result = 0;
  int left = count_;
  std::uint32_t buffer = buffer_;
  while (n > left) {
    result |= static_cast<std::uint64_t>(buffer) << (n - left);
    n -= left;
    std::uint8_t next = 0;
    stream_.Read(&next, 1);
    buffer = next;
    left = 8;
  }
  result |= buffer >> (left - n);
  left -= n;
  buffer_ = static_cast<std::uint8_t>(buffer & ((1u << left) - 1));
  count_ = static_cast<std::uint8_t>(left);
  return static_cast<std::uint32_t>(result);
}

std::int32_t BitStream::ReadSBits(int n) {
  std::uint32_t v = ReadBits(n);
  if (n <= 0) return 0;
  if (n < 32 && (v >> (n - 1)) & 1u) v |= ~0u << n;
  return static_cast<std::int32_t>(v);
}

std::uint8_t BitStream::ReadByte() {
  std::uint8_t b = 0;
  stream_.Read(&b, 1);
  return b;
}

std::uint16_t BitStream::ReadWord() {
  std::uint8_t b[2] = {0, 0};
  stream_.Read(b, 2);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t BitStream::ReadDWord() { return ReadNBytes(4); }

std::uint16_t BitStream::ReadWordBE() {
  std::uint8_t b[2] = {0, 0};
  stream_.Read(b, 2);
  return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}

std::uint32_t BitStream::ReadNBytes(int n) {
  std::uint8_t b[4] = {0, 0, 0, 0};
  int take = std::clamp(n, 0, 4);
  stream_.Read(b, take);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

}  // namespace yel
