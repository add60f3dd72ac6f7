// Number conversion against glibc's correctly rounded strtod, and the
// shortest round-trip writer against a printf search for the shortest form.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tarnwick/reader.h"
#include "tarnwick/writer.h"

namespace tarnwick {
namespace {

std::uint64_t bits(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

double read_double(const std::string& text, bool* ok) {
  ReadResult<JsonNumber> r = parse_number_document(text);
  *ok = r.ok() && r.value().kind() == NumberKind::Float;
  return *ok ? r.value().as_double() : 0.0;
}

TEST(Numbers, HardCasesRoundCorrectly) {
  const std::vector<std::string> cases = {
      // Exactly halfway between 1.0 and its successor: ties to even.
      "1.00000000000000011102230246251565404236316680908203125",
      "1.00000000000000011102230246251565404236316680908203124",
      "1.00000000000000011102230246251565404236316680908203126",
      "9007199254740993e0",
      "9007199254740993.0",
      "9007199254740995.0",
      "2.2250738585072011e-308",
      "2.2250738585072012e-308",
      "2.2250738585072014e-308",
      "4.9406564584124654e-324",
      "2.4703282292062328e-324",
      "2.4703282292062327e-324",
      "1e-323",
      "1.7976931348623157e308",
      "1.7976931348623158e308",
      "0.1",
      "0.3",
      "123456789012345678901234567890e-10",
      "8.98846567431158e307",
      "7.038531e-26",
      "3.0540412e5",
      "1e23",
      "8.125e-1",
      "1." + std::string(300, '0') + "1",
      "0." + std::string(400, '0') + "1e400",
      std::string(400, '9') + ".5e-350",
      "-" + std::string(310, '1'),
      "1e-2147483648",
      "1e2147483600",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 60));
    const double want = std::strtod(text.c_str(), nullptr);
    bool ok = false;
    const double got = read_double(text, &ok);
    if (!std::isfinite(want)) {
      EXPECT_FALSE(parse_number_document(text).ok());
    } else {
      ASSERT_TRUE(ok);
      EXPECT_EQ(bits(got), bits(want));
    }
  }
}

// Both sides of every limit of the short-significand path: 2^53, 19 digits,
// a decimal exponent of 22, leading and trailing zeros, signed zero.
TEST(Numbers, ShortSignificandLimitsRoundCorrectly) {
  const std::vector<std::string> cases = {
      "9007199254740992.0",
      "9007199254740993.0",
      "9007199254740991e-5",
      "9007199254740993e-5",
      "1e22",
      "1e-22",
      "1.5e22",
      "3e-23",
      "4.5e23",
      "123e-22",
      "123e-25",
      "1234567890123456789e3",
      "12345678901234567890e-3",
      "0.000001234e22",
      "0.000000000000000000000001",
      "00.5",
      "-0.0",
      "-0e5",
      "0.0e-999",
      "5.000000000000000000000001",
      "2.2250738585072014e-308",
      "1.7976931348623157e22",
      "4503599627370497.5",
      "9.999999999999999e22",
      "1.00E+002",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    ReadResult<JsonNumber> r = parse_number_document(text);
    if (!r.ok()) {  // "00.5" breaks the grammar, so both readers refuse it
      EXPECT_EQ(text, "00.5");
      continue;
    }
    ASSERT_EQ(r.value().kind(), NumberKind::Float);
    EXPECT_EQ(bits(r.value().as_double()),
              bits(std::strtod(text.c_str(), nullptr)));
  }
}

TEST(Numbers, RandomShortDecimalsMatchStrtod) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 200000; ++i) {
    const int int_digits = static_cast<int>(rng() % 12);
    const int frac_digits = static_cast<int>(rng() % 12) + 1;
    std::string text = rng() % 2 ? "-" : "";
    text += std::to_string(rng() % 10);
    for (int k = 0; k < int_digits && text.back() != '0'; ++k) {
      text += static_cast<char>('0' + rng() % 10);
    }
    text += '.';
    for (int k = 0; k < frac_digits; ++k) {
      text += static_cast<char>('0' + rng() % 10);
    }
    if (rng() % 2)
      text += "e" + std::to_string(static_cast<int>(rng() % 61) - 30);
    bool ok = false;
    const double got = read_double(text, &ok);
    ASSERT_TRUE(ok) << text;
    ASSERT_EQ(bits(got), bits(std::strtod(text.c_str(), nullptr))) << text;
  }
}

// Digits in the shortest %e form that reads back to `d`, by search.
int printf_shortest_digits(double d) {
  char buf[40];
  for (int p = 1; p <= 17; ++p) {
    std::snprintf(buf, sizeof buf, "%.*e", p - 1, d);
    if (std::strtod(buf, nullptr) == d) return p;
  }
  return 17;
}

int significant_digits(const std::string& text) {
  int n = 0;
  bool leading = true;
  int trailing_zeros = 0;
  for (char c : text) {
    if (c == 'e') break;
    if (c < '0' || c > '9') continue;
    if (leading && c == '0') continue;
    leading = false;
    ++n;
    trailing_zeros = c == '0' ? trailing_zeros + 1 : 0;
  }
  return n - trailing_zeros;
}

TEST(Numbers, WrittenDoublesReadBackExactlyAndShortest) {
#if defined(__SANITIZE_ADDRESS__)
  const int count = 50'000;
#else
  const int count = 1'000'000;
#endif
  std::mt19937_64 rng(20261206);
  std::uniform_int_distribution<int> small(0, 9999);
  std::uniform_int_distribution<int> scale(-30, 30);
  int failures = 0;
  for (int i = 0; i < count && failures < 10; ++i) {
    double d;
    if (i % 4 == 0) {
      // Short decimals, where a non-shortest writer shows itself.
      d = small(rng) * std::pow(10.0, scale(rng));
    } else {
      const std::uint64_t b = rng();
      std::memcpy(&d, &b, sizeof d);
      if (!std::isfinite(d)) continue;
    }
    std::string text;
    format_double(d, text);
    bool ok = false;
    const double back = read_double(text, &ok);
    if (!ok || bits(back) != bits(d) ||
        significant_digits(text) > printf_shortest_digits(d)) {
      ++failures;
      ADD_FAILURE() << "double bits " << bits(d) << " written as " << text;
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace tarnwick
