#include "album/locale_numbers.h"

#include <charconv>
#include <clocale>
#include <cmath>

#include "base/text.h"

namespace yel {

char LocaleDecimalSeparator() {
  const std::lconv* conv = std::localeconv();
  return (conv && conv->decimal_point && conv->decimal_point[0]) ? conv->decimal_point[0] : '.';
}

std::string FormatDecimal(double value, char separator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string text(buffer, result.ptr);
  // to_chars writes exponents as "e-05"; the files use "E-5".
  if (auto e = text.find('e'); e != std::string::npos) {
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    bool negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) exponent.erase(0, 1);
    auto first = exponent.find_first_not_of('0');
    exponent = first == std::string::npos ? "0" : exponent.substr(first);
    text = mantissa + "E" + (negative ? "-" : "") + exponent;
  }
  if (auto dot = text.find('.'); dot != std::string::npos) text[dot] = separator;
  return text;
}

std::string FormatDecimal(double value) { return FormatDecimal(value, LocaleDecimalSeparator()); }

std::optional<double> ParseDecimal(std::string_view text, char separator) {
  std::string s = Trim(text);
  if (s.empty()) return std::nullopt;
  if (separator != '.') {
    if (s.find('.') != std::string::npos) return std::nullopt;
    if (auto sep = s.find(separator); sep != std::string::npos) s[sep] = '.';
  }
  std::size_t start = (s[0] == '+') ? 1 : 0;
  if (start == s.size() || (start == 1 && s[1] == '-')) return std::nullopt;
  // from_chars would also take "inf" and "nan"; the files hold digits only.
  for (std::size_t i = start; i < s.size(); ++i) {
    char c = s[i];
    bool ok = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
    if (!ok) return std::nullopt;
  }
  double value = 0;
  auto result = std::from_chars(s.data() + start, s.data() + s.size(), value);
  if (result.ec != std::errc() || result.ptr != s.data() + s.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseDecimal(std::string_view text) {
  return ParseDecimal(text, LocaleDecimalSeparator());
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  std::string s = Trim(text);
  std::size_t start = (!s.empty() && s[0] == '+') ? 1 : 0;
  if (start == s.size() || (start == 1 && s[1] == '-')) return std::nullopt;
  std::int64_t value = 0;
  auto result = std::from_chars(s.data() + start, s.data() + s.size(), value);
  if (result.ec != std::errc() || result.ptr != s.data() + s.size()) return std::nullopt;
  return value;
}

}  // namespace yel
