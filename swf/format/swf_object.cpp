// Tag header rule, data-carrying tags and the raw tag.
#include "swf/format/swf_object.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "swf/format/tag_factory.h"

namespace yel::swf {
namespace {

// Tags always written with the long header form, whatever their length.
bool AlwaysLongHeader(std::uint16_t code) {
  return code == tag::DefineBitsLossless || code == tag::DefineBitsLossless2 || code == tag::DefineVideoStream;
}

}  // namespace

void WriteTagHeader(TStream& destination, std::uint16_t code, std::uint64_t bodySize, bool forceLong) {
  if (bodySize > 0xFFFFFFFFu) throw std::length_error("tag body larger than 4 GB");
  std::uint8_t out[6];
  if (forceLong || bodySize >= 63 || AlwaysLongHeader(code)) {
    std::uint16_t word = static_cast<std::uint16_t>(code * 64 + 63);
    auto len = static_cast<std::uint32_t>(bodySize);
    out[0] = static_cast<std::uint8_t>(word);
    out[1] = static_cast<std::uint8_t>(word >> 8);
    out[2] = static_cast<std::uint8_t>(len);
    out[3] = static_cast<std::uint8_t>(len >> 8);
    out[4] = static_cast<std::uint8_t>(len >> 16);
    out[5] = static_cast<std::uint8_t>(len >> 24);
    destination.Write(out, 6);
  } else {
    std::uint16_t word = static_cast<std::uint16_t>(code * 64 + bodySize);
    out[0] = static_cast<std::uint8_t>(word);
    out[1] = static_cast<std::uint8_t>(word >> 8);
    destination.Write(out, 2);
  }
}

std::uint64_t GetFullSize(std::uint32_t bodySize) {
  return static_cast<std::uint64_t>(bodySize) + 2 + (bodySize >= 63 ? 4 : 0);
}

void WriteRawTag(TStream& destination, std::uint16_t code, TStream& data, std::uint64_t size) {
  if (size == 0) size = data.Remaining();
  size = std::min(size, data.Remaining());
  WriteTagHeader(destination, code, size, false);
  destination.CopyFrom(data, static_cast<std::int64_t>(size));
}

// --- TSWFObject

void TSWFObject::Assign(const TBasedSWFObject& source) {
  BodySize = AssignSource<TSWFObject>(source).BodySize;
}

void TSWFObject::ReadFromStream(TBitsEngine&) {}
void TSWFObject::WriteTagBody(TBitsEngine&) {}
void TSWFObject::SetReadContext(const TSWFReadContext&) {}

void TSWFObject::WriteToStream(TBitsEngine& be) {
  // The header word goes straight to the stream, so no bits may be pending.
  be.FlushLastByte(true);
  if (TagID == tag::End || TagID == tag::ShowFrame) {
    BodySize = 0;
    WriteTagHeader(be.Stream(), TagID, 0, false);
    return;
  }
  TMemoryStream body;
  {
    TBitsEngine bodyEngine(body);
    WriteTagBody(bodyEngine);
    bodyEngine.FlushLastByte(true);
  }
  if (body.Size() > 0xFFFFFFFFu) throw std::length_error("tag body larger than 4 GB");
  BodySize = static_cast<std::uint32_t>(body.Size());
  WriteTagHeader(be.Stream(), HeaderCode(), BodySize, false);
  if (BodySize > 0) be.Stream().Write(body.Data(), BodySize);
}

// --- TSWFDataObject

void TSWFDataObject::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& src = AssignSource<TSWFDataObject>(source);
  if (src.OnDataWrite) {
    OnDataWrite = src.OnDataWrite;
  } else {
    OnDataWrite = nullptr;
    // A copy always owns its bytes, so it never outlives borrowed ones.
    SetData(src.data_, src.size_);
  }
}

void TSWFDataObject::SetData(const void* data, std::size_t size) {
  ClearData();
  if (size == 0) return;
  owned_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
  std::memcpy(owned_.get(), data, size);
  data_ = owned_.get();
  size_ = size;
}

void TSWFDataObject::SetData(std::vector<std::uint8_t> bytes) { SetData(bytes.data(), bytes.size()); }

void TSWFDataObject::SetDataRef(const std::uint8_t* data, std::size_t size) {
  ClearData();
  data_ = data;
  size_ = data ? size : 0;
}

void TSWFDataObject::SetSharedData(std::shared_ptr<const void> owner, const std::uint8_t* data, std::size_t size) {
  ClearData();
  if (!data || size == 0) return;
  shared_ = std::move(owner);
  data_ = data;
  size_ = size;
}

void TSWFDataObject::ReadData(TBitsEngine& be, std::size_t size) {
  ClearData();
  std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(size, be.Stream().Remaining()));
  if (take == 0) return;
  if (auto* view = dynamic_cast<TBufferStream*>(&be.Stream()); view && view->Owner()) {
    SetSharedData(view->Owner(), view->Data() + view->Position(), take);
    view->Seek(view->Position() + take);
    return;
  }
  owned_ = std::make_unique_for_overwrite<std::uint8_t[]>(take);
  size_ = be.ReadBytes(owned_.get(), take);
  data_ = owned_.get();
}

void TSWFDataObject::ClearData() {
  owned_.reset();
  shared_.reset();
  data_ = nullptr;
  size_ = 0;
}

void TSWFDataObject::WriteData(TBitsEngine& be) {
  if (OnDataWrite) {
    OnDataWrite(*this, be);
  } else if (size_ > 0) {
    be.WriteBytes(data_, size_);
  }
}

// --- TSWFByteCodeTag

void TSWFByteCodeTag::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  const auto& src = AssignSource<TSWFByteCodeTag>(source);
  TagCode = src.TagCode;
  Description = src.Description;
}

void TSWFByteCodeTag::ReadFromStream(TBitsEngine& be) { ReadData(be, BodySize); }

void TSWFByteCodeTag::WriteTagBody(TBitsEngine& be) { WriteData(be); }

std::string TSWFByteCodeTag::Summary() const {
  std::string text = "raw " + std::to_string(DataSize()) + " bytes";
  if (!Description.empty()) text += ", " + Description;
  return text;
}

}  // namespace yel::swf

namespace yel::swf {

void ReadTagBody(TBitsEngine& be, TSWFObject& tag, std::uint32_t length) {
  TStream& stream = be.Stream();
  std::uint64_t start = stream.Position();
  auto take = static_cast<std::size_t>(std::min<std::uint64_t>(length, stream.Remaining()));
  const std::uint8_t* base = nullptr;
  std::shared_ptr<const void> owner;
  if (auto* memory = dynamic_cast<TMemoryStream*>(&stream)) {
    base = std::as_const(*memory).Data();
    owner = memory->Share();
  }
  if (auto* view = dynamic_cast<TBufferStream*>(&stream)) {
    base = view->Data();
    owner = view->Owner();
  }
  if (base) {
    // Raw bodies read through this view share the bytes instead of copying.
    TBufferStream body(base + start, take, owner);
    TBitsEngine bodyEngine(body);
    tag.ReadFromStream(bodyEngine);
  } else {
    std::vector<std::uint8_t> copy(take);
    stream.Read(copy.data(), take);
    TBufferStream body(copy.data(), copy.size());
    TBitsEngine bodyEngine(body);
    tag.ReadFromStream(bodyEngine);
  }
  stream.Seek(start + take);
}

}  // namespace yel::swf
