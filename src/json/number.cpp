#include "json/number.h"

#include <cfloat>        // FLT_EVAL_METHOD
#include <charconv>      // from_chars, __cpp_lib_to_chars
#include <cmath>         // isfinite
#include <cstdint>       // uint64_t
#include <system_error>  // errc

// libc++ before 20 (Apple's among them) reads no floating-point number with
// from_chars, and says so by leaving __cpp_lib_to_chars undefined; there the
// C library reads it, in the "C" locale.
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
#define TARNWICK_FLOAT_FROM_CHARS 1
#else
#define TARNWICK_FLOAT_FROM_CHARS 0
#include <cerrno>   // errno, ERANGE
#include <clocale>  // newlocale, LC_ALL_MASK
#include <cstdlib>  // strtod_l
#include <cstring>  // memcpy
#include <memory>   // unique_ptr
#include <new>      // nothrow
#if defined(__APPLE__)
#include <xlocale.h>  // strtod_l, newlocale
#endif
#endif

#include "text/chars.h"

namespace tarnwick::detail {
namespace {

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

// The fast path below needs each operation rounded once, to double.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must not be widened");

// Maps k in 0..22 to 10^k; every entry is exact in a double.
constexpr double kExactPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Clinger's fast path: when the significant digits form an integer w below
// 2^53 and the decimal exponent e has |e| <= 22, both w and 10^|e| are exact
// doubles, so one IEEE multiplication or division rounds w * 10^e correctly.
// False, with `out` untouched, when the token needs the general conversion.
bool convert_exact(const NumberScan& s, JsonNumber& out) noexcept {
  std::uint64_t w = 0;
  int digits = 0;  // significant digits taken into w
  for (const char* p = s.int_begin; p != s.int_end; ++p) {
    if (digits == 0 && *p == '0') continue;
    if (++digits > 19) return false;
    w = w * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  for (const char* p = s.frac_begin; p != s.frac_end; ++p) {
    if (digits == 0 && *p == '0') continue;
    if (++digits > 19) return false;
    w = w * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  if (w > (std::uint64_t{1} << 53)) return false;
  if (s.exp_end - s.exp_begin > 3) return false;
  int e = 0;
  for (const char* p = s.exp_begin; p != s.exp_end; ++p)
    e = e * 10 + (*p - '0');
  if (s.exp_negative) e = -e;
  e -= static_cast<int>(s.frac_end - s.frac_begin);
  if (e < -22 || e > 22) return false;
  double d = static_cast<double>(w);
  if (e < 0) {
    d /= kExactPowersOfTen[-e];
  } else {
    d *= kExactPowersOfTen[e];
  }
  out = *JsonNumber::from_f64(s.negative ? -d : d);
  return true;
}

// The double nearest the decimal number [first, last) (JSON syntax,
// checked before), as std::from_chars gives it: result_out_of_range when it
// is too large for a double or too small for any but zero.
std::errc read_decimal(const char* first, const char* last,
                       double& d) noexcept {
#if TARNWICK_FLOAT_FROM_CHARS
  return std::from_chars(first, last, d).ec;
#else
  // Made once and never changed: strtod_l needs a locale object.
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
  if (c_locale == locale_t{}) return std::errc::not_enough_memory;
  const auto n = static_cast<std::size_t>(last - first);
  char small[128];  // most numbers; strtod_l needs a terminated copy
  std::unique_ptr<char[]> large;
  char* text = small;
  if (n >= sizeof small) {
    large.reset(new (std::nothrow) char[n + 1]);
    if (!large) return std::errc::not_enough_memory;
    text = large.get();
  }
  std::memcpy(text, first, n);
  text[n] = '\0';
  errno = 0;
  const double value = strtod_l(text, nullptr, c_locale);
  // ERANGE also comes with a subnormal result, which from_chars gives.
  if (errno == ERANGE && (value == 0 || !std::isfinite(value))) {
    return std::errc::result_out_of_range;
  }
  d = value;
  return std::errc();
#endif
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
    // Nineteen digits always fit; only a twentieth can overflow.
    std::uint64_t mag = 0;
    bool fits = true;
    const char* p = s.int_begin;
    const char* safe_end = s.int_end - s.int_begin > 19 ? p + 19 : s.int_end;
    for (; p != safe_end; ++p) {
      mag = mag * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (p != s.int_end) {
      const auto d = static_cast<std::uint64_t>(*p - '0');
      fits = mag <= (UINT64_MAX - d) / 10;
      if (fits) mag = mag * 10 + d;
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
  if (convert_exact(s, out)) return true;
  if (s.has_exp && exponent_exceeds_int32(s.exp_begin, s.exp_end)) {
    const bool nonzero = any_nonzero(s.int_begin, s.int_end) ||
                         any_nonzero(s.frac_begin, s.frac_end);
    if (nonzero && !s.exp_negative) return false;
    out = signed_zero(s.negative);
    return true;
  }
  double d = 0.0;
  const std::errc ec = read_decimal(s.begin, s.stop, d);
  if (ec == std::errc::result_out_of_range) {
    if (leading_exponent(s) > 0) return false;
    out = signed_zero(s.negative);
    return true;
  }
  if (ec != std::errc() || !std::isfinite(d)) return false;
  out = *JsonNumber::from_f64(d);
  return true;
}

}  // namespace tarnwick::detail
