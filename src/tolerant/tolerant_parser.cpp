// The tolerant parser.
//
// Linear time: every pass of the array and object loops consumes at least one
// code point or finishes its container; the only look-ahead (after an
// outermost closer) crosses White_Space that is then either consumed or ends
// the parse; skip_balanced reads each code point once. Bounded stack: the
// recursion parse_value -> parse_array/parse_object -> parse_value opens at
// most MAX_DEPTH containers.

#include "tolerant/tolerant_parser.h"

#include <cstddef>  // size_t
#include <cstdint>  // uint32_t, uint64_t

#include "json/number.h"
#include "text/chars.h"
#include "text/hex.h"
#include "text/swar.h"
#include "text/utf8.h"

namespace tarnwick::detail {

namespace {

// MARK: - Character classes (Private)

constexpr bool is_word_char(unsigned char c) noexcept {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr bool is_number_run_char(unsigned char c) noexcept {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' ||
         c == 'e' || c == 'E';
}

// Appends [p, end), which holds no quotation mark or backslash, with every
// byte that starts no well-formed UTF-8 sequence written as U+FFFD. Valid
// stretches are appended whole.
void append_utf8_run(const char* p, const char* end, std::string& out) {
  const std::string_view run(p, static_cast<std::size_t>(end - p));
  std::size_t kept = 0;  // start of the stretch not yet appended
  std::size_t i = 0;
  while (i < run.size()) {
    if (run.size() - i >= 8 && (load_u64(p + i) & kHighs) == 0) {
      i += 8;
      continue;
    }
    if (static_cast<unsigned char>(run[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    (void)decode_utf8(run, i);
    if (i - start == 1) {  // only a byte that starts nothing is taken alone
      out.append(p + kept, start - kept);
      out.append("\xEF\xBF\xBD", 3);
      kept = i;
    }
  }
  out.append(p + kept, run.size() - kept);
}

}  // namespace

// MARK: - Construction (Public)

TolerantScanner::TolerantScanner(std::string_view text)
    : s_(text.data()), n_(text.size()) {
  stack_.reserve(MAX_DEPTH);
}

JsonValue parse_tolerant(std::string_view text) {
  TolerantParser parser(text);
  parser.skip_whitespace();
  return parser.parse_value();
}

// MARK: - Steps (Private)

void TolerantScanner::push(ContainerKind kind) {
  stack_.push_back(kind);
  if (kind == ContainerKind::Object) {
    ++open_objects_;
  } else {
    ++open_arrays_;
  }
  if (stack_.size() > peak_depth_) peak_depth_ = stack_.size();
}

void TolerantScanner::pop() noexcept {
  if (stack_.back() == ContainerKind::Object) {
    --open_objects_;
  } else {
    --open_arrays_;
  }
  stack_.pop_back();
}

TolerantScanner::Word TolerantScanner::parse_word() noexcept {
  const std::size_t start = pos_;
  while (pos_ < n_ && is_word_char(at(pos_))) ++pos_;
  const std::string_view word(s_ + start, pos_ - start);
  if (word == "true") return Word::True;
  if (word == "false") return Word::False;
  return Word::Other;
}

std::optional<JsonNumber> TolerantScanner::parse_number_run() noexcept {
  const std::size_t start = pos_;
  while (pos_ < n_ && is_number_run_char(at(pos_))) ++pos_;
  // The run is judged as a whole number document, as the strict reader
  // would: it must start like a number and be one token.
  const unsigned char first = at(start);
  if (first != '-' && !is_digit(first)) return std::nullopt;
  const char* const end = s_ + pos_;
  const NumberScan scan = scan_number(s_ + start, end);
  JsonNumber number;
  if (scan.error != NumberScanError::None || scan.stop != end ||
      !convert_number(scan, number)) {
    return std::nullopt;
  }
  return number;
}

bool TolerantScanner::continue_top_level() noexcept {
  const std::size_t closer = pos_;
  ++pos_;
  skip_ws();
  if (pos_ < n_ && at(pos_) == ',') {
    ++pos_;
    return true;
  }
  pos_ = closer;
  return false;
}

// Bytes, not code points: only ASCII matters here, and the bytes of a
// multi-byte sequence are never ASCII.
void TolerantScanner::skip_balanced(char open, char close) noexcept {
  std::uint64_t count = 0;
  bool in_string = false;
  while (pos_ < n_) {
    const char c = s_[pos_++];
    if (in_string) {
      if (c == '\\') {
        if (pos_ < n_) ++pos_;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == open) {
      ++count;
    } else if (c == close) {
      if (--count == 0) return;
    }
  }
}

std::uint32_t TolerantScanner::read_hex4() noexcept {
  std::uint32_t value = 0;
  pos_ += read_hex_digits(s_ + pos_, s_ + n_, value);
  return value;
}

void TolerantScanner::parse_string(std::string& out) {
  ++pos_;  // opening quote
  out.clear();
  const char* const end = s_ + n_;
  while (pos_ < n_) {
    // A run up to the next quote, backslash or raw control character, which
    // covers most string content, copied in one append.
    const char* const run = s_ + pos_;
    const char* const stop = find_string_special(run, end);
    if (stop != run) {
      append_utf8_run(run, stop, out);
      pos_ = static_cast<std::size_t>(stop - s_);
      if (stop == end) break;
    }
    const char c = s_[pos_++];
    if (c == '"') break;
    if (c != '\\') {  // a raw control character is kept
      out.push_back(c);
      continue;
    }
    if (pos_ >= n_) {  // a backslash that ends the text
      out.push_back('\\');
      break;
    }
    const char32_t e = decode_utf8(std::string_view(s_, n_), pos_);
    if (const char simple = simple_escape(e); simple != 0) {
      out.push_back(simple);
      continue;
    }
    switch (e) {
      case 'u': {
        const std::uint32_t u = read_hex4();
        if (u >= 0xD800 && u <= 0xDBFF && pos_ + 1 < n_ && at(pos_) == '\\' &&
            at(pos_ + 1) == 'u') {
          pos_ += 2;
          const std::uint32_t w = read_hex4();
          if (w >= 0xDC00 && w <= 0xDFFF) {
            append_utf8(combine_surrogates(u, w), out);
          } else {
            append_utf8(0xFFFD, out);
          }
        } else if (u >= 0xD800 && u <= 0xDFFF) {
          append_utf8(0xFFFD, out);
        } else {
          append_utf8(u, out);
        }
        break;
      }
      default:  // unknown escape: both characters are kept
        out.push_back('\\');
        append_utf8(e, out);
        break;
    }
  }
}

}  // namespace tarnwick::detail
