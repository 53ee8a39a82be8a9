// Splitting metafile bytes into checked records.
#include "platform/gdi/metafile.h"

#include <cstring>

#include "base/error.h"
#include "platform/gdi/dib.h"

extern "C" {
#include <uemf.h>
#include <uemf_safe.h>
}

namespace yel::gdi {
namespace {

std::uint32_t U32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
std::int32_t I32(const std::uint8_t* p) { return std::int32_t(U32(p)); }
Rect ReadRect(const std::uint8_t* p) { return {I32(p), I32(p + 4), I32(p + 8), I32(p + 12)}; }

constexpr std::uint32_t kSignature = 0x464D4520;  // " EMF"
constexpr std::size_t kMinHeader = 88;

// Record types libUEMF has no safety check for.
bool UncheckedType(std::uint32_t t) {
  switch (t) {
    case 69: case 96: case 97: case 102: case 103: case 105: case 106: case 107: case 109:
    case 110: case 111: case 112: case 113: case 117: case 119: case 120: case 121:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return -1;
  std::int64_t n = std::int64_t(a) * b, d = c;
  if (d < 0) {
    n = -n;
    d = -d;
  }
  std::int64_t q = n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d);
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return std::int32_t(q);
}

Rect MetafileHeader::FramePixels() const {
  std::int32_t wmm = device_millimeters.x * 100, hmm = device_millimeters.y * 100;
  return {MulDiv(frame.left, device_pixels.x, wmm), MulDiv(frame.top, device_pixels.y, hmm),
          MulDiv(frame.right, device_pixels.x, wmm), MulDiv(frame.bottom, device_pixels.y, hmm)};
}

std::vector<std::uint8_t> RecordBitmapAsBmp(RecordFields& f, std::uint32_t off_bmi, std::uint32_t cb_bmi,
                                            std::uint32_t off_bits, std::uint32_t cb_bits) {
  if (cb_bmi == 0 || !f.Has(off_bmi, cb_bmi) || !f.Has(off_bits, cb_bits)) return {};
  DibHeader h;
  if (!ReadDibHeader(f.Ptr(off_bmi), cb_bmi, h)) return {};
  std::vector<std::uint8_t> out(14, 0);
  std::uint32_t size = 14 + cb_bmi + cb_bits, offset = 14 + cb_bmi;
  out[0] = 'B';
  out[1] = 'M';
  std::memcpy(&out[2], &size, 4);
  std::memcpy(&out[10], &offset, 4);
  out.insert(out.end(), f.Ptr(off_bmi), f.Ptr(off_bmi) + cb_bmi);
  out.insert(out.end(), f.Ptr(off_bits), f.Ptr(off_bits) + cb_bits);
  return out;
}

bool LooksLikeMetafile(const std::uint8_t* bytes, std::size_t size) {
  return bytes && size >= kMinHeader && U32(bytes) == EMR_HEADER && U32(bytes + 40) == kSignature;
}

MetafileRecords::MetafileRecords(const std::uint8_t* bytes, std::size_t size,
                                 const std::string& name) {
  if (!LooksLikeMetafile(bytes, size)) ThrowFileError(name, "not an enhanced metafile (no EMF header)");
  std::uint32_t header_size = U32(bytes + 4);
  if (header_size < kMinHeader || header_size > size || header_size % 4 != 0)
    ThrowFileError(name, "the EMF header record has a bad size");
  header_.bounds = ReadRect(bytes + 8);
  header_.frame = ReadRect(bytes + 24);
  header_.bytes = U32(bytes + 48);
  header_.records = U32(bytes + 52);
  header_.handles = U32(bytes + 56) & 0xFFFF;
  header_.device_pixels = {I32(bytes + 72), I32(bytes + 76)};
  header_.device_millimeters = {I32(bytes + 80), I32(bytes + 84)};
  if (header_.device_pixels.x <= 0 || header_.device_pixels.y <= 0 ||
      header_.device_millimeters.x <= 0 || header_.device_millimeters.y <= 0 ||
      header_.device_millimeters.x > 1000000 || header_.device_millimeters.y > 1000000)
    ThrowFileError(name, "the EMF header gives no usable reference device size");

  std::size_t at = 0;
  while (at < size) {
    if (size - at < 8) {
      truncated_ = true;
      break;
    }
    MetafileRecord r;
    r.data = bytes + at;
    r.type = U32(r.data);
    r.size = U32(r.data + 4);
    if (r.size < 8 || r.size % 4 != 0 || r.size > size - at) {
      truncated_ = true;  // the next record cannot be found
      break;
    }
    // libUEMF checks every count, offset and size inside the record against
    // the record's own size. Types it has no check for (it would only print a
    // warning) are kept: nothing here reads past their type and size.
    // SMALLTEXTOUT is checked by its reader (ReadTextRecord): libUEMF
    // wrongly demands the rectangle that ETO_NO_RECT leaves out.
    r.sound = r.type >= EMR_HEADER && r.type <= U_EMR_MAX &&
              (UncheckedType(r.type) || (r.type == EMR_SMALLTEXTOUT && r.size >= 36) ||
               U_emf_record_safe(reinterpret_cast<const char*>(r.data)) != 0);
    records_.push_back(r);
    at += r.size;
    if (r.type == EMR_EOF) break;
  }
}

}  // namespace yel::gdi
