// The lenient pass: one scan over the text, with an explicit stack of open
// containers, that records edits (replace a byte range by new bytes) where
// the text departs from strict JSON. Text that needs no edit is never
// copied; otherwise the edits are applied in one pass at the end.

#include "tarnwick/lenient.h"

#include <algorithm>    // stable_sort
#include <cstddef>      // size_t
#include <cstdint>      // uint32_t, uint64_t
#include <cstring>      // memcpy
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // pair
#include <vector>       // vector

#include "json/number.h"
#include "lenient/extraction.h"  // bracket_span_end
#include "tarnwick/writer.h"     // escape_string
#include "text/chars.h"
#include "text/swar.h"
#include "text/utf8.h"

namespace tarnwick {

std::string_view fix_name(Fix fix) noexcept {
  switch (fix) {
    case Fix::ByteOrderMark:
      return "byte-order-mark";
    case Fix::LoneSurrogates:
      return "lone-surrogates";
    case Fix::EscapedDocument:
      return "escaped-document";
    case Fix::Quotes:
      return "quotes";
    case Fix::InnerQuotes:
      return "inner-quotes";
    case Fix::Comments:
      return "comments";
    case Fix::Literals:
      return "literals";
    case Fix::UnquotedKeys:
      return "unquoted-keys";
    case Fix::BareWords:
      return "bare-words";
    case Fix::Numbers:
      return "numbers";
    case Fix::ControlCharacters:
      return "control-characters";
    case Fix::Escapes:
      return "escapes";
    case Fix::Ellipsis:
      return "ellipsis";
    case Fix::Wrappers:
      return "wrappers";
    case Fix::Concatenation:
      return "concatenation";
    case Fix::MultipleValues:
      return "multiple-values";
    case Fix::MissingPunctuation:
      return "missing-punctuation";
    case Fix::TrailingCommas:
      return "trailing-commas";
    case Fix::Brackets:
      return "brackets";
    case Fix::Truncated:
      return "truncated";
    case Fix::TrailingText:
      return "trailing-text";
  }
  return "unknown";
}

namespace {

using detail::hex_value;
using detail::is_digit;
using detail::is_json_ws;

constexpr std::size_t npos = std::string_view::npos;

// The strict reader accepts 127 nested containers; a deeper one becomes null.
constexpr std::size_t kMaxDepth = 127;

// String delimiters. The typographic ones are three UTF-8 bytes each:
// U+201C/U+201D (double), U+2018/U+2019 (single), and the low openers
// U+201E/U+201A that some languages close with the high marks.
enum class Quote : std::uint8_t {
  None,
  Double,
  Single,
  Backtick,
  SmartOpen,        // U+201C, closed by U+201D (or another U+201C)
  SmartClose,       // U+201D used as an opener
  SmartSingleOpen,  // U+2018, closed by U+2019
  LowOpen,          // U+201E, closed by U+201C or U+201D
  LowSingleOpen,    // U+201A, closed by U+2018 or U+2019
};

struct QuoteMark {
  Quote kind = Quote::None;
  std::size_t length = 0;
};

QuoteMark quote_at(std::string_view t, std::size_t i) noexcept {
  const char c = t[i];
  if (c == '"') return {Quote::Double, 1};
  if (c == '\'') return {Quote::Single, 1};
  if (c == '`') return {Quote::Backtick, 1};
  if (static_cast<unsigned char>(c) == 0xE2 && i + 2 < t.size() &&
      static_cast<unsigned char>(t[i + 1]) == 0x80) {
    switch (static_cast<unsigned char>(t[i + 2])) {
      case 0x9C:
        return {Quote::SmartOpen, 3};
      case 0x9D:
        return {Quote::SmartClose, 3};
      case 0x98:
        return {Quote::SmartSingleOpen, 3};
      case 0x9E:
        return {Quote::LowOpen, 3};
      case 0x9A:
        return {Quote::LowSingleOpen, 3};
      default:
        break;
    }
  }
  return {};
}

// Whether the mark at t[i] can close a string opened by `open`; its length.
std::size_t closer_at(std::string_view t, std::size_t i, Quote open) noexcept {
  switch (open) {
    case Quote::Double:
      return t[i] == '"' ? 1 : 0;
    case Quote::Single:
      return t[i] == '\'' ? 1 : 0;
    case Quote::Backtick:
      return t[i] == '`' ? 1 : 0;
    default:
      break;
  }
  if (static_cast<unsigned char>(t[i]) != 0xE2 || i + 2 >= t.size() ||
      static_cast<unsigned char>(t[i + 1]) != 0x80) {
    return 0;
  }
  const auto b = static_cast<unsigned char>(t[i + 2]);
  if (open == Quote::SmartSingleOpen) return b == 0x99 ? 3 : 0;
  if (open == Quote::LowSingleOpen) return b == 0x98 || b == 0x99 ? 3 : 0;
  return b == 0x9D || b == 0x9C ? 3 : 0;
}

// Whether `rest` is what is left of a \uXXXX escape cut by the end of the
// text: nothing, "\", "\u" or "\u" and fewer than four hex digits.
bool is_cut_escape(std::string_view rest) noexcept {
  if (rest.empty()) return true;
  if (rest[0] != '\\' || rest.size() >= 6) return false;
  if (rest.size() >= 2 && rest[1] != 'u') return false;
  for (std::size_t k = 2; k < rest.size(); ++k) {
    if (hex_value(static_cast<unsigned char>(rest[k])) < 0) return false;
  }
  return true;
}

// Bytes after which a literal or a number read as strict text ends for sure.
bool ends_plain_token(char c) noexcept {
  return c == ',' || c == '}' || c == ']' || c == '\n' || c == '\r';
}

bool is_ident_byte(unsigned char c) noexcept {
  return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         is_digit(c) || c == '_' || c == '$';
}

bool equals_ignoring_case(std::string_view word, std::string_view lower) {
  if (word.size() != lower.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    char c = word[k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[k]) return false;
  }
  return true;
}

// The literal that `word`, cut by the end of the text, is the start of
// ("tr" of true, "Nu" of null, "No" of None); empty when none.
std::string_view cut_literal(std::string_view word) noexcept {
  for (const std::string_view full : {"true", "false", "null", "none"}) {
    if (word.size() < full.size() &&
        equals_ignoring_case(word, full.substr(0, word.size()))) {
      return full == "none" ? "null" : full;
    }
  }
  return {};
}

// A number spelled the way people and other languages write it: a sign,
// digit separators, a bare point, hexadecimal, octal or binary, leading
// zeros, a cut exponent. Its strict spelling, or nothing.
bool normalise_number(std::string_view word, std::string& out) {
  std::size_t k = 0;
  bool negative = false;
  if (k < word.size() && (word[k] == '+' || word[k] == '-')) {
    negative = word[k] == '-';
    ++k;
  }
  if (k == word.size()) return false;
  // 0x1f, 0o17, 0b101: an unsigned integer in that base.
  if (word.size() - k > 2 && word[k] == '0') {
    const char b = static_cast<char>(word[k + 1] | 0x20);
    const unsigned base = b == 'x' ? 16 : b == 'o' ? 8 : b == 'b' ? 2 : 0;
    if (base != 0) {
      std::uint64_t v = 0;
      bool any = false;
      for (std::size_t m = k + 2; m < word.size(); ++m) {
        if (word[m] == '_') continue;
        const int d = hex_value(static_cast<unsigned char>(word[m]));
        if (d < 0 || static_cast<unsigned>(d) >= base) return false;
        if (v > (UINT64_MAX - static_cast<unsigned>(d)) / base) return false;
        v = v * base + static_cast<unsigned>(d);
        any = true;
      }
      if (!any) return false;
      if (negative && v != 0) {
        if (v > (std::uint64_t{1} << 63)) return false;
        out.push_back('-');
      }
      out += std::to_string(v);
      return true;
    }
  }
  std::string digits;
  std::string fraction;
  std::string exponent;
  bool point = false;
  bool exp_negative = false;
  // Digit separators only between digits.
  auto take_digits = [&](std::string& into) {
    while (k < word.size()) {
      const char c = word[k];
      if (is_digit(static_cast<unsigned char>(c))) {
        into.push_back(c);
      } else if (c == '_' && !into.empty() && k + 1 < word.size() &&
                 is_digit(static_cast<unsigned char>(word[k + 1]))) {
      } else {
        break;
      }
      ++k;
    }
  };
  take_digits(digits);
  if (k < word.size() && word[k] == '.') {
    point = true;
    ++k;
    take_digits(fraction);
  }
  if (digits.empty() && fraction.empty()) return false;
  if (k < word.size() && (word[k] == 'e' || word[k] == 'E')) {
    ++k;
    if (k < word.size() && (word[k] == '+' || word[k] == '-')) {
      exp_negative = word[k] == '-';
      ++k;
    }
    take_digits(exponent);
    // "1e" or "1e+" only where the text was cut; elsewhere it is a word.
  }
  if (k != word.size()) return false;
  std::size_t lead = 0;
  while (lead + 1 < digits.size() && digits[lead] == '0') ++lead;
  if (negative) out.push_back('-');
  out += digits.empty() ? std::string_view("0")
                        : std::string_view(digits).substr(lead);
  if (point) {
    out.push_back('.');
    out += fraction.empty() ? std::string_view("0") : fraction;
  }
  if (!exponent.empty()) {
    out.push_back('e');
    if (exp_negative) out.push_back('-');
    out += exponent;
  }
  return true;
}

// Whether a strict number token would overflow the double range, which the
// strict reader refuses. Only long tokens can.
bool number_overflows(const detail::NumberScan& scan) {
  if (scan.exp_end - scan.exp_begin < 3 &&
      scan.int_end - scan.int_begin < 300) {
    return false;
  }
  JsonNumber ignored;
  return !detail::convert_number(scan, ignored);
}

// Where the value of a strict document lies in `text` ([first, second),
// whitespace around it left out), or nothing when the text is not one
// strict document as the strict reader judges it: its grammar, escapes
// (surrogates paired), number range and nesting limit. Builds nothing and
// edits nothing, so the texts that need no rewrite cost one quick look.
std::optional<std::pair<std::size_t, std::size_t>> strict_document_span(
    std::string_view t) noexcept {
  const char* const begin = t.data();
  const char* const end = begin + t.size();
  const char* p = begin;
  auto skip_ws = [&] {
    while (p != end && is_json_ws(static_cast<unsigned char>(*p))) ++p;
  };
  // Containers open, innermost last: '{' or '['.
  char stack[kMaxDepth];
  std::size_t depth = 0;
  skip_ws();
  const char* first = p;
  // Reads one string at p (a quotation mark); false when it is not strict.
  auto string = [&]() -> bool {
    ++p;
    while (true) {
      p = detail::find_string_special(p, end);
      if (p == end) return false;
      const char c = *p;
      if (c == '"') {
        ++p;
        return true;
      }
      if (c != '\\' || end - p < 2) return false;  // a raw control
      const char e = p[1];
      if (e != 'u') {
        if (e != '"' && e != '\\' && e != '/' && e != 'b' && e != 'f' &&
            e != 'n' && e != 'r' && e != 't') {
          return false;
        }
        p += 2;
        continue;
      }
      auto hex4 = [&](const char* q, std::uint32_t& code) {
        if (end - q < 4) return false;
        code = 0;
        for (int k = 0; k < 4; ++k) {
          const int d = hex_value(static_cast<unsigned char>(q[k]));
          if (d < 0) return false;
          code = code * 16 + static_cast<std::uint32_t>(d);
        }
        return true;
      };
      std::uint32_t code;
      if (!hex4(p + 2, code)) return false;
      p += 6;
      if (code >= 0xDC00 && code <= 0xDFFF) return false;
      if (code >= 0xD800 && code <= 0xDBFF) {
        std::uint32_t low;
        if (end - p < 6 || p[0] != '\\' || p[1] != 'u' || !hex4(p + 2, low) ||
            low < 0xDC00 || low > 0xDFFF) {
          return false;
        }
        p += 6;
      }
    }
  };
  while (true) {
    // A value is due.
    skip_ws();
    if (p == end) return std::nullopt;
    const char c = *p;
    if (c == '{' || c == '[') {
      if (depth == kMaxDepth) return std::nullopt;
      stack[depth++] = c;
      ++p;
      skip_ws();
      if (p != end && *p == (c == '{' ? '}' : ']')) {
        --depth;
        ++p;
      } else if (c == '{') {
        if (p == end || *p != '"' || !string()) return std::nullopt;
        skip_ws();
        if (p == end || *p != ':') return std::nullopt;
        ++p;
        continue;
      } else {
        continue;
      }
    } else if (c == '"') {
      if (!string()) return std::nullopt;
    } else if (c == '-' || is_digit(static_cast<unsigned char>(c))) {
      const detail::NumberScan scan = detail::scan_number(p, end);
      if (scan.error != detail::NumberScanError::None ||
          number_overflows(scan)) {
        return std::nullopt;
      }
      p = scan.stop;
    } else {
      const std::string_view rest(p, static_cast<std::size_t>(end - p));
      const std::size_t len = c == 'f' ? 5 : 4;
      if (rest.substr(0, len) != (c == 't'   ? "true"
                                  : c == 'f' ? "false"
                                             : "null")) {
        return std::nullopt;
      }
      p += len;
    }
    // A value was read: close what ends here, then a comma or the end.
    while (true) {
      skip_ws();
      if (depth == 0) {
        if (p != end) return std::nullopt;
        const char* last = end;
        while (last != first &&
               is_json_ws(static_cast<unsigned char>(last[-1]))) {
          --last;
        }
        return std::make_pair(static_cast<std::size_t>(first - begin),
                              static_cast<std::size_t>(last - begin));
      }
      if (p == end) return std::nullopt;
      const char open = stack[depth - 1];
      if (*p == (open == '{' ? '}' : ']')) {
        --depth;
        ++p;
        continue;
      }
      if (*p != ',') return std::nullopt;
      ++p;
      if (open == '{') {
        skip_ws();
        if (p == end || *p != '"' || !string()) return std::nullopt;
        skip_ws();
        if (p == end || *p != ':') return std::nullopt;
        ++p;
      }
      break;
    }
  }
}

class Pass {
 public:
  Pass(std::string_view text, LenientScope scope, bool may_unescape)
      : t_(text), n_(text.size()), scope_(scope), may_unescape_(may_unescape) {}

