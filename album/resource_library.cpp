// Resource libraries as zip archives, read and written with libzip.
#include "album/resource_library.h"

#include <zip.h>

#include <cstdio>
#include <stdexcept>

#include "base/paths.h"

namespace yel {
namespace {

// Resources of at most this size are read; a larger claim is refused before
// anything is allocated.
constexpr zip_uint64_t kMaxResourceSize = 256u << 20;
constexpr time_t kEntryTime = 1262347200;  // 2010-01-01 12:00 UTC

std::string EntryName(const std::string& type, const std::string& name) { return type + "/" + name; }

}  // namespace

struct TResourceLibrary::Archive {
  zip_t* zip = nullptr;
  ~Archive() {
    if (zip) zip_discard(zip);
  }
};

TResourceLibrary::TResourceLibrary(const std::string& path)
    : path_(ResolvePathIgnoreCase(path)), archive_(std::make_unique<Archive>()) {
  int error = 0;
  archive_->zip = zip_open(path_.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (!archive_->zip) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, error);
    std::string message = path + ": cannot open the resource library: " + zip_error_strerror(&ze);
    zip_error_fini(&ze);
    throw std::runtime_error(message);
  }
}

TResourceLibrary::~TResourceLibrary() = default;

bool TResourceLibrary::HasResource(const std::string& type, const std::string& name) const {
  return zip_name_locate(archive_->zip, EntryName(type, name).c_str(), ZIP_FL_NOCASE) >= 0;
}

std::vector<std::uint8_t> TResourceLibrary::ReadResource(const std::string& type, const std::string& name) const {
  const std::string entry = EntryName(type, name);
  zip_int64_t index = zip_name_locate(archive_->zip, entry.c_str(), ZIP_FL_NOCASE);
  if (index < 0) throw std::runtime_error(path_ + ": the resource " + name + " of type " + type + " is missing");
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_->zip, static_cast<zip_uint64_t>(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
    throw std::runtime_error(path_ + ": the resource " + entry + " cannot be read");
  if (st.size > kMaxResourceSize)
    throw std::runtime_error(path_ + ": the resource " + entry + " is too large (" + std::to_string(st.size) +
                             " bytes)");
  zip_file_t* file = zip_fopen_index(archive_->zip, static_cast<zip_uint64_t>(index), 0);
  if (!file) throw std::runtime_error(path_ + ": the resource " + entry + " cannot be opened");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.size));
  zip_int64_t got = bytes.empty() ? 0 : zip_fread(file, bytes.data(), bytes.size());
  // One more read must find the end: a damaged entry may hold other data.
  char extra;
  zip_int64_t more = zip_fread(file, &extra, 1);
  zip_fclose(file);
  if (got != static_cast<zip_int64_t>(bytes.size()) || more != 0)
    throw std::runtime_error(path_ + ": the resource " + entry + " is damaged");
  return bytes;
}

void WriteResourceLibrary(const std::string& path, const std::vector<TResourceEntry>& entries) {
  // libzip writes a temporary file beside the target and renames it on close.
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!zip) throw std::runtime_error(path + ": cannot create the resource library");
  for (const auto& entry : entries) {
    zip_source_t* source = zip_source_buffer(zip, entry.Data.data(), entry.Data.size(), 0);
    const zip_int64_t index =
        source ? zip_file_add(zip, EntryName(entry.Type, entry.Name).c_str(), source, ZIP_FL_OVERWRITE) : -1;
    // A fixed entry date, so the same resources always make the same file.
    if (index < 0 || zip_file_set_mtime(zip, static_cast<zip_uint64_t>(index), kEntryTime, 0) != 0) {
      if (source && index < 0) zip_source_free(source);
      zip_discard(zip);
      throw std::runtime_error(path + ": cannot add the resource " + EntryName(entry.Type, entry.Name));
    }
  }
  if (zip_close(zip) != 0) {
    std::string message = path + ": cannot write the resource library: " + zip_strerror(zip);
    zip_discard(zip);
    throw std::runtime_error(message);
  }
}

}  // namespace yel
