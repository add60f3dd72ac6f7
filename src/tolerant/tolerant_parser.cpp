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
#include "text/swar.h"
#include "text/utf8.h"

namespace tarnwick::detail {

namespace {

// MARK: - Character classes (Private)

constexpr bool is_word_char(char32_t c) noexcept {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr bool is_number_run_char(char32_t c) noexcept {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' ||
         c == 'e' || c == 'E';
}

}  // namespace

// MARK: - Construction (Public)

TolerantScanner::TolerantScanner(std::string_view text) {
  // At most one code point per byte; ASCII is copied eight bytes at a time.
  chars_.resize(text.size());
  char32_t* out = chars_.data();
  const char* const s = text.data();
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
#if defined(__SSE2__)
    // Sixteen ASCII bytes widened to code points in four stores.
    if (n - i >= 16) {
      const __m128i v =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      if (_mm_movemask_epi8(v) == 0) {
        const __m128i z = _mm_setzero_si128();
        const __m128i lo = _mm_unpacklo_epi8(v, z);
        const __m128i hi = _mm_unpackhi_epi8(v, z);
        auto* o = reinterpret_cast<__m128i*>(out);
        _mm_storeu_si128(o, _mm_unpacklo_epi16(lo, z));
        _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(lo, z));
        _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(hi, z));
        _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(hi, z));
        out += 16;
        i += 16;
        continue;
      }
    }
#endif
    if (n - i >= 8 && (load_u64(s + i) & kHighs) == 0) {
      for (std::size_t k = 0; k < 8; ++k) {
        out[k] = static_cast<unsigned char>(s[i + k]);
      }
      out += 8;
      i += 8;
      continue;
    }
    *out++ = decode_utf8(text, i);
  }
  chars_.resize(static_cast<std::size_t>(out - chars_.data()));
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
  const std::size_t n = chars_.size();
  while (pos_ < n && is_word_char(chars_[pos_])) ++pos_;
  const std::size_t len = pos_ - start;
  const char32_t* w = chars_.data() + start;
  if (len == 4 && w[0] == 't' && w[1] == 'r' && w[2] == 'u' && w[3] == 'e') {
    return Word::True;
  }
  if (len == 5 && w[0] == 'f' && w[1] == 'a' && w[2] == 'l' && w[3] == 's' &&
      w[4] == 'e') {
    return Word::False;
  }
  return Word::Other;
}

std::optional<JsonNumber> TolerantScanner::parse_number_run() {
  const std::size_t start = pos_;
  const std::size_t n = chars_.size();
  while (pos_ < n && is_number_run_char(chars_[pos_])) ++pos_;
  // The run is ASCII and judged as a whole number document, as the strict
  // reader would: it must start like a number and be one token.
  const char32_t first = chars_[start];
  if (first != '-' && (first < '0' || first > '9')) return std::nullopt;
  run_.clear();
  run_.reserve(pos_ - start);
  for (std::size_t i = start; i < pos_; ++i) {
    run_.push_back(static_cast<char>(chars_[i]));
  }
  const char* const end = run_.data() + run_.size();
  const NumberScan scan = scan_number(run_.data(), end);
  JsonNumber number;
  if (scan.error != NumberScanError::None || scan.stop != end ||
      !convert_number(scan, number)) {
    return std::nullopt;
  }
  return number;
}

bool TolerantScanner::continue_top_level() noexcept {
  const std::size_t n = chars_.size();
  std::size_t q = pos_ + 1;
  while (q < n && is_white_space(chars_[q])) ++q;
  if (q < n && chars_[q] == ',') {
    pos_ = q + 1;
    return true;
  }
  return false;
}

void TolerantScanner::skip_balanced(char32_t open, char32_t close) noexcept {
  const std::size_t n = chars_.size();
  std::uint64_t count = 0;
  bool in_string = false;
  while (pos_ < n) {
    const char32_t c = chars_[pos_++];
    if (in_string) {
      if (c == '\\') {
        if (pos_ < n) ++pos_;
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
  const std::size_t n = chars_.size();
  std::uint32_t value = 0;
  for (int k = 0; k < 4 && pos_ < n; ++k) {
    const int digit = hex_value(chars_[pos_]);
    if (digit < 0) break;
    value = value * 16 + static_cast<std::uint32_t>(digit);
    ++pos_;
  }
  return value;
}

void TolerantScanner::parse_string(std::string& out) {
  ++pos_;  // opening quote
  out.clear();
  const std::size_t n = chars_.size();
  const char32_t* const cs = chars_.data();
  while (pos_ < n) {
    // A run of code points other than quote and backslash, which covers most
    // string content, encoded with one resize instead of one append per code
    // point. An ASCII run (the usual case) is narrowed byte for byte; any
    // other is measured first. Local indices, since the char stores could
    // alias pos_.
    const std::size_t run = pos_;
    std::size_t stop = run;
    char32_t seen = 0;  // every code point of the run or-ed together
    while (stop < n && cs[stop] != '"' && cs[stop] != '\\') {
      seen |= cs[stop];
      ++stop;
    }
    if (stop != run) {
      const std::size_t old = out.size();
      if (seen < 0x80) {
        out.resize(old + (stop - run));
        char* dst = out.data() + old;
        for (std::size_t k = run; k < stop; ++k) {
          *dst++ = static_cast<char>(cs[k]);
        }
      } else {
        std::size_t bytes = 0;
        for (std::size_t k = run; k < stop; ++k) bytes += utf8_length(cs[k]);
        out.resize(old + bytes);
        char* dst = out.data() + old;
        for (std::size_t k = run; k < stop; ++k) dst = write_utf8(cs[k], dst);
      }
      pos_ = stop;
      if (stop >= n) break;
    }
    const char32_t c = cs[pos_++];
    if (c == '"') break;
    if (c != '\\') {
      append_utf8(c, out);
      continue;
    }
    if (pos_ >= n) {  // a backslash that ends the text
      out.push_back('\\');
      break;
    }
    const char32_t e = chars_[pos_++];
    if (const char simple = simple_escape(e); simple != 0) {
      out.push_back(simple);
      continue;
    }
    switch (e) {
      case 'u': {
        const std::uint32_t u = read_hex4();
        if (u >= 0xD800 && u <= 0xDBFF && pos_ + 1 < n &&
            chars_[pos_] == '\\' && chars_[pos_ + 1] == 'u') {
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