  LenientText run();

 private:
  // A Tuple is an array written in parentheses, as Python does.
  enum class Kind : std::uint8_t { Object, Array, Tuple, Wrapper };
  enum class State : std::uint8_t {
    Value,       // a value is due (array element, object value, argument)
    Key,         // an object key is due
    Colon,       // the colon after a key is due
    CommaOrEnd,  // after a value: a comma or the closer
  };
  struct Frame {
    Kind kind;
    State state;
    std::size_t comma;       // a comma not yet known to be followed by a value
    std::size_t member;      // where the current member or element started
    std::size_t edit_count;  // edits before the current member started
    bool empty;              // no element or member yet
    bool missing_comma;      // the next element or member needs a comma
  };
  // Where the value being read stands, for the rule that closes strings.
  enum class Place : std::uint8_t { Top, Array, ObjectValue, Key, Argument };

  // Replaces [pos, pos + len) by `size` bytes of arena_ at `off`; `fix` is
  // the family it belongs to (0 for layout that changes no value).
  // Texts are below 4 GiB (lenient_rewrite refuses longer ones), so 32 bits
  // hold every length and offset but the position. Replacements of up to
  // four bytes (most are one quote) are kept in `off` itself.
  struct Edit {
    std::size_t pos;
    std::uint32_t len;
    std::uint32_t off;
    std::uint32_t size;
    FixSet fix;

    const char* bytes(const std::string& arena) const noexcept {
      return size <= sizeof off ? reinterpret_cast<const char*>(&off)
                                : arena.data() + off;
    }
  };

