// The canonical compact writer: no whitespace, entry order, one escaping
// table, integers in plain decimal, doubles in shortest round-trip form.
#include "tarnwick/writer.h"

#include <array>     // array
#include <charconv>  // to_chars
#include <cmath>     // isfinite, signbit
#include <cstring>   // memcpy

#include "json/swar.h"

namespace tarnwick {
namespace {

// MARK: - Tables (Private)

// Maps a byte to 0 (copy as is) or to the letter written after the backslash;
// 'u' selects the six-character form \u00XX. Covers '"', '\\' and 0x00-0x1F.
constexpr std::array<char, 256> make_escape_table() {
  std::array<char, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[static_cast<std::size_t>(c)] = 'u';
  t['"'] = '"';
  t['\\'] = '\\';
  t['\b'] = 'b';
  t['\t'] = 't';
  t['\n'] = 'n';
  t['\f'] = 'f';
  t['\r'] = 'r';
  return t;
}
constexpr std::array<char, 256> kEscape = make_escape_table();

// Maps n in 0..99 to its two decimal digits at [2n, 2n+1].
constexpr std::array<char, 200> make_digit_pairs() {
  std::array<char, 200> t{};
  for (int i = 0; i < 100; ++i) {
    t[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    t[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return t;
}
constexpr std::array<char, 200> kDigitPairs = make_digit_pairs();

constexpr char kHex[] = "0123456789abcdef";

// MARK: - Scalars (Private)

void write_unsigned(std::uint64_t v, std::string& out) {
  char buf[20];
  char* p = buf + sizeof buf;
  while (v >= 100) {
    const std::size_t i = static_cast<std::size_t>(v % 100) * 2;
    v /= 100;
    p -= 2;
    std::memcpy(p, &kDigitPairs[i], 2);
  }
  if (v >= 10) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[static_cast<std::size_t>(v) * 2], 2);
  } else {
    *--p = static_cast<char>('0' + v);
  }
  out.append(p, static_cast<std::size_t>(buf + sizeof buf - p));
}

WriteStatus write_value(const JsonValue& v, std::string& out) {
  switch (v.kind()) {
    case ValueKind::Null:
      out.append("null", 4);
      break;
    case ValueKind::Bool:
      if (v.as_bool()) {
        out.append("true", 4);
      } else {
        out.append("false", 5);
      }
      break;
    case ValueKind::Number: {
      const JsonNumber& n = v.as_number();
      switch (n.kind()) {
        case NumberKind::UnsignedInt:
          write_unsigned(n.as_unsigned(), out);
          break;
        case NumberKind::NegativeInt:
          out.push_back('-');
          // Two's complement negation, exact for the smallest value too.
          write_unsigned(~static_cast<std::uint64_t>(n.as_negative()) + 1, out);
          break;
        case NumberKind::Float:
          if (std::isfinite(n.as_double())) {
            format_double(n.as_double(), out);
          } else {
            out.append("null", 4);
          }
          break;
      }
      break;
    }
    case ValueKind::String:
      escape_string(v.as_string(), out);
      break;
    case ValueKind::Array: {
      out.push_back('[');
      bool first = true;
      for (const JsonValue& item : v.as_array()) {
        if (!first) out.push_back(',');
        first = false;
        if (write_value(item, out) != WriteStatus::Success) {
          return WriteStatus::SinkFailed;
        }
      }
      out.push_back(']');
      break;
    }
    case ValueKind::Object: {
      out.push_back('{');
      bool first = true;
      for (const JsonObject::Entry& e : v.as_object()) {
        if (!first) out.push_back(',');
        first = false;
        escape_string(e.key, out);
        out.push_back(':');
        if (write_value(e.value, out) != WriteStatus::Success) {
          return WriteStatus::SinkFailed;
        }
      }
      out.push_back('}');
      break;
    }
  }
  return WriteStatus::Success;
}

}  // namespace

// MARK: - Writer (Public)

void escape_string(std::string_view text, std::string& out) {
  out.push_back('"');
  const char* p = text.data();
  const char* end = p + text.size();
  for (;;) {
    // A slash is never escaped, so the reader's run scan fits the writer too.
    const char* q = detail::find_string_special(p, end);
    out.append(p, static_cast<std::size_t>(q - p));
    if (q == end) break;
    const unsigned char c = static_cast<unsigned char>(*q);
    const char e = kEscape[c];
    if (e == 'u') {
      const char esc[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      out.append(esc, 6);
    } else {
      const char esc[2] = {'\\', e};
      out.append(esc, 2);
    }
    p = q + 1;
  }
  out.push_back('"');
}

void format_double(double value, std::string& out) {
  if (std::signbit(value)) {
    out.push_back('-');
    value = -value;
  }
  if (value == 0.0) {
    out.append("0.0", 3);
    return;
  }
  // Shortest round-trip digits, nearest to the exact value among equals,
  // in the form d[.ddd]e(+|-)XX.
  char sci[32];
  const std::to_chars_result r = std::to_chars(sci, sci + sizeof sci, value,
                                               std::chars_format::scientific);
  char digits[20];
  int n = 0;
  const char* p = sci;
  for (; p != r.ptr && *p != 'e'; ++p) {
    if (*p != '.') digits[n++] = *p;
  }
  int exp = 0;
  ++p;  // 'e'
  const bool exp_negative = *p == '-';
  for (++p; p != r.ptr; ++p) exp = exp * 10 + (*p - '0');
  if (exp_negative) exp = -exp;

  char buf[40];
  char* w = buf;
  if (exp < -5 || exp > 15) {
    *w++ = digits[0];
    if (n > 1) {
      *w++ = '.';
      std::memcpy(w, digits + 1, static_cast<std::size_t>(n - 1));
      w += n - 1;
    }
    *w++ = 'e';
    *w++ = exp < 0 ? '-' : '+';
    const int mag = exp < 0 ? -exp : exp;
    if (mag >= 100) *w++ = static_cast<char>('0' + mag / 100);
    if (mag >= 10) *w++ = static_cast<char>('0' + mag / 10 % 10);
    *w++ = static_cast<char>('0' + mag % 10);
  } else if (exp >= 0) {
    if (n - 1 <= exp) {
      std::memcpy(w, digits, static_cast<std::size_t>(n));
      w += n;
      for (int i = 0; i < exp + 1 - n; ++i) *w++ = '0';
      *w++ = '.';
      *w++ = '0';
    } else {
      std::memcpy(w, digits, static_cast<std::size_t>(exp + 1));
      w += exp + 1;
      *w++ = '.';
      std::memcpy(w, digits + exp + 1, static_cast<std::size_t>(n - exp - 1));
      w += n - exp - 1;
    }
  } else {
    *w++ = '0';
    *w++ = '.';
    for (int i = 0; i < -exp - 1; ++i) *w++ = '0';
    std::memcpy(w, digits, static_cast<std::size_t>(n));
    w += n;
  }
  out.append(buf, static_cast<std::size_t>(w - buf));
}

WriteStatus write_compact(const JsonValue& value, std::string& out) {
  // A std::string sink has no error of its own; running out of memory is
  // left to the caller's guard rather than reported as the text "null".
  return write_value(value, out);
}

std::string to_canonical_text(const JsonValue& value) {
  std::string out;
  out.reserve(128);
  if (write_compact(value, out) != WriteStatus::Success) return "null";
  return out;
}

}  // namespace tarnwick
