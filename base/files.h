// Reading and writing whole files. Writing always goes to a temporary file in
// the target's folder that is renamed over the target, so a failed write never
// leaves a truncated or lost file behind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace yel {

// Reads the whole file; throws Error naming the file when it cannot.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);

// Writes bytes to path atomically (temporary file, flush, rename). An existing
// target keeps its permission bits. Throws Error naming the file on failure;
// the target is then untouched.
void WriteFileAtomically(const std::string& path, std::string_view bytes);
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

// As above, with the content produced by a callback that appends to the
// buffer; the callback may throw, in which case nothing is written.
void WriteFileAtomically(const std::string& path,
                         const std::function<void(std::string& out)>& produce);

}  // namespace yel