  void replace(std::size_t pos, std::size_t len, std::string_view with,
               FixSet fix) {
    if (edits_.empty()) {
      edits_.reserve(n_ / 32 + 8);
    } else {
      // Most edits come in text order; the few that do not (a comma found
      // to be trailing, the bracket of values made one array) ask for a sort.
      const Edit& last = edits_.back();
      if (pos < last.pos || (pos == last.pos && len == 0 && last.len != 0)) {
        sorted_ = false;
      }
    }
    Edit& e =
        edits_.emplace_back(Edit{pos, static_cast<std::uint32_t>(len), 0,
                                 static_cast<std::uint32_t>(with.size()), fix});
    if (with.size() <= sizeof e.off) {
      if (!with.empty()) std::memcpy(&e.off, with.data(), with.size());
    } else {
      e.off = static_cast<std::uint32_t>(arena_.size());
      arena_ += with;
    }
  }
  void replace(std::size_t pos, std::size_t len, std::string_view with,
               Fix fix) {
    replace(pos, len, with, fix_bit(fix));
  }
  void erase(std::size_t pos, std::size_t len, Fix fix) {
    replace(pos, len, {}, fix);
  }
  void insert(std::size_t pos, std::string_view with, Fix fix) {
    replace(pos, 0, with, fix);
  }
  // Outside strings, \" or \n can only come from one more level of
  // encoding: the document was escaped but not quoted.
  bool escaped_layout_at(std::size_t p) const noexcept {
    if (!may_unescape_ || t_[p] != '\\' || p + 1 >= n_) return false;
    const char e = t_[p + 1];
    return e == '"' || e == 'n' || e == 't' || e == 'r';
  }
  bool ellipsis_at(std::size_t p) const noexcept {
    const char c = t_[p];
    if (c != '.' && c != '\xE2') return false;
    return t_.substr(p, 3) == "..." || t_.substr(p, 3) == "\xE2\x80\xA6";
  }

  Place place() const noexcept {
    if (stack_.empty()) return Place::Top;
    const Frame& f = stack_.back();
    if (f.kind == Kind::Array || f.kind == Kind::Tuple) return Place::Array;
    if (f.kind == Kind::Wrapper) return Place::Argument;
    return f.state == State::Value ? Place::ObjectValue : Place::Key;
  }

  // Whitespace (other White_Space deleted) and comments (deleted). The
  // common case, JSON's own whitespace, stays inline.
  void skip_trivia() {
    while (i_ < n_) {
      const auto c = static_cast<unsigned char>(t_[i_]);
      if (is_json_ws(c)) {
        ++i_;
      } else if (c == '/' || c == '#' || c >= 0x80) {
        skip_other_trivia();
        return;
      } else {
        return;
      }
    }
  }
  void skip_other_trivia();
  bool begin_value();  // false: no value starts here (top level only)
  void value_done();
  void after_top_value();
  void read_string(QuoteMark open, Place where);
  bool string_ends_at(std::size_t p, Place where) const;
  bool closer_follows_on_line(std::size_t p, Quote kind) const;
  bool quoted_key_at(std::size_t p) const;
  bool key_follows(std::size_t p) const;
  std::size_t word_end(std::size_t p, bool key) const;
  bool read_word(Place where);
  bool read_number_or_word(Place where);
  void push(Kind kind, State state);
  void close_top(std::size_t at, bool inserted);
  void handle_closer(char c);
  void skip_deep_container();
  void skip_rest_of_arguments();
  void finish();
  LenientText unescape_and_rerun() const;
  std::string apply_edits(std::size_t end, std::string_view prefix);

  std::string_view t_;
  std::size_t n_;
  LenientScope scope_;
  bool may_unescape_;
  std::size_t i_ = 0;
  std::vector<Frame> stack_;
  std::size_t depth_ = 0;  // open objects and arrays
  std::size_t peak_depth_ = 0;
  bool closed_empty_ = false;  // the container closed last had nothing in it
  std::vector<Edit> edits_;
  bool sorted_ = true;  // edits_ is in the order apply_edits needs
  std::string arena_;
  FixSet fixes_ = 0;       // families reported besides the edits' own
  std::size_t calls_ = 0;  // open parentheses: wrapper calls and tuples
  std::vector<std::size_t> letter_escapes_;  // read_string's, reused

