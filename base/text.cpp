#include "base/text.h"

#include <algorithm>

namespace yel {
namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool LessIgnoreCase(std::string_view a, std::string_view b) {
  auto folded = std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char x, char y) { return static_cast<unsigned char>(Lower(x)) < static_cast<unsigned char>(Lower(y)); });
  if (folded || !EqualsIgnoreCase(a, b)) return folded;
  return a < b;
}

std::string Trim(std::string_view text) {
  const char* ws = " \t\r\n";
  auto first = text.find_first_not_of(ws);
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(ws);
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace yel
