// Number conversion against glibc's correctly rounded strtod, and the
// shortest round-trip writer against printf's correctly rounded digits.
#include <cmath>    // isfinite, nan, pow
#include <cstdint>  // uint64_t
#include <cstdio>   // snprintf
#include <cstdlib>  // strtod
#include <cstring>  // memcpy
#include <random>   // mt19937_64
#include <sstream>  // istringstream

#include "test_util.h"

namespace tarnwick {
namespace {

std::uint64_t bits(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

// The text's double when it reads as a Float, else NaN.
double read_double(const std::string& text) {
  ReadResult<JsonNumber> r = parse_number_document(text);
  return r.ok() && r.value().kind() == NumberKind::Float ? r.value().as_double()
                                                         : std::nan("");
}

// Ties to even, subnormals, the edges of the double range, digits beyond 17,
// extreme exponents, and both sides of every limit of the short-significand
// path: 2^53, 19 digits, a decimal exponent of 22.
TEST(Numbers, HardCasesRoundLikeStrtod) {
  auto check = [](const std::string& text) {
    SCOPED_TRACE(text.substr(0, 60));
    const double want = std::strtod(text.c_str(), nullptr);
    if (std::isfinite(want)) {
      EXPECT_EQ(bits(read_double(text)), bits(want));
    } else {
      EXPECT_FALSE(parse_number_document(text).ok());
    }
  };
  std::istringstream texts(
      "1.00000000000000011102230246251565404236316680908203125 "
      "1.00000000000000011102230246251565404236316680908203124 "
      "1.00000000000000011102230246251565404236316680908203126 "
      "9007199254740993e0 9007199254740992.0 9007199254740993.0 "
      "9007199254740995.0 9007199254740991e-5 9007199254740993e-5 "
      "4503599627370497.5 2.2250738585072011e-308 2.2250738585072012e-308 "
      "2.2250738585072014e-308 4.9406564584124654e-324 "
      "2.4703282292062328e-324 2.4703282292062327e-324 1e-323 "
      "1.7976931348623157e308 1.7976931348623158e308 0.1 0.3 "
      "8.98846567431158e307 7.038531e-26 3.0540412e5 1e23 8.125e-1 1e22 1e-22 "
      "1.5e22 3e-23 4.5e23 123e-22 123e-25 1234567890123456789e3 "
      "12345678901234567890e-3 0.000001234e22 -0.0 -0e5 0.0e-999 "
      "1.7976931348623157e22 9.999999999999999e22 1.00E+002 1e-2147483648 "
      "1e2147483600 123456789012345678901234567890e-10 "
      "0.000000000000000000000001 5.000000000000000000000001 ");
  for (std::string text; texts >> text;) check(text);
  check("1." + std::string(300, '0') + "1");
  check("0." + std::string(400, '0') + "1e400");
  check(std::string(400, '9') + ".5e-350");
  check("-" + std::string(310, '1'));
}

TEST(Numbers, RandomShortDecimalsMatchStrtod) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 200000; ++i) {
    std::string text =
        (rng() % 2 ? "-" : "") + std::to_string(rng() >> rng() % 64);
    text += '.';
    for (std::uint64_t k = 0, n = rng() % 12 + 1; k < n; ++k) {
      text += static_cast<char>('0' + rng() % 10);
    }
    if (rng() % 2)
      text += "e" + std::to_string(static_cast<int>(rng() % 61) - 30);
    ASSERT_EQ(bits(read_double(text)), bits(std::strtod(text.c_str(), nullptr)))
        << text;
  }
}

// Significant digits of a written number, zeros at either end not counted.
int significant_digits(std::string text) {
  text = text.substr(0, text.find('e'));
  std::erase(text, '.');
  const std::size_t first = text.find_first_of("123456789");
  return first == std::string::npos
             ? 0
             : static_cast<int>(text.find_last_of("123456789") - first + 1);
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
    if (i % 4 == 0) {  // short decimals show a writer that is not shortest
      d = small(rng) * std::pow(10.0, scale(rng));
    } else {
      const std::uint64_t b = rng();
      std::memcpy(&d, &b, sizeof d);
      if (!std::isfinite(d)) continue;
    }
    std::string text;
    format_double(d, text);
    // Shortest: one significant digit fewer, correctly rounded, misses d.
    char fewer[40];
    const int digits = significant_digits(text);
    std::snprintf(fewer, sizeof fewer, "%.*e", digits - 2, d);
    if (bits(read_double(text)) != bits(d) ||
        (digits > 1 && std::strtod(fewer, nullptr) == d)) {
      ++failures;
      ADD_FAILURE() << "double bits " << bits(d) << " written as " << text;
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace tarnwick
