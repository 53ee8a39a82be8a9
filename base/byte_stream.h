// Seekable byte streams that the bit engine, the tag objects, the SWF stream
// and the media readers read from and write to: an abstract stream, an owning memory stream
// and a read-only view over bytes that live elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace yel {

class TStream {
 public:
  virtual ~TStream() = default;
  // Copies up to n bytes to dst and returns how many there were; reading at
  // the end returns 0 and leaves dst alone.
  virtual std::size_t Read(void* dst, std::size_t n) = 0;
  // Writes n bytes at the position (growing the stream when needed).
  virtual void Write(const void* src, std::size_t n) = 0;
  // Writes n bytes that are already deflate-compressed data (the zlib
  // stream of a bitmap): a stream that compresses what it is given passes
  // them through as they are instead of compressing them again.
  virtual void WriteCompressed(const void* src, std::size_t n) { Write(src, n); }
  virtual std::uint64_t Position() const = 0;
  // Positions beyond the end are allowed; reads there return nothing.
  virtual void Seek(std::uint64_t position) = 0;
  virtual std::uint64_t Size() const = 0;

  std::uint64_t Remaining() const {
    return Position() < Size() ? Size() - Position() : 0;
  }
  // Copies n bytes (or up to the end when n is -1) from source's position.
  // Returns the number copied.
  std::uint64_t CopyFrom(TStream& source, std::int64_t n = -1);
};

// Growable stream over a byte vector. The bytes can be shared with readers
// (Share): the stream then copies them before its next change, so what was
// shared stays as it was.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() : bytes_(std::make_shared<std::vector<std::uint8_t>>()) {}
  explicit TMemoryStream(std::vector<std::uint8_t> bytes)
      : bytes_(std::make_shared<std::vector<std::uint8_t>>(std::move(bytes))) {}
  TMemoryStream(TMemoryStream&& other) noexcept;
  TMemoryStream& operator=(TMemoryStream&& other) noexcept;

  std::size_t Read(void* dst, std::size_t n) override;
  void Write(const void* src, std::size_t n) override;
  std::uint64_t Position() const override { return position_; }
  void Seek(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return bytes_->size(); }

  void WriteByte(std::uint8_t b) {
    if (position_ == bytes_->size() && bytes_.use_count() == 1) {
      bytes_->push_back(b);
      ++position_;
    } else {
      Write(&b, 1);
    }
  }
  const std::uint8_t* Data() const { return bytes_->data(); }
  // Writable access; unshares the bytes first.
  std::uint8_t* Data() {
    Unshare();
    return bytes_->data();
  }
  const std::vector<std::uint8_t>& Bytes() const { return *bytes_; }
  // Hands the bytes over and leaves the stream empty.
  std::vector<std::uint8_t> TakeBytes();
  // Keeps the present bytes alive, unchanged, for as long as the result lives.
  std::shared_ptr<const void> Share() const { return bytes_; }
  void Reserve(std::size_t n) {
    Unshare();
    bytes_->reserve(n);
  }
  void Clear();

 private:
  void Unshare();
  std::shared_ptr<std::vector<std::uint8_t>> bytes_;
  std::uint64_t position_ = 0;
};

// Read-only stream over bytes owned by someone else; they must outlive it,
// or owner keeps them alive. Writing throws.
class TBufferStream : public TStream {
 public:
  TBufferStream(const std::uint8_t* data, std::size_t size, std::shared_ptr<const void> owner = nullptr)
      : data_(data), size_(size), owner_(std::move(owner)) {}

  std::size_t Read(void* dst, std::size_t n) override;
  void Write(const void* src, std::size_t n) override;
  std::uint64_t Position() const override { return position_; }
  void Seek(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return size_; }
  const std::uint8_t* Data() const { return data_; }
  // What keeps the bytes alive, when known.
  const std::shared_ptr<const void>& Owner() const { return owner_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::shared_ptr<const void> owner_;
  std::uint64_t position_ = 0;
};

// Counts the bytes written to it and keeps none: the length of what would be
// written, found without holding it.
class TCountingStream : public TStream {
 public:
  std::size_t Read(void*, std::size_t) override;
  void Write(const void*, std::size_t n) override {
    position_ += n;
    if (position_ > size_) size_ = position_;
  }
  std::uint64_t Position() const override { return position_; }
  void Seek(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return size_; }

 private:
  std::uint64_t position_ = 0, size_ = 0;
};

}  // namespace yel
