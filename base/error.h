// Error type of the whole system: an exception that carries a message ready
// to show to the user (it names the file and the problem).
#pragma once

#include <stdexcept>
#include <string>

namespace yel {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// "path: message", the form every file-related error takes.
[[noreturn]] void ThrowFileError(const std::string& path, const std::string& message);

// The text of errno as the C library gives it.
std::string SystemErrorText(int error_number);

}  // namespace yel