  bool escaped_document_ = false;  // stop: the text is a document escaped once
  bool truncated_ = false;         // something was closed at the end
  bool stop_ = false;
  // The top level: complete values, where the first began, where the last
  // ended, and the edits that belong to them.
  std::size_t values_ = 0;
  std::size_t first_start_ = 0;
  std::size_t end_ = 0;
  std::size_t edits_at_end_ = 0;
  bool multi_ = false;
  bool multi_at_end_ = false;
  bool top_due_ = true;  // a top-level value is due
  std::size_t top_comma_ = npos;
};

void Pass::skip_other_trivia() {
  while (i_ < n_) {
    const auto c = static_cast<unsigned char>(t_[i_]);
    if (is_json_ws(c)) {
      ++i_;
      continue;
    }
    if (c == '/' && i_ + 1 < n_ && (t_[i_ + 1] == '/' || t_[i_ + 1] == '*')) {
      std::size_t stop;
      if (t_[i_ + 1] == '/') {
        stop = t_.find('\n', i_ + 2);
        if (stop == npos) stop = n_;
      } else {
        stop = t_.find("*/", i_ + 2);
        stop = stop == npos ? n_ : stop + 2;
      }
      erase(i_, stop - i_, Fix::Comments);
      i_ = stop;
      continue;
    }
    if (c == '#') {
      std::size_t stop = t_.find('\n', i_ + 1);
      if (stop == npos) stop = n_;
      erase(i_, stop - i_, Fix::Comments);
      i_ = stop;
      continue;
    }
    if (c >= 0x80) {
      const std::size_t w =
          detail::white_space_length(t_.data() + i_, t_.data() + n_);
      if (w != 0) {
        replace(i_, w, " ", FixSet{0});  // layout: no family to name
        i_ += w;
        continue;
      }
    }
    return;
  }
}

void Pass::push(Kind kind, State state) {
  stack_.push_back(Frame{kind, state, npos, i_, edits_.size(), true, false});
  if (kind == Kind::Wrapper || kind == Kind::Tuple) ++calls_;
  if (kind != Kind::Wrapper && ++depth_ > peak_depth_) peak_depth_ = depth_;
}

// A value has been read completely at i_: the frame below moves on.
void Pass::value_done() {
  if (stack_.empty()) {
    ++values_;
    end_ = i_;
    edits_at_end_ = edits_.size();
    multi_at_end_ = multi_;
    top_due_ = false;
    if (scope_ == LenientScope::OneValue) stop_ = true;
    return;
  }
  Frame& f = stack_.back();
  f.state = State::CommaOrEnd;
  f.empty = false;
  f.comma = npos;
}

// Closes the innermost frame: its closer is at `at` (inserted there when
// `inserted`). A value that was due is given as null.
void Pass::close_top(std::size_t at, bool inserted) {
  Frame f = stack_.back();
  if (f.comma != npos) erase(f.comma, 1, Fix::TrailingCommas);
  if (f.kind == Kind::Object) {
    if (f.state == State::Colon) {
      insert(at, ":null", Fix::MissingPunctuation);
      f.empty = false;
    } else if (f.state == State::Value) {
      insert(at, "null", Fix::MissingPunctuation);
      f.empty = false;
    }
    if (inserted) insert(at, "}", truncated_ ? Fix::Truncated : Fix::Brackets);
  } else if (f.kind == Kind::Array || f.kind == Kind::Tuple) {
    if (inserted) insert(at, "]", truncated_ ? Fix::Truncated : Fix::Brackets);
  } else if (f.state == State::Value) {
    insert(at, "null", Fix::Wrappers);  // name() with no argument
  }
  closed_empty_ = f.empty;
  stack_.pop_back();
  if (f.kind == Kind::Wrapper || f.kind == Kind::Tuple) --calls_;
  if (f.kind != Kind::Wrapper) --depth_;
}

// A closing bracket at i_: it closes the innermost container of its kind,
// and any opened inside that one; one that matches nothing is dropped.
void Pass::handle_closer(char c) {
  const Kind kind = c == '}'   ? Kind::Object
                    : c == ']' ? Kind::Array
                               : Kind::Wrapper;
  auto matches = [&](Kind open) {
    return open == kind || (kind == Kind::Wrapper && open == Kind::Tuple);
  };
  std::size_t match = stack_.size();
  while (match > 0 && !matches(stack_[match - 1].kind)) --match;
  if (match == 0) {
    erase(i_, 1, Fix::Brackets);
    ++i_;
    return;
  }
  while (stack_.size() > match) {
    close_top(i_, /*inserted=*/true);
    value_done();
  }
  if (stack_.back().kind == Kind::Wrapper) erase(i_, 1, Fix::Wrappers);
  if (stack_.back().kind == Kind::Tuple) replace(i_, 1, "]", Fix::Brackets);
  close_top(i_, /*inserted=*/false);
  ++i_;
  value_done();
}

// A container past the nesting limit: skipped whole (brackets counted,
// strings honoured) and given as null.
void Pass::skip_deep_container() {
  const std::size_t start = i_;
  i_ = detail::bracket_span_end(t_, i_);
  replace(start, i_ - start, "null", Fix::Brackets);
  value_done();
}

// After the first argument of a wrapper call: the others are dropped up to
// the parenthesis that closes the call.
void Pass::skip_rest_of_arguments() {
  const std::size_t start = i_;
  std::size_t depth = 0;
  QuoteMark in{};
  for (; i_ < n_; ++i_) {
    const char c = t_[i_];
    if (in.kind != Quote::None) {
      if (c == '\\') {
        ++i_;
      } else if (closer_at(t_, i_, in.kind) != 0) {
        in = {};
      }
    } else if (c == '"' || c == '\'') {
      in = quote_at(t_, i_);
    } else if (c == '(' || c == '[' || c == '{') {
      ++depth;
    } else if (c == ')' || c == ']' || c == '}') {
      if (depth == 0) break;
      --depth;
    }
  }
  if (i_ > n_) i_ = n_;
  erase(start, i_ - start, Fix::Wrappers);
}

// Whether the text at p (after an unquoted or quoted key) has a colon next,
// over horizontal whitespace.
bool Pass::key_follows(std::size_t p) const {
  while (p < n_ && (t_[p] == ' ' || t_[p] == '\t')) ++p;
  return p < n_ && t_[p] == ':';
}

// The rule that tells a closing quote from a quote inside the string: the
// quote before p closes it only where what follows fits the end of a string
// in that place.
bool Pass::string_ends_at(std::size_t p, Place where) const {
  bool line_break = false;
  while (p < n_) {
    const char c = t_[p];
    if (c == '\n' || c == '\r') {
      line_break = true;
    } else if (c != ' ' && c != '\t') {
      break;
    }
    ++p;
  }
  if (p >= n_) return true;
  const char c = t_[p];
  switch (c) {
    case '}':
    case ']':
    case ')':
      return true;
    case ':':
      return where == Place::Key || where == Place::Top;
    case ',': {
      if (where != Place::ObjectValue) return true;
      // In an object, a comma ends the value only if a key, a closer or the
      // end follows it.
      std::size_t q = p + 1;
      while (q < n_ &&
             (is_json_ws(static_cast<unsigned char>(t_[q])) || t_[q] == ',')) {
        ++q;
      }
      if (q >= n_) return true;
      const char d = t_[q];
      if (d == '}' || d == '"' || d == '\'' || d == '/' || d == '#' ||
          quote_at(t_, q).kind != Quote::None) {
        return true;
      }
      if (d == '.' || static_cast<unsigned char>(d) == 0xE2) return true;
      const std::size_t w = word_end(q, /*key=*/true);
      return w < n_ && t_[w] == ':';
    }
    case '+': {
      std::size_t q = p + 1;
      while (q < n_ && is_json_ws(static_cast<unsigned char>(t_[q]))) ++q;
      return q < n_ && quote_at(t_, q).kind != Quote::None;
    }
    case '/':
      return p + 1 < n_ && (t_[p + 1] == '/' || t_[p + 1] == '*');
    case '#':
      return p > 0 && (t_[p - 1] == ' ' || t_[p - 1] == '\t' || line_break);
    default:
      // A key with its colon left out ("a" 1): only a word that goes on
      // right after the quote keeps the key open.
      if (where == Place::Key) {
        return line_break || t_[p - 1] == ' ' || t_[p - 1] == '\t' ||
               !is_ident_byte(static_cast<unsigned char>(c));
      }
      break;
  }
  const QuoteMark next = quote_at(t_, p);
  if (next.kind != Quote::None) {
    // Another string: a missing comma, if that string is a key, or an
    // element of the same array.
    std::size_t q = p + next.length;
    while (q < n_ && closer_at(t_, q, next.kind) == 0 && t_[q] != '\n') {
      if (t_[q] == '\\') ++q;
      ++q;
    }
    if (q >= n_ || t_[q] == '\n') return false;
    q += closer_at(t_, q, next.kind);
    if (key_follows(q)) return where != Place::Key;
    if (where == Place::Array || where == Place::Top) {
      while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
      return q >= n_ || t_[q] == ',' || t_[q] == ']' || t_[q] == '\n' ||
             t_[q] == '\r';
    }
    return false;
  }
  if (!line_break) return false;
  // After a line break: an unquoted key, or another element.
  if (c == '{' || c == '[') return where == Place::Array || where == Place::Top;
  if (is_ident_byte(static_cast<unsigned char>(c))) {
    const std::size_t w = word_end(p, /*key=*/true);
    if (w < n_ && t_[w] == ':') return where == Place::ObjectValue;
    return (where == Place::Array || where == Place::Top) &&
           (is_digit(static_cast<unsigned char>(c)) || c == '-');
  }
  return c == '-' && (where == Place::Array || where == Place::Top);
}

// Whether another mark that could close a string of `kind` follows p on its
// line (the next line, when p ends one). A quote that fits no string's end
// is taken as inside the string only then: '"value" and more' at the end of
// a reply closes at its quote, '"apple "bee" carrot"' does not. Linear: the
// text looked at runs to the next such mark, which the string reads next.
bool Pass::closer_follows_on_line(std::size_t p, Quote kind) const {
  while (p < n_ && (t_[p] == ' ' || t_[p] == '\t')) ++p;
  if (p < n_ && t_[p] == '\r') ++p;
  if (p < n_ && t_[p] == '\n') ++p;
  for (; p < n_ && t_[p] != '\n'; ++p) {
    if (closer_at(t_, p, kind) != 0) return true;
  }
  return false;
}

// Whether a quoted string starts at p, ends on its line and has a colon
// after it: a key. Linear: the string is read next anyway.
bool Pass::quoted_key_at(std::size_t p) const {
  const QuoteMark open = quote_at(t_, p);
  if (open.kind == Quote::None) return false;
  for (std::size_t q = p + open.length; q < n_ && t_[q] != '\n'; ++q) {
    if (t_[q] == '\\') {
      ++q;
    } else if (const std::size_t close = closer_at(t_, q, open.kind)) {
      return key_follows(q + close);
    }
  }
  return false;
}

// Reads a string whose opening mark is at i_. Its delimiters become double
// quotes; what JSON does not allow inside is escaped; a string cut by the
// end of the text is closed.
void Pass::read_string(QuoteMark open, Place where) {
  if (open.kind != Quote::Double) replace(i_, open.length, "\"", Fix::Quotes);
  i_ += open.length;
  Quote kind = open.kind;
  bool literal_backslashes = false;
  // A comma in the value that an inner quote follows, and the edits before
  // it: where the value ends if that quote turns out to open a key.
  std::size_t lost_close = npos;
  std::size_t lost_close_edits = 0;
  letter_escapes_.clear();
  while (true) {
    // The plain run: nothing to look at in it.
    if (kind == Quote::Double) {
      i_ = static_cast<std::size_t>(
          detail::find_string_special(t_.data() + i_, t_.data() + n_) -
          t_.data());
    } else {
      const unsigned char extra = kind == Quote::Single     ? '\''
                                  : kind == Quote::Backtick ? '`'
                                                            : 0xE2;
      i_ = static_cast<std::size_t>(detail::find_string_special_or(
                                        t_.data() + i_, t_.data() + n_, extra) -
                                    t_.data());
    }
    if (i_ >= n_) {
      insert(n_, "\"", Fix::Truncated);
      truncated_ = true;
      return;
    }
    const auto c = static_cast<unsigned char>(t_[i_]);
    if (c == '\\') {
      if (i_ + 1 >= n_) {
        erase(i_, 1, Fix::Truncated);  // an escape cut by the end
        ++i_;
        continue;
      }
      const char e = t_[i_ + 1];
      switch (e) {
        case '"':
        case '\\':
          i_ += 2;
          continue;
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
          // A letter escape: literal in a string that has shown it does not
          // escape its backslashes (C:\Users\new), an escape otherwise.
          if (literal_backslashes) {
            insert(i_, "\\", Fix::Escapes);
          } else {
            letter_escapes_.push_back(i_);
          }
          i_ += 2;
          continue;
        case '\'':
          erase(i_, 1, Fix::Escapes);
          i_ += 2;
          continue;
        case 'u': {
          std::size_t h = i_ + 2;
          std::uint32_t code = 0;
          while (h < n_ && h < i_ + 6 &&
                 hex_value(static_cast<unsigned char>(t_[h])) >= 0) {
            code = code * 16 + static_cast<std::uint32_t>(hex_value(
                                   static_cast<unsigned char>(t_[h])));
            ++h;
          }
          if (h < i_ + 6) {
            if (h >= n_) {  // cut by the end: dropped, never a character
              erase(i_, n_ - i_, Fix::Truncated);
              i_ = n_;
            } else {
              replace(i_, 1, "\\\\", Fix::Escapes);
              ++i_;
            }
            continue;
          }
          if (code >= 0xD800 && code <= 0xDBFF) {
            // A high surrogate counts only with its low half next.
            std::uint32_t low = 0;
            bool paired = h + 6 <= n_ && t_[h] == '\\' && t_[h + 1] == 'u';
            for (std::size_t k = h + 2; paired && k < h + 6; ++k) {
              const int d = hex_value(static_cast<unsigned char>(t_[k]));
              if (d < 0) paired = false;
              low = low * 16 + static_cast<std::uint32_t>(d < 0 ? 0 : d);
            }
            if (paired && low >= 0xDC00 && low <= 0xDFFF) {
              i_ = h + 6;
              continue;
            }
            if (h + 6 > n_ && is_cut_escape(t_.substr(h))) {
              // Its low half cut by the end: both dropped.
              erase(i_, n_ - i_, Fix::Truncated);
              i_ = n_;
              continue;
            }
          }
          if (code >= 0xD800 && code <= 0xDFFF) {
            replace(i_, 6, "\\ufffd", Fix::Escapes);
          }
          i_ = h;
          continue;
        }
        default:
          // An escape JSON lacks: the backslash stays, as a character, and
          // so do the others of this string, which was written unescaped.
          replace(i_, 1, "\\\\", Fix::Escapes);
          ++i_;
          if (!literal_backslashes) {
            literal_backslashes = true;
            for (const std::size_t at : letter_escapes_) {
              insert(at, "\\", Fix::Escapes);
            }
          }
          continue;
      }
    }
    if (c < 0x20) {
      std::string escaped;
      escape_string(t_.substr(i_, 1), escaped);  // with quotes around
      replace(i_, 1, std::string_view(escaped).substr(1, escaped.size() - 2),
              Fix::ControlCharacters);
      ++i_;
      continue;
    }
    const std::size_t close = closer_at(t_, i_, kind);
    if (close != 0) {
      const std::size_t after = i_ + close;
      // What strict text has after a string decides at once.
      const char follow = after < n_ ? t_[after] : ' ';
      const bool plain_end =
          follow == '}' || follow == ']' ||
          (follow == ':' && where == Place::Key) ||
          (follow == ',' && (where != Place::ObjectValue ||
                             (after + 1 < n_ && t_[after + 1] == '"')));
      if (where == Place::ObjectValue && lost_close != npos) {
        // "value, "key": the value lost its closing quote before a comma
        // that a quoted key follows: it ends at that comma after all.
        std::size_t q = after;
        while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
        if (q < n_ && t_[q] == ':') {
          edits_.resize(lost_close_edits);
          insert(lost_close, "\"", Fix::Quotes);
          i_ = lost_close;
          return;
        }
      }
      if (plain_end || string_ends_at(after, where) ||
          !closer_follows_on_line(after, kind)) {
        // "a" + "b": the two strings become one.
        std::size_t q = after;
        while (!plain_end && q < n_ &&
               is_json_ws(static_cast<unsigned char>(t_[q]))) {
          ++q;
        }
        if (!plain_end && q < n_ && t_[q] == '+' && where != Place::Key) {
          ++q;
          while (q < n_ && is_json_ws(static_cast<unsigned char>(t_[q]))) ++q;
          const QuoteMark next = q < n_ ? quote_at(t_, q) : QuoteMark{};
          if (next.kind != Quote::None) {
            erase(i_, q + next.length - i_, Fix::Concatenation);
            i_ = q + next.length;
            kind = next.kind;
            continue;
          }
        }
        if (kind != Quote::Double) replace(i_, close, "\"", Fix::Quotes);
        i_ = after;
        return;
      }
      if (where == Place::ObjectValue) {
        // An inner quote right after a comma may open a key (see above).
        std::size_t b = i_;
        while (b > 0 && (t_[b - 1] == ' ' || t_[b - 1] == '\t')) --b;
        if (b > 0 && t_[b - 1] == ',') {
          lost_close = b - 1;
          // A tab between the comma and the quote was escaped as string
          // content; outside the string it is whitespace again.
          lost_close_edits = edits_.size();
          while (lost_close_edits > 0 &&
                 edits_[lost_close_edits - 1].pos > lost_close) {
            --lost_close_edits;
          }
        } else {
          lost_close = npos;
        }
      }
      if (c == '"') {
        insert(i_, "\\", Fix::InnerQuotes);
      }
      i_ = after;
      continue;
    }
    if (c == '"') {  // inside a string of other quotes
      insert(i_, "\\", Fix::Quotes);
      ++i_;
      continue;
    }
    // A quote of another kind, or another character starting 0xE2.
    ++i_;
  }
}

// Where an unquoted word that starts at p ends. A key runs to the colon;
// a value to a comma, a closer, a line break, a quote or a comment.
std::size_t Pass::word_end(std::size_t p, bool key) const {
  const std::size_t start = p;
  while (p < n_) {
    const char c = t_[p];
    if (c == ',' || c == '}' || c == ']' || c == '{' || c == '[' || c == '"' ||
        c == '\n' || c == '\r' || (c == ')' && calls_ != 0)) {
      return p;
    }
    // A call: the name (dotted, perhaps after "new ") runs up to its
    // parenthesis.
    if (c == '(' && !key && p > start &&
        is_ident_byte(static_cast<unsigned char>(t_[p - 1]))) {
      std::size_t k = start;
      if (t_.substr(k, 4) == "new ") {
        k += 4;
        while (k < p && t_[k] == ' ') ++k;
      }
      bool name = k < p;
      for (; k < p && name; ++k) {
        const auto b = static_cast<unsigned char>(t_[k]);
        name = is_ident_byte(b) || b == '.';
      }
      if (name) return p;
    }
    if (key && (c == ':' || c == '\'' || c == ' ' || c == '\t')) {
      // Keys may hold spaces only when the colon follows the last word.
      if (c == ':' || c == '\'') return p;
      std::size_t q = p;
      while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
      if (q < n_ && t_[q] == ':') return p;
    }
    if ((c == ' ' || c == '\t') && p + 1 < n_) {
      const char d = t_[p + 1];
      if (d == '#' ||
          (d == '/' && p + 2 < n_ && (t_[p + 2] == '/' || t_[p + 2] == '*'))) {
        return p;
      }
    }
    ++p;
  }
  return p;
}

// A word in value position at i_: a literal, a number, a wrapper call or an
// unquoted string. At the top level only the first three count; false then.
bool Pass::read_word(Place where) {
  const std::size_t start = i_;
  std::size_t end = word_end(i_, /*key=*/false);
  std::size_t trimmed = end;
  while (trimmed > start &&
         (t_[trimmed - 1] == ' ' || t_[trimmed - 1] == '\t')) {
    --trimmed;
  }
  std::string_view word = t_.substr(start, trimmed - start);
  // value", a string that lost its opening quote, has its closing one.
  std::size_t stray_quote = 0;
  if (end < n_ && t_[end] == '"' && end == trimmed && where != Place::Top) {
    std::size_t q = end + 1;
    while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
    if (q >= n_ || t_[q] == ',' || t_[q] == '}' || t_[q] == ']' ||
        t_[q] == '\n' || t_[q] == '\r') {
      stray_quote = 1;
    }
  }
  // name(...), ObjectId("..."), new Date(...): the call gives its argument.
  if (end < n_ && t_[end] == '(' && end == trimmed) {
    {
      erase(start, end + 1 - start, Fix::Wrappers);
      i_ = end + 1;
      push(Kind::Wrapper, State::Value);
      return true;
    }
  }
  std::string out;
  if (equals_ignoring_case(word, "true") ||
      equals_ignoring_case(word, "false") ||
      equals_ignoring_case(word, "null") ||
      equals_ignoring_case(word, "none") || equals_ignoring_case(word, "nil")) {
    const char first = static_cast<char>(word[0] | 0x20);
    const std::string_view literal = first == 't'   ? "true"
                                     : first == 'f' ? "false"
                                                    : "null";
    if (literal != word) replace(start, word.size(), literal, Fix::Literals);
  } else if (word == "undefined" || word == "NaN" || word == "nan" ||
             word == "Infinity" || word == "-Infinity" || word == "+Infinity" ||
             word == "inf" || word == "-inf") {
    replace(start, word.size(), "null", Fix::Literals);
  } else if (!word.empty() && normalise_number(word, out)) {
    const detail::NumberScan scan =
        detail::scan_number(out.data(), out.data() + out.size());
    if (number_overflows(scan)) {
      replace(start, word.size(), "null", Fix::Numbers);
    } else if (out != word) {
      replace(start, word.size(), out, Fix::Numbers);
    }
  } else if (!word.empty() && (word == "-" || word == "+") && trimmed == n_) {
    replace(start, word.size(), "null", Fix::Truncated);  // a cut number
  } else if (const std::string_view literal = cut_literal(word);
             trimmed == n_ && where != Place::Top && !literal.empty()) {
    replace(start, word.size(), literal, Fix::Truncated);
  } else {
    if (where == Place::Top) return false;
    if (word.empty()) {
      // A character that starts nothing: dropped.
      erase(start, 1, Fix::BareWords);
      i_ = start + 1;
      return true;
    }
    out.clear();
    escape_string(word, out);
    replace(start, word.size() + stray_quote, out,
            stray_quote != 0 ? Fix::Quotes : Fix::BareWords);
    i_ = trimmed + stray_quote;
    value_done();
    return true;
  }
  if (stray_quote != 0) erase(trimmed, 1, Fix::Quotes);  // True", 12"
  i_ = trimmed + stray_quote;
  value_done();
  return true;
}

// A value at i_ starting with a digit, a sign or a point: a strict number
// as it stands where it can be, else a word. False as read_word.
bool Pass::read_number_or_word(Place where) {
  const char c = t_[i_];
  if (c == '-' || is_digit(static_cast<unsigned char>(c))) {
    const detail::NumberScan scan =
        detail::scan_number(t_.data() + i_, t_.data() + n_);
    if (scan.error == detail::NumberScanError::None) {
      const auto stop = static_cast<std::size_t>(scan.stop - t_.data());
      const char d = stop < n_ ? t_[stop] : ' ';
      const bool comment = (d == '/' && stop + 1 < n_ &&
                            (t_[stop + 1] == '/' || t_[stop + 1] == '*')) ||
                           d == '#';
      if (d == ',' || d == '}' || d == ']' || d == ')' || comment ||
          is_json_ws(static_cast<unsigned char>(d))) {
        // "10 MB" in a value position is a word, not a number.
        if (stop < n_ && is_json_ws(static_cast<unsigned char>(d)) &&
            where != Place::Top) {
          std::size_t q = stop;
          while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
          const auto e = static_cast<unsigned char>(q < n_ ? t_[q] : ' ');
          if (is_ident_byte(e) && !is_digit(e)) return read_word(where);
        }
        // A strict number, unless the double range cannot hold it.
        if (number_overflows(scan)) {
          replace(i_, stop - i_, "null", Fix::Numbers);
        }
        i_ = stop;
        value_done();
        return true;
      }
    }
  }
  return read_word(where);
}

// Reads the value that starts at i_, or opens its container.
bool Pass::begin_value() {
  const Place where = place();
  const char c = t_[i_];
  switch (c) {
    case '{':
    case '[':
      // Values made one array take a level more.
      if (depth_ + (multi_ ? 1 : 0) >= kMaxDepth) {
        skip_deep_container();
        return true;
      }
      ++i_;
      push(c == '{' ? Kind::Object : Kind::Array,
           c == '{' ? State::Key : State::Value);
      return true;
    case '(':
      // (1, 2): a tuple is an array; at the top level it is prose.
      // (Too deep a tuple never gets here: see the Value state of run.)
      if (where == Place::Top) return false;
      replace(i_, 1, "[", Fix::Brackets);
      ++i_;
      push(Kind::Tuple, State::Value);
      return true;
    case '\\':
      if (escaped_layout_at(i_)) {
        escaped_document_ = true;
        stop_ = true;
        return true;
      }
      break;
    default:
      break;
  }
  // true, false, null and plain integers as strict text spells them.
  if (c == 't' || c == 'f' || c == 'n') {
    const std::size_t len = c == 'f' ? 5 : 4;
    const std::string_view literal = c == 't'   ? "true"
                                     : c == 'f' ? "false"
                                                : "null";
    if (t_.substr(i_, len) == literal &&
        (i_ + len == n_ || ends_plain_token(t_[i_ + len]))) {
      i_ += len;
      value_done();
      return true;
    }
  } else if (is_digit(static_cast<unsigned char>(c)) && c != '0') {
    std::size_t e = i_ + 1;
    while (e < n_ && is_digit(static_cast<unsigned char>(t_[e]))) ++e;
    if (e - i_ < 300 && (e == n_ || ends_plain_token(t_[e]))) {
      i_ = e;
      value_done();
      return true;
    }
  }
  QuoteMark q = quote_at(t_, i_);
  if (q.kind == Quote::Backtick && t_.substr(i_, 3) == "```") {
    q = {};  // a code fence, not a string
  }
  if (q.kind != Quote::None) {
    read_string(q, where);
    value_done();
    return true;
  }
  if (c == '-' || c == '+' || c == '.' ||
      is_digit(static_cast<unsigned char>(c))) {
    // "...": a placeholder for elements left out.
    if (c == '.' && t_.substr(i_, 3) == "..." && where != Place::Top) {
      std::size_t e = i_;
      while (e < n_ && t_[e] == '.') ++e;
      erase(i_, e - i_, Fix::Ellipsis);
      i_ = e;
      return true;
    }
    return read_number_or_word(where);
  }
  if (t_.substr(i_, 3) == "\xE2\x80\xA6" && where != Place::Top) {  // U+2026
    erase(i_, 3, Fix::Ellipsis);
    i_ += 3;
    return true;
  }
  if (where == Place::Top) {
    const auto u = static_cast<unsigned char>(c);
    if (!is_ident_byte(u)) return false;
  }
  return read_word(where);
}

// Between top-level values: more values make an array (JSON Lines); an
// object closed too early takes its members back; anything else ends the
// document as trailing text.
void Pass::after_top_value() {
  const char c = t_[i_];
  if (scope_ == LenientScope::OneValue) {
    stop_ = true;
    return;
  }
  if (c == ',') {
    if (top_comma_ == npos) {
      top_comma_ = i_;
    } else {
      erase(i_, 1, Fix::TrailingCommas);  // one comma between values
    }
    ++i_;
    // {"a": 1}, "b": 2}: the first closer was one too many.
    std::size_t q = i_;
    while (q < n_ && is_json_ws(static_cast<unsigned char>(t_[q]))) ++q;
    if (values_ == 1 && !multi_ && end_ > 0 && t_[end_ - 1] == '}' && q < n_) {
      std::size_t key_end = npos;
      const QuoteMark qm = quote_at(t_, q);
      if (qm.kind != Quote::None) {
        std::size_t r = q + qm.length;
        while (r < n_ && closer_at(t_, r, qm.kind) == 0 && t_[r] != '\n') {
          if (t_[r] == '\\') ++r;
          ++r;
        }
        if (r < n_ && t_[r] != '\n') key_end = r + closer_at(t_, r, qm.kind);
      } else if (is_ident_byte(static_cast<unsigned char>(t_[q]))) {
        key_end = word_end(q, /*key=*/true);
      }
      if (key_end != npos && key_follows(key_end)) {
        erase(end_ - 1, 1, Fix::Brackets);
        if (closed_empty_) erase(top_comma_, 1, Fix::TrailingCommas);
        --values_;
        top_due_ = true;
        // The comma is the reopened object's own now: pending until its
        // member turns out to be one.
        stack_.push_back(Frame{Kind::Object, State::Key,
                               closed_empty_ ? npos : top_comma_, q,
                               edits_.size(), closed_empty_, false});
        ++depth_;
        top_comma_ = npos;
        return;
      }
    }
    return;
  }
  if (c == ';') {  // a statement's end, as after a call
    replace(i_, 1, {}, FixSet{0});
    ++i_;
    return;
  }
  // Another value? Not if the array around them would nest too deep.
  if (peak_depth_ >= kMaxDepth) {
    stop_ = true;
    return;
  }
  const std::size_t at = i_;
  const std::size_t edits_before = edits_.size();
  const std::size_t values_before = values_;
  // The opening bracket of the array they make is written in front of the
  // output (see run), not as an edit: an edit at the first value would
  // come after thousands of others and cost a sort.
  if (top_comma_ == npos) {
    insert(at, ",", Fix::MultipleValues);
  }
  const bool was_multi = multi_;
  multi_ = true;
  if (!begin_value() || escaped_document_) {
    // Trailing text: the document ends with the values before it.
    edits_.resize(edits_before);
    multi_ = was_multi;
    values_ = values_before;
    i_ = at;
    stop_ = true;
    escaped_document_ = false;
    return;
  }
  top_comma_ = npos;
}

// The end of the text: open strings are closed where they were read, open
// containers here; a second or later top-level value cut short is dropped.
void Pass::finish() {
  if (stack_.empty()) return;
  truncated_ = true;
  if (values_ > 0 && !stack_.empty() && scope_ == LenientScope::Document) {
    // The last of several values, cut: only complete ones count.
    edits_.resize(edits_at_end_);
    fixes_ |= fix_bit(Fix::Truncated);
    multi_ = multi_at_end_;
    stack_.clear();
    depth_ = 0;
    calls_ = 0;
    return;
  }
  // A key cut before its colon is dropped with its comma.
  Frame& f = stack_.back();
  if (f.kind == Kind::Object && f.state == State::Colon && i_ >= n_ &&
      !edits_.empty() && edits_.back().pos == n_ && edits_.back().len == 0 &&
      std::string_view(edits_.back().bytes(arena_), edits_.back().size) ==
          "\"") {
    // The key's string was closed at the end: it was cut.
    const std::size_t from = f.member;
    edits_.resize(f.edit_count);  // the member's own edits go with it
    erase(from, n_ - from, Fix::Truncated);
    f.comma = npos;
    f.state = f.empty ? State::Key : State::CommaOrEnd;
  }
  while (!stack_.empty()) {
    close_top(n_, /*inserted=*/true);
    if (!stack_.empty()) value_done();
  }
  i_ = n_;
  value_done();
}

LenientText Pass::run() {
  LenientText result;
  skip_trivia();
  if (i_ >= n_) return result;
  first_start_ = i_;
  while (!stop_) {
    skip_trivia();
    if (i_ >= n_) {
      finish();
      break;
    }
    if (stack_.empty()) {
      if (top_due_) {
        if (!begin_value()) {
          stop_ = true;
        }
      } else {
        after_top_value();
      }
      continue;
    }
    Frame& f = stack_.back();
    const char c = t_[i_];
    switch (f.state) {
      case State::Value:
        if (c == '}' || c == ']' || c == ')') {
          handle_closer(c);
          break;
        }
        if (c == ',') {
          if (f.kind == Kind::Object) {
            insert(i_, "null", Fix::MissingPunctuation);
            f.state = State::CommaOrEnd;
            f.empty = false;
          } else if (f.kind == Kind::Wrapper) {
            insert(i_, "null", Fix::Wrappers);
            f.state = State::CommaOrEnd;
          } else {
            erase(i_, 1, Fix::TrailingCommas);  // an empty slot
            ++i_;
          }
          break;
        }
        if (c == ':') {
          erase(i_, 1, Fix::MissingPunctuation);
          ++i_;
          break;
        }
        if (f.kind != Kind::Object && stack_.size() >= 2 &&
            stack_[stack_.size() - 2].kind == Kind::Object &&
            quoted_key_at(i_)) {
          // [1, 2 "key": 3}: a key of the object around an array that was
          // never closed. The array ends here; the object takes the key.
          close_top(i_, /*inserted=*/true);
          value_done();
          break;
        }
        if (c == '(' && depth_ + (multi_ ? 1 : 0) >= kMaxDepth) {
          // Too deep for a tuple: its parentheses go and what it holds
          // stays here, so no comma is owed before it yet.
          erase(i_, 1, Fix::Brackets);
          ++i_;
          break;
        }
        if (!ellipsis_at(i_)) {
          // An element starts: its comma is no longer a trailing one.
          f.member = f.comma != npos ? f.comma : i_;
          f.comma = npos;
          if (f.missing_comma) {
            insert(i_, ",", Fix::MissingPunctuation);
            f.missing_comma = false;
          }
        }
        begin_value();
        break;
      case State::Key: {
        if (c == '}' || c == ']' || c == ')') {
          handle_closer(c);
          break;
        }
        if (c == ',') {
          erase(i_, 1, Fix::TrailingCommas);
          ++i_;
          break;
        }
        if (escaped_layout_at(i_)) {
          escaped_document_ = true;
          stop_ = true;
          break;
        }
        if (ellipsis_at(i_)) {
          std::size_t e = i_ + 3;
          while (e < n_ && t_[e] == '.') ++e;
          erase(i_, e - i_, Fix::Ellipsis);
          i_ = e;
          break;
        }
        // A member starts, from its comma if it has one.
        f.member = f.comma != npos ? f.comma : i_;
        f.comma = npos;
        f.edit_count = edits_.size();
        if (f.missing_comma) {
          insert(i_, ",", Fix::MissingPunctuation);
          f.missing_comma = false;
        }
        const QuoteMark q = quote_at(t_, i_);
        if (q.kind != Quote::None) {
          read_string(q, Place::Key);
          f.state = State::Colon;
          // The colon right after the key, as strict text has it.
          if (i_ < n_ && t_[i_] == ':') {
            ++i_;
            f.state = State::Value;
          }
          break;
        }
        if (c == '{' || c == '[' || c == ':') {
          // No key: the member is given the empty key.
          if (c == ':') {
            insert(i_, "\"\"", Fix::UnquotedKeys);
            f.state = State::Colon;
          } else {
            insert(i_, "\"\":", Fix::UnquotedKeys);
            f.state = State::Value;
          }
          break;
        }
        const std::size_t end = word_end(i_, /*key=*/true);
        std::size_t trimmed = end;
        while (trimmed > i_ &&
               (t_[trimmed - 1] == ' ' || t_[trimmed - 1] == '\t')) {
          --trimmed;
        }
        if (trimmed == i_) {  // a character that starts no key
          erase(i_, 1, Fix::UnquotedKeys);
          ++i_;
          break;
        }
        // b": 1, a key that lost its opening quote, has its closing one.
        const bool half_quoted = end < n_ && t_[end] == '"' && end == trimmed &&
                                 key_follows(end + 1);
        if (half_quoted || key_follows(end)) {
          std::string key;
          escape_string(t_.substr(i_, trimmed - i_), key);
          replace(i_, trimmed - i_ + (half_quoted ? 1 : 0), key,
                  half_quoted ? Fix::Quotes : Fix::UnquotedKeys);
          i_ = trimmed + (half_quoted ? 1 : 0);
          f.state = State::Colon;
        } else if (end >= n_) {
          // A key cut by the end: dropped with its comma.
          i_ = n_;
          const std::size_t from = f.member;
          edits_.resize(f.edit_count);
          erase(from, n_ - from, Fix::Truncated);
          f.comma = npos;
          f.state = f.empty ? State::Key : State::CommaOrEnd;
        } else {
          // A word with no colon: no member to make of it, so its comma is
          // pending again.
          edits_.resize(f.edit_count);
          erase(i_, end - i_, Fix::BareWords);
          i_ = end;
          if (t_[f.member] == ',') {
            f.comma = f.member;
          } else {
            f.missing_comma = !f.empty;
          }
        }
        break;
      }
      case State::Colon:
        if (c == ':') {
          ++i_;
          f.state = State::Value;
        } else if (c == '=' || c == ';') {
          replace(i_, 1, ":", Fix::MissingPunctuation);
          ++i_;
          f.state = State::Value;
        } else if (c == ',' || c == '}' || c == ']') {
          insert(i_, ":null", Fix::MissingPunctuation);
          f.state = State::CommaOrEnd;
          f.empty = false;
        } else {
          insert(i_, ":", Fix::MissingPunctuation);
          f.state = State::Value;
        }
        break;
      case State::CommaOrEnd:
        if (c == ',') {
          if (f.kind == Kind::Wrapper) {
            skip_rest_of_arguments();
            break;
          }
          f.comma = i_;
          ++i_;
          f.state = f.kind == Kind::Object ? State::Key : State::Value;
          break;
        }
        if (c == '}' || c == ']' || c == ')') {
          handle_closer(c);
          break;
        }
        if (f.kind == Kind::Wrapper) {
          // Anything else inside the call after its argument is dropped.
          skip_rest_of_arguments();
          break;
        }
        if (c == ':' || c == ';' || c == '=') {
          erase(i_, 1, Fix::MissingPunctuation);
          ++i_;
          break;
        }
        // A new element or member without its comma: the comma goes in
        // once one really starts.
        f.missing_comma = true;
        f.state = f.kind == Kind::Object ? State::Key : State::Value;
        break;
    }
  }

  if (escaped_document_) return unescape_and_rerun();
  if (values_ == 0) return result;  // nothing recognised
  result.found = true;
  if (multi_) {
    insert(end_, "]", Fix::MultipleValues);
    fixes_ |= fix_bit(Fix::MultipleValues);
  }
  result.begin = first_start_;
  result.end = end_;
  std::size_t rest = end_;
  while (rest < n_ && is_json_ws(static_cast<unsigned char>(t_[rest]))) ++rest;
  result.to_end = rest >= n_ || i_ >= n_;
  if (!result.to_end && scope_ == LenientScope::Document) {
    fixes_ |= fix_bit(Fix::TrailingText);
  }
  // Edits past the end of the value belong to text that was dropped.
  std::size_t keep = 0;
  for (const Edit& e : edits_) {
    if (e.pos < end_ || (e.pos == end_ && e.len == 0)) {
      edits_[keep++] = e;
      fixes_ |= e.fix;
    }
  }
  edits_.resize(keep);
  result.fixes = fixes_;
  if (!edits_.empty()) {
    result.changed = true;
    result.text = apply_edits(end_, multi_ ? "[" : "");
  }
  return result;
}

std::string Pass::apply_edits(std::size_t end, std::string_view prefix) {
  if (!sorted_) {
    std::stable_sort(edits_.begin(), edits_.end(),
                     // At one position, insertions go before a replacement
                     // that starts there: they belong in front of its text.
                     [](const Edit& a, const Edit& b) {
                       return a.pos < b.pos ||
                              (a.pos == b.pos && a.len == 0 && b.len != 0);
                     });
  }
  // The size first, then one pass of copies into place.
  std::size_t size = prefix.size() + end;
  std::size_t cursor = 0;
  for (const Edit& e : edits_) {
    if (e.pos < cursor) continue;  // inside a range already replaced
    size = size + e.size - std::min<std::size_t>(e.len, end - e.pos);
    cursor = e.pos + e.len;
  }
  std::string out(size, '\0');
  char* w = out.data();
  // Most pieces are a few bytes (a quote, the text between two quotes):
  // copied in place rather than through a call each.
  auto copy = [&w](const char* from, std::size_t n) {
    if (n <= 16) {
      for (std::size_t k = 0; k < n; ++k) w[k] = from[k];
    } else {
      std::memcpy(w, from, n);
    }
    w += n;
  };
  copy(prefix.data(), prefix.size());
  cursor = 0;
  for (const Edit& e : edits_) {
    if (e.pos < cursor) continue;
    copy(t_.data() + cursor, e.pos - cursor);
    copy(e.bytes(arena_), e.size);
    cursor = e.pos + e.len;
  }
  if (cursor < end) {
    std::memcpy(w, t_.data() + cursor, end - cursor);
    w += end - cursor;
  }
  out.resize(static_cast<std::size_t>(w - out.data()));
  return out;
}

// {\"a\": 1}: a document whose quotes carry the backslashes of one more
// level of encoding. Unescaped once, then read again.
LenientText Pass::unescape_and_rerun() const {
  std::string plain;
  plain.reserve(n_);
  for (std::size_t k = 0; k < n_; ++k) {
    const char c = t_[k];
    if (c != '\\' || k + 1 >= n_) {
      plain.push_back(c);
      continue;
    }
    const char e = t_[++k];
    switch (e) {
      case 'n':
        plain.push_back('\n');
        break;
      case 't':
        plain.push_back('\t');
        break;
      case 'r':
        plain.push_back('\r');
        break;
      case 'b':
        plain.push_back('\b');
        break;
      case 'f':
        plain.push_back('\f');
        break;
      case 'u': {
        std::uint32_t code = 0;
        bool ok = k + 4 < n_;
        for (std::size_t m = k + 1; ok && m <= k + 4; ++m) {
          const int d = hex_value(static_cast<unsigned char>(t_[m]));
          if (d < 0) ok = false;
          code = code * 16 + static_cast<std::uint32_t>(d < 0 ? 0 : d);
        }
        if (ok && (code < 0xD800 || code > 0xDFFF)) {
          detail::append_utf8(static_cast<char32_t>(code), plain);
          k += 4;
        } else {
          plain += "\\u";  // kept as an escape for the second reading
        }
        break;
      }
      default:
        plain.push_back(e);  // \" \\ \/ and the rest: the character itself
    }
  }
  Pass again(plain, scope_, /*may_unescape=*/false);
  LenientText result = again.run();
  if (!result.found) return LenientText{};
  if (!result.changed) {
    result.text = plain.substr(result.begin, result.end - result.begin);
    result.changed = true;
  }
  result.fixes |= fix_bit(Fix::EscapedDocument);
  // Offsets of the second reading do not map back: the span is the text's
  // own, from its first value to its last non-blank byte.
  result.begin = first_start_;
  result.end = n_;
  while (result.end > result.begin &&
         is_json_ws(static_cast<unsigned char>(t_[result.end - 1]))) {
    --result.end;
  }
  return result;
}

}  // namespace

LenientText lenient_rewrite(std::string_view text, LenientScope scope) {
  if (text.size() > UINT32_MAX) return {};  // edits count in 32 bits
  // Most texts are strict already: a lean check answers them.
  if (const auto span = strict_document_span(text)) {
    LenientText same;
    same.found = true;
    same.to_end = true;
    same.begin = span->first;
    same.end = span->second;
    return same;
  }
  return Pass(text, scope, /*may_unescape=*/true).run();
}

}  // namespace tarnwick
