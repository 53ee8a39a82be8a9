// Small text helpers: ASCII case folding and trimming.
#pragma once

#include <string>
#include <string_view>

namespace yel {

std::string AsciiLower(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// Ordering without regard to ASCII case, ties broken by byte order.
bool LessIgnoreCase(std::string_view a, std::string_view b);
// Removes leading and trailing white space (space, tab, CR, LF).
std::string Trim(std::string_view text);

}  // namespace yel
