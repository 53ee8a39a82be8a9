// Numbers as the project and theme files hold them: plain decimal integers,
// and decimals in general format with at most 15 significant digits using the
// decimal separator of the user's locale (LC_NUMERIC).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace yel {

// The decimal separator of the current LC_NUMERIC locale ('.' in "C").
char LocaleDecimalSeparator();

// Shortest general form with at most 15 significant digits, trailing zeros
// removed: 2 -> "2", 0.5 -> "0.5", 2.2f widened -> "2.20000004768372",
// 1e-5 -> "1E-5". The separator is the given one.
std::string FormatDecimal(double value, char separator);
std::string FormatDecimal(double value);  // with the locale's separator

// Parses a decimal written with the given separator (surrounding white space
// allowed, an exponent allowed). A full stop is not accepted in place of a
// comma separator, nor the other way round. Empty on failure.
std::optional<double> ParseDecimal(std::string_view text, char separator);
std::optional<double> ParseDecimal(std::string_view text);

// Plain decimal integer, optional sign, surrounding white space allowed;
// empty on failure or overflow.
std::optional<std::int64_t> ParseInteger(std::string_view text);

}  // namespace yel
