// Enhanced metafile bytes split into records, with the header read and each
// record checked (libUEMF's record checks) before anyone looks inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/gdi_types.h"

namespace yel::gdi {

struct MetafileRecord {
  const std::uint8_t* data = nullptr;  // the record, its size field included
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  // The record's inner sizes, counts and offsets stay inside it. A record
  // that is not sound is skipped by the playback device and the converter.
  bool sound = false;
};

struct MetafileHeader {
  Rect bounds;              // device units of the reference device
  Rect frame;               // 0.01 mm
  Point device_pixels;      // reference device size in pixels
  Point device_millimeters; // and in millimetres
  std::uint32_t handles = 0;
  std::uint32_t records = 0;
  std::uint32_t bytes = 0;
  // The frame in reference-device pixels (MulDiv as GDI computes it).
  Rect FramePixels() const;
};

// The records of a metafile held in memory (the bytes are not copied; they
// must outlive the list). Walking stops at the EOF record, or at a record
// whose size is below 8, not a multiple of 4, or past the end of the bytes.
class MetafileRecords {
 public:
  // `name` is used in error messages. Throws yel::Error naming it when the
  // bytes do not start with a sound EMF header.
  MetafileRecords(const std::uint8_t* bytes, std::size_t size, const std::string& name);

  const MetafileHeader& Header() const { return header_; }
  const std::vector<MetafileRecord>& Records() const { return records_; }
  // True when walking ended early because of a damaged record size.
  bool Truncated() const { return truncated_; }

 private:
  MetafileHeader header_;
  std::vector<MetafileRecord> records_;
  bool truncated_ = false;
};

// True when the bytes start with an EMF header record.
bool LooksLikeMetafile(const std::uint8_t* bytes, std::size_t size);

// MulDiv as the platform defines it: a × b / c rounded half away from zero,
// computed in 64 bits; -1 when c is 0 or the result overflows.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

}  // namespace yel::gdi
