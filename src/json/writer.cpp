// The canonical compact writer: no whitespace, entry order, one escaping
// table, integers in plain decimal, doubles in shortest round-trip form.
#include "tarnwick/writer.h"

#include <array>     // array
#include <charconv>  // to_chars
#include <cmath>     // isfinite, signbit
#include <cstring>   // memcpy

#include "json/canonical.h"
#include "text/swar.h"

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

// MARK: - Output (Private)

// Appends to a std::string through a raw cursor: the string is grown ahead
// of the writes (geometrically, filled with zeros) and trimmed to the bytes
// written when the sink goes away, so single bytes cost no capacity check
// beyond the one that room() makes.
class Sink {
 public:
  explicit Sink(std::string& out) noexcept : out_(out), used_(out.size()) {}
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;
  ~Sink() { out_.resize(used_); }

  // At least `n` writable bytes at the cursor; advance() past what is used.
  char* room(std::size_t n) {
    if (out_.size() - used_ < n) grow(n);
    return out_.data() + used_;
  }
  void advance(const char* to) noexcept {
    used_ = static_cast<std::size_t>(to - out_.data());
  }
  void put(char c) {
    *room(1) = c;
    ++used_;
  }
  void put(const char* p, std::size_t n) {
    std::memcpy(room(n), p, n);
    used_ += n;
  }

 private:
  void grow(std::size_t n) {
    std::size_t size = out_.size() * 2;
    if (size < used_ + n) size = used_ + n;
    if (size < 128) size = 128;
    out_.resize(size);
  }

  std::string& out_;
  std::size_t used_;
};

// MARK: - Scalars (Private)

// Writes the decimal digits of `v` at `w`; returns the end.
char* write_unsigned(std::uint64_t v, char* w) noexcept {
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
  const auto n = static_cast<std::size_t>(buf + sizeof buf - p);
  std::memcpy(w, p, n);
  return w + n;
}

// Writes a number's text at `w` (room for kMaxDoubleText bytes); returns the
// end. A non-finite double, which no reader makes, is written as null.
char* write_number(const JsonNumber& n, char* w) noexcept {
  switch (n.kind()) {
    case NumberKind::UnsignedInt:
      w = write_unsigned(n.as_unsigned(), w);
      break;
    case NumberKind::NegativeInt:
      *w++ = '-';
      // Two's complement negation, exact for the smallest value too.
      w = write_unsigned(~static_cast<std::uint64_t>(n.as_negative()) + 1, w);
      break;
    case NumberKind::Float:
      if (std::isfinite(n.as_double())) {
        w = detail::write_double(n.as_double(), w);
      } else {
        std::memcpy(w, "null", 4);
        w += 4;
      }
      break;
  }
  return w;
}

void write_string(std::string_view text, Sink& sink) {
  const char* p = text.data();
  const char* const end = p + text.size();
  // Room for the text unescaped and both quotes; each escape found asks for
  // its own bytes plus what is left, so the cursor never outruns the room.
  char* w = sink.room(text.size() + 2);
  *w++ = '"';
  for (;;) {
    // A slash is never escaped, so the reader's run scan fits the writer too.
    const char* q = detail::find_string_special(p, end);
    std::memcpy(w, p, static_cast<std::size_t>(q - p));
    w += q - p;
    if (q == end) break;
    sink.advance(w);
    w = sink.room(6 + static_cast<std::size_t>(end - q));
    const unsigned char c = static_cast<unsigned char>(*q);
    const char e = kEscape[c];
    if (e == 'u') {
      const char esc[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      std::memcpy(w, esc, 6);
      w += 6;
    } else {
      w[0] = '\\';
      w[1] = e;
      w += 2;
    }
    p = q + 1;
  }
  *w++ = '"';
  sink.advance(w);
}

void write_value(const JsonValue& v, Sink& sink) {
  switch (v.kind()) {
    case ValueKind::Null:
      sink.put("null", 4);
      break;
    case ValueKind::Bool:
      if (v.as_bool()) {
        sink.put("true", 4);
      } else {
        sink.put("false", 5);
      }
      break;
    case ValueKind::Number: {
      char* w = sink.room(detail::kMaxDoubleText);
      sink.advance(write_number(v.as_number(), w));
      break;
    }
    case ValueKind::String:
      write_string(v.as_string(), sink);
      break;
    case ValueKind::Array: {
      sink.put('[');
      bool first = true;
      for (const JsonValue& item : v.as_array()) {
        if (!first) sink.put(',');
        first = false;
        write_value(item, sink);
      }
      sink.put(']');
      break;
    }
    case ValueKind::Object: {
      sink.put('{');
      bool first = true;
      for (const JsonObject::Entry& e : v.as_object()) {
        if (!first) sink.put(',');
        first = false;
        write_string(e.key, sink);
        sink.put(':');
        write_value(e.value, sink);
      }
      sink.put('}');
      break;
    }
  }
}

}  // namespace

// MARK: - Writer (Public)

namespace detail {

char* write_double(double value, char* w) noexcept {
  if (std::signbit(value)) {
    *w++ = '-';
    value = -value;
  }
  if (value == 0.0) {
    std::memcpy(w, "0.0", 3);
    return w + 3;
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
  return w;
}

}  // namespace detail

// Appends through std::string's own growth rather than a Sink: callers
// (the readers among them) append to one long text piece by piece, and a
// Sink would size that whole text ahead each time.
void escape_string(std::string_view text, std::string& out) {
  const char* p = text.data();
  const char* const end = p + text.size();
  out.reserve(out.size() + text.size() + 2);
  out.push_back('"');
  while (p != end) {
    const char* q = detail::find_string_special(p, end);
    out.append(p, static_cast<std::size_t>(q - p));
    p = q;
    // Escapes often come in runs (a text of quotes, of control bytes), so a
    // run is written here rather than by one scan per byte.
    while (p != end) {
      const unsigned char c = static_cast<unsigned char>(*p);
      const char e = kEscape[c];
      if (e == 0) break;
      out.push_back('\\');
      out.push_back(e);
      if (e == 'u') {
        const char hex[4] = {'0', '0', kHex[c >> 4], kHex[c & 0xF]};
        out.append(hex, 4);
      }
      ++p;
    }
  }
  out.push_back('"');
}

void detail::append_number(const JsonNumber& number, std::string& out) {
  char buf[detail::kMaxDoubleText];
  const char* end = write_number(number, buf);
  out.append(buf, static_cast<std::size_t>(end - buf));
}

void format_double(double value, std::string& out) {
  char buf[detail::kMaxDoubleText];
  const char* end = detail::write_double(value, buf);
  out.append(buf, static_cast<std::size_t>(end - buf));
}

void write_compact(const JsonValue& value, std::string& out) {
  Sink sink(out);
  write_value(value, sink);
}

std::string to_canonical_text(const JsonValue& value) {
  std::string out;
  write_compact(value, out);
  return out;
}

}  // namespace tarnwick
