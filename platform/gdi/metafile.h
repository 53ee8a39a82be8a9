// Enhanced metafile bytes split into records, with the header read and each
// record checked (libUEMF's record checks) before anyone looks inside it.
#pragma once

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <cstring>
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

namespace detail {
inline std::uint32_t RecordU32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline float RecordF32(const std::uint8_t* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}
inline std::int16_t RecordI16(const std::uint8_t* p) {
  std::int16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
}  // namespace detail

// Bounds-checked access to the fields of one record: reads past its end
// give 0 and mark the record bad.
class RecordFields {
 public:
  explicit RecordFields(const MetafileRecord& r) : d_(r.data), n_(r.size) {}
  bool Has(std::size_t offset, std::size_t bytes) const {
    return offset <= n_ && bytes <= n_ - offset;
  }
  std::uint32_t U(std::size_t at) {
    if (!Has(at, 4)) return bad_ = true, 0;
    return detail::RecordU32(d_ + at);
  }
  std::int32_t I(std::size_t at) { return std::int32_t(U(at)); }
  float F(std::size_t at) {
    if (!Has(at, 4)) return bad_ = true, 0.f;
    float f = detail::RecordF32(d_ + at);
    return std::isfinite(f) ? f : (bad_ = true, 0.f);
  }
  Point P(std::size_t at) { return {I(at), I(at + 4)}; }
  Rect R(std::size_t at) { return {I(at), I(at + 4), I(at + 8), I(at + 12)}; }
  XForm X(std::size_t at) {
    return {F(at), F(at + 4), F(at + 8), F(at + 12), F(at + 16), F(at + 20)};
  }
  ColorRef C(std::size_t at) { return U(at) & 0xFFFFFF; }
  const std::uint8_t* Ptr(std::size_t at) const { return d_ + at; }
  std::size_t Size() const { return n_; }
  bool Bad() const { return bad_; }

  // `count` points of 8 (or 4 for 16-bit) bytes at `at`; false when they do
  // not fit in the record.
  bool Points(std::size_t at, std::uint32_t count, bool sixteen, std::vector<Point>& out) {
    std::size_t each = sixteen ? 4 : 8;
    if (!Has(at, 0) || count > (n_ - at) / each) return bad_ = true, false;
    out.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint8_t* p = d_ + at + i * each;
      out[i] = sixteen ? Point{detail::RecordI16(p), detail::RecordI16(p + 2)} : Point{std::int32_t(detail::RecordU32(p)), std::int32_t(detail::RecordU32(p + 4))};
    }
    return true;
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
  bool bad_ = false;
};

// A BMP file (file header, bitmap info, bits) of the bitmap a record holds
// at (offBmi, cbBmi, offBits, cbBits); empty when the record has none, or
// when its header is malformed, too large, or reaches past the record.
std::vector<std::uint8_t> RecordBitmapAsBmp(RecordFields& f, std::uint32_t off_bmi, std::uint32_t cb_bmi,
                                            std::uint32_t off_bits, std::uint32_t cb_bits);

// MulDiv as the platform defines it: a × b / c rounded half away from zero,
// computed in 64 bits; -1 when c is 0 or the result overflows.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

}  // namespace yel::gdi
