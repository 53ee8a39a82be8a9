#include "base/error.h"

#include <cstring>

namespace yel {

void ThrowFileError(const std::string& path, const std::string& message) {
  throw Error(path + ": " + message);
}

std::string SystemErrorText(int error_number) { return std::strerror(error_number); }

}  // namespace yel
