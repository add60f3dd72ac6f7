#include "json/number.h"

#include <charconv>      // from_chars
#include <cmath>         // isfinite
#include <cstdint>       // uint64_t
#include <system_error>  // errc

namespace tarnwick::detail {
namespace {

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

const char* skip_digits(const char* p, const char* end) noexcept {
  while (p != end && is_digit(*p)) ++p;
  return p;
}

bool any_nonzero(const char* p, const char* end) noexcept {
  for (; p != end; ++p) {
    if (*p != '0') return true;
  }
  return false;
}

// Whether the explicit exponent's digits exceed 2147483647.
bool exponent_exceeds_int32(const char* p, const char* end) noexcept {
  while (p != end && *p == '0') ++p;
  if (end - p > 10) return true;
  std::uint64_t v = 0;
  for (; p != end; ++p) v = v * 10 + static_cast<std::uint64_t>(*p - '0');
  return v > 2147483647u;
}

// Decimal exponent of the first nonzero digit, to tell an overflow from an
// underflow when the conversion reports the value out of range; the two lie
// hundreds of orders of magnitude apart, so the sign is all that matters.
long long leading_exponent(const NumberScan& s) noexcept {
  long long e = 0;
  for (const char* p = s.exp_begin; p != s.exp_end && e < 100000; ++p) {
    e = e * 10 + (*p - '0');
  }
  if (s.exp_negative) e = -e;
  for (const char* p = s.int_begin; p != s.int_end; ++p) {
    if (*p != '0') return e + (s.int_end - p - 1);
  }
  for (const char* p = s.frac_begin; p != s.frac_end; ++p) {
    if (*p != '0') return e - (p - s.frac_begin + 1);
  }
  return e;
}

JsonNumber signed_zero(bool negative) noexcept {
  return *JsonNumber::from_f64(negative ? -0.0 : 0.0);
}

}  // namespace

NumberScan scan_number(const char* p, const char* end) noexcept {
  NumberScan s{};
  s.begin = p;
  s.error = NumberScanError::None;
  if (*p == '-') {
    s.negative = true;
    ++p;
    if (p == end) {
      s.stop = p;
      s.error = NumberScanError::Eof;
      return s;
    }
    if (!is_digit(*p)) {
      s.stop = p;
      s.error = NumberScanError::Invalid;
      return s;
    }
  }
  s.int_begin = p;
  if (*p == '0') {
    ++p;
    if (p != end && is_digit(*p)) {
      s.stop = p;
      s.error = NumberScanError::Invalid;
      return s;
    }
  } else {
    p = skip_digits(p, end);
  }
  s.int_end = p;
  s.frac_begin = s.frac_end = p;
  if (p != end && *p == '.') {
    ++p;
    if (p == end || !is_digit(*p)) {
      s.stop = p;
      s.error = p == end ? NumberScanError::Eof : NumberScanError::Invalid;
      return s;
    }
    s.has_frac = true;
    s.frac_begin = p;
    p = skip_digits(p, end);
    s.frac_end = p;
  }
  s.exp_begin = s.exp_end = p;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p != end && (*p == '+' || *p == '-')) {
      s.exp_negative = *p == '-';
      ++p;
    }
    if (p == end || !is_digit(*p)) {
      s.stop = p;
      s.error = p == end ? NumberScanError::Eof : NumberScanError::Invalid;
      return s;
    }
    s.has_exp = true;
    s.exp_begin = p;
    p = skip_digits(p, end);
    s.exp_end = p;
  }
  s.stop = p;
  return s;
}

bool convert_number(const NumberScan& s, JsonNumber& out) noexcept {
  if (!s.has_frac && !s.has_exp && s.int_end - s.int_begin <= 20) {
    std::uint64_t mag = 0;
    bool fits = true;
    for (const char* p = s.int_begin; p != s.int_end; ++p) {
      const auto d = static_cast<std::uint64_t>(*p - '0');
      if (mag > (UINT64_MAX - d) / 10) {
        fits = false;
        break;
      }
      mag = mag * 10 + d;
    }
    if (fits) {
      if (!s.negative) {
        out = JsonNumber(mag);
        return true;
      }
      if (mag != 0 && mag <= (std::uint64_t{1} << 63)) {
        // Two's complement negation; exact for 2^63 as well.
        out = JsonNumber(static_cast<std::int64_t>(~mag + 1));
        return true;
      }
      // "-0" and magnitudes beyond the signed range fall through to double.
    }
  }
  if (s.has_exp && exponent_exceeds_int32(s.exp_begin, s.exp_end)) {
    const bool nonzero = any_nonzero(s.int_begin, s.int_end) ||
                         any_nonzero(s.frac_begin, s.frac_end);
    if (nonzero && !s.exp_negative) return false;
    out = signed_zero(s.negative);
    return true;
  }
  double d = 0.0;
  const std::from_chars_result r = std::from_chars(s.begin, s.stop, d);
  if (r.ec == std::errc::result_out_of_range) {
    if (leading_exponent(s) > 0) return false;
    out = signed_zero(s.negative);
    return true;
  }
  if (r.ec != std::errc() || !std::isfinite(d)) return false;
  out = *JsonNumber::from_f64(d);
  return true;
}

}  // namespace tarnwick::detail
