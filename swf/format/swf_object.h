// The roots of the SWF object model: TBasedSWFObject (shared with the movie
// builder), TSWFObject (one class per tag kind, with the tag header rule),
// TSWFDataObject (tags that carry an opaque byte buffer) and TSWFByteCodeTag,
// the raw tag that stands for any tag not decoded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "swf/format/bits_engine.h"
#include "swf/format/tag_codes.h"

namespace yel::swf {

class TBasedSWFObject {
 public:
  virtual ~TBasedSWFObject() = default;
  // Copies every field from source, which must be of the same class.
  virtual void Assign(const TBasedSWFObject& source) = 0;
  // 0 for tag records, 1 for builder objects.
  virtual int LibraryLevel() const = 0;
  // Lowest SWF version that knows this object.
  virtual int MinVersion() const { return 1; }
  virtual void WriteToStream(TBitsEngine& be) = 0;
};

// What a tag reader may need to know about the file it reads.
struct TSWFReadContext {
  std::uint8_t Version = 5;
  bool ParseActions = true;
};

class TSWFObject : public TBasedSWFObject {
 public:
  void Assign(const TBasedSWFObject& source) override;
  int LibraryLevel() const override { return 0; }
  // Writes header and body: the long header when the body has 63 bytes or
  // more, and always for DefineBitsLossless, DefineBitsLossless2 and
  // DefineVideoStream.
  void WriteToStream(TBitsEngine& be) override;
  // Decodes the body; BodySize has been set by the caller.
  virtual void ReadFromStream(TBitsEngine& be);
  // Encodes the body only.
  virtual void WriteTagBody(TBitsEngine& be);
  // Takes the reading context of the file (version, action parsing).
  virtual void SetReadContext(const TSWFReadContext& context);
  // One line describing the fields, for listings such as yel dump.
  virtual std::string Summary() const { return {}; }

  std::uint32_t BodySize = 0;
  std::uint16_t TagID = 0;

 protected:
  explicit TSWFObject(std::uint16_t tagId) : TagID(tagId) {}
  // The code written into the header (the raw tag writes its TagCode).
  virtual std::uint16_t HeaderCode() const { return TagID; }
};

// Casts the source of an Assign to the class being assigned to; a source of
// another class is a programming error and throws.
template <class T>
const T& AssignSource(const TBasedSWFObject& source) {
  const T* typed = dynamic_cast<const T*>(&source);
  if (!typed) throw std::logic_error("Assign from an object of another class");
  return *typed;
}

class TSWFDataObject : public TSWFObject {
 public:
  // Writes the tag's data itself when the body is encoded, in place of Data.
  using DataWriter = std::function<void(TSWFDataObject& sender, TBitsEngine& be)>;

  void Assign(const TBasedSWFObject& source) override;

  const std::uint8_t* Data() const { return data_; }
  std::size_t DataSize() const { return size_; }
  bool OwnsData() const { return data_ != nullptr && (owned_.get() == data_ || shared_ != nullptr); }
  // Takes a copy of the bytes.
  void SetData(const void* data, std::size_t size);
  void SetData(std::vector<std::uint8_t> bytes);
  // Refers to bytes owned elsewhere, which must outlive this object.
  void SetDataRef(const std::uint8_t* data, std::size_t size);
  // Refers to bytes that owner keeps alive; the object holds on to owner.
  void SetSharedData(std::shared_ptr<const void> owner, const std::uint8_t* data, std::size_t size);
  // Reads up to size bytes from the engine's stream, never allocating more
  // than the stream holds; bytes of a stream with a known owner are shared
  // instead of copied.
  void ReadData(TBitsEngine& be, std::size_t size);
  void ClearData();

  DataWriter OnDataWrite;

 protected:
  explicit TSWFDataObject(std::uint16_t tagId) : TSWFObject(tagId) {}
  // Writes OnDataWrite's output, or else Data.
  void WriteData(TBitsEngine& be);

 private:
  std::unique_ptr<std::uint8_t[]> owned_;
  std::shared_ptr<const void> shared_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Raw tag: keeps the body bytes of a tag under the code it is written with.
// Reading failures are kept as raw tags too, with the message in Description.
class TSWFByteCodeTag : public TSWFDataObject {
 public:
  TSWFByteCodeTag() : TSWFDataObject(tag::ErrorTag) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint16_t TagCode = 0;
  std::string Description;

 protected:
  std::uint16_t HeaderCode() const override { return TagCode; }
};

// Length of a tag written with the automatic header choice.
std::uint64_t GetFullSize(std::uint32_t bodySize);
// Writes a tag with the given code whose body is size bytes of data from its
// position (size 0: the rest of data), by the header rule of WriteToStream.
void WriteRawTag(TStream& destination, std::uint16_t code, TStream& data, std::uint64_t size = 0);
// Writes the tag header word (and the 32-bit length in the long form).
void WriteTagHeader(TStream& destination, std::uint16_t code, std::uint64_t bodySize, bool forceLong);

}  // namespace yel::swf

namespace yel::swf {

// Reads the body of tag (BodySize already set) from the next length bytes of
// be's stream, through an engine that cannot see past them, and leaves be's
// stream just after them. A body that the stream does not hold completely is
// read as far as it goes.
void ReadTagBody(TBitsEngine& be, TSWFObject& tag, std::uint32_t length);

}  // namespace yel::swf
