#include "album/locale_numbers.h"

#include <gtest/gtest.h>

#include <clocale>

namespace yel {
namespace {

TEST(LocaleNumbers, FormatsShortestGeneralFormWithFifteenDigits) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {{2.0, "2"},     {0.5, "0.5"},   {static_cast<double>(2.2f), "2.20000004768372"},
               {-1.25, "-1.25"}, {0.0, "0"},   {1e-5, "1E-5"},
               {123456789012345.0, "123456789012345"}, {1e20, "1E20"}};
  for (const auto& c : cases) EXPECT_EQ(FormatDecimal(c.value, '.'), c.text) << c.value;
  EXPECT_EQ(FormatDecimal(1.5, ','), "1,5");
}

TEST(LocaleNumbers, ParsesOnlyWithTheGivenSeparator) {
  EXPECT_EQ(ParseDecimal("1.5", '.'), 1.5);
  EXPECT_EQ(ParseDecimal(" 2 ", '.'), 2.0);
  EXPECT_EQ(ParseDecimal("1E-5", '.'), 1e-5);
  EXPECT_EQ(ParseDecimal("1,5", ','), 1.5);
  for (const char* bad : {"", " ", "1,5", "abc", "1.5x", "inf", "nan", "+-1", "1..5"})
    EXPECT_FALSE(ParseDecimal(bad, '.').has_value()) << bad;
  EXPECT_FALSE(ParseDecimal("1.5", ',').has_value());
}

TEST(LocaleNumbers, ParsesPlainIntegers) {
  EXPECT_EQ(ParseInteger("720"), 720);
  EXPECT_EQ(ParseInteger(" -5 "), -5);
  EXPECT_EQ(ParseInteger("+7"), 7);
  for (const char* bad : {"", "7.0", "0x10", "12abc", "99999999999999999999", "+-1"})
    EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
}

TEST(LocaleNumbers, FollowsTheCommaLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  EXPECT_EQ(LocaleDecimalSeparator(), ',');
  EXPECT_EQ(FormatDecimal(static_cast<double>(2.2f)), "2,20000004768372");
  EXPECT_EQ(ParseDecimal("1,5"), 1.5);
  EXPECT_FALSE(ParseDecimal("1.5").has_value());
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace yel
