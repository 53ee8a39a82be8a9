// Memory-backed and counting byte streams.
#include "base/byte_stream.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace yel {

std::uint64_t TStream::CopyFrom(TStream& source, std::int64_t n) {
  std::uint64_t want = n < 0 ? source.Remaining() : static_cast<std::uint64_t>(n);
  std::uint64_t copied = 0;
  if (auto* memory = dynamic_cast<TMemoryStream*>(&source)) {
    // Straight from the source's buffer, no intermediate chunk.
    std::uint64_t take = std::min(want, memory->Remaining());
    if (take > 0) Write(std::as_const(*memory).Data() + memory->Position(), take);
    memory->Seek(memory->Position() + take);
    return take;
  }
  if (auto* view = dynamic_cast<TBufferStream*>(&source)) {
    std::uint64_t take = std::min(want, view->Remaining());
    if (take > 0) Write(view->Data() + view->Position(), take);
    view->Seek(view->Position() + take);
    return take;
  }
  std::uint8_t chunk[65536];
  while (copied < want) {
    std::size_t got = source.Read(chunk, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, want - copied)));
    if (got == 0) break;
    Write(chunk, got);
    copied += got;
  }
  return copied;
}

TMemoryStream::TMemoryStream(TMemoryStream&& other) noexcept
    : bytes_(std::exchange(other.bytes_, std::make_shared<std::vector<std::uint8_t>>())),
      position_(std::exchange(other.position_, 0)) {}

TMemoryStream& TMemoryStream::operator=(TMemoryStream&& other) noexcept {
  if (this != &other) {
    bytes_ = std::exchange(other.bytes_, std::make_shared<std::vector<std::uint8_t>>());
    position_ = std::exchange(other.position_, 0);
  }
  return *this;
}

void TMemoryStream::Unshare() {
  if (bytes_.use_count() > 1) bytes_ = std::make_shared<std::vector<std::uint8_t>>(*bytes_);
}

std::size_t TMemoryStream::Read(void* dst, std::size_t n) {
  if (position_ >= bytes_->size()) return 0;
  std::size_t take = std::min<std::uint64_t>(n, bytes_->size() - position_);
  if (take > 0) std::memcpy(dst, bytes_->data() + position_, take);
  position_ += take;
  return take;
}

void TMemoryStream::Write(const void* src, std::size_t n) {
  if (n == 0) return;
  Unshare();
  std::uint64_t end = position_ + n;
  if (end > bytes_->size()) bytes_->resize(end);
  std::memcpy(bytes_->data() + position_, src, n);
  position_ = end;
}

std::vector<std::uint8_t> TMemoryStream::TakeBytes() {
  Unshare();
  std::vector<std::uint8_t> out;
  out.swap(*bytes_);
  position_ = 0;
  return out;
}

void TMemoryStream::Clear() {
  if (bytes_.use_count() > 1) {
    bytes_ = std::make_shared<std::vector<std::uint8_t>>();
  } else {
    bytes_->clear();
  }
  position_ = 0;
}

std::size_t TBufferStream::Read(void* dst, std::size_t n) {
  if (position_ >= size_) return 0;
  std::size_t take = std::min<std::uint64_t>(n, size_ - position_);
  if (take > 0) std::memcpy(dst, data_ + position_, take);
  position_ += take;
  return take;
}

void TBufferStream::Write(const void*, std::size_t) {
  throw std::logic_error("write to a read-only byte stream");
}

std::size_t TCountingStream::Read(void*, std::size_t) {
  throw std::logic_error("read from a stream that only counts");
}

}  // namespace yel
