// The lenient pass's recognisers (see lexer.h).

#include "lenient/lexer.h"

#include <cstddef>      // size_t
#include <cstdint>      // uint64_t
#include <string>       // string, to_string
#include <string_view>  // string_view

#include "json/number.h"
#include "tarnwick/value.h"  // JsonNumber
#include "text/chars.h"      // hex_value, is_digit

namespace tarnwick::detail::lenient {

// MARK: - Quote marks and strings

std::size_t quoted_end_on_line(std::string_view t, std::size_t p,
                               QuoteMark open) noexcept {
  const std::size_t n = t.size();
  std::size_t q = p + open.length;
  while (q < n && closer_at(t, q, open.kind) == 0 && t[q] != '\n') {
    if (t[q] == '\\') ++q;
    ++q;
  }
  if (q >= n || t[q] == '\n') return npos;
  return q + closer_at(t, q, open.kind);
}

bool is_cut_escape(std::string_view rest) noexcept {
  if (rest.empty()) return true;
  if (rest[0] != '\\' || rest.size() >= 6) return false;
  if (rest.size() >= 2 && rest[1] != 'u') return false;
  for (std::size_t k = 2; k < rest.size(); ++k) {
    if (hex_value(static_cast<unsigned char>(rest[k])) < 0) return false;
  }
  return true;
}

// MARK: - Words and literals

bool equals_ignoring_case(std::string_view word,
                          std::string_view lower) noexcept {
  if (word.size() != lower.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    char c = word[k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[k]) return false;
  }
  return true;
}

std::string_view literal_spelling(std::string_view word) noexcept {
  // Most words are none of these: the length and first letter rule them
  // out before any comparison.
  if (word.size() < 3 || word.size() > 9) return {};
  const char first = static_cast<char>(word[0] | 0x20);
  if (first != 't' && first != 'f' && first != 'n' && first != 'u' &&
      first != 'i' && word[0] != '-' && word[0] != '+') {
    return {};
  }
  for (const std::string_view name : {"true", "false", "null", "none", "nil"}) {
    if (equals_ignoring_case(word, name)) {
      return first == 't' ? "true" : first == 'f' ? "false" : "null";
    }
  }
  for (const std::string_view name :
       {"undefined", "NaN", "nan", "Infinity", "-Infinity", "+Infinity", "inf",
        "-inf"}) {
    if (word == name) return "null";
  }
  return {};
}

std::size_t first_of_literal_run(std::string_view t, std::size_t start,
                                 std::size_t end) noexcept {
  std::size_t first = npos;
  std::string scratch;
  for (std::size_t p = start; p < end;) {
    std::size_t q = p;
    while (q < end && t[q] != ' ' && t[q] != '\t') ++q;
    const std::string_view word = t.substr(p, q - p);
    scratch.clear();
    if (literal_spelling(word).empty() && !normalise_number(word, scratch)) {
      return end;
    }
    if (first == npos) first = q;
    while (q < end && (t[q] == ' ' || t[q] == '\t')) ++q;
    p = q;
  }
  return first == npos ? end : first;
}

std::string_view cut_literal(std::string_view word) noexcept {
  for (const std::string_view full : {"true", "false", "null", "none"}) {
    if (word.size() < full.size() &&
        equals_ignoring_case(word, full.substr(0, word.size()))) {
      return full == "none" ? "null" : full;
    }
  }
  return {};
}

// MARK: - Numbers

namespace {

// 0x1f, 0o17, 0b101 (after the sign): an unsigned integer in that base.
// False when `digits` holds no such number.
bool normalise_based(std::string_view digits, bool negative, std::string& out) {
  const char b = static_cast<char>(digits[1] | 0x20);
  const unsigned base = b == 'x' ? 16 : b == 'o' ? 8 : b == 'b' ? 2 : 0;
  std::uint64_t v = 0;
  bool any = false;
  for (std::size_t m = 2; m < digits.size(); ++m) {
    if (digits[m] == '_') continue;
    const int d = hex_value(static_cast<unsigned char>(digits[m]));
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

// Appends the digits from word[k] on to `into`, with separators only
// between digits.
void take_digits(std::string_view word, std::size_t& k, std::string& into) {
  const std::size_t start = into.size();
  while (k < word.size()) {
    const char c = word[k];
    if (is_digit(static_cast<unsigned char>(c))) {
      into.push_back(c);
    } else if (c != '_' || into.size() == start || k + 1 >= word.size() ||
               !is_digit(static_cast<unsigned char>(word[k + 1]))) {
      break;
    }
    ++k;
  }
}

}  // namespace

bool normalise_number(std::string_view word, std::string& out) {
  std::size_t k = 0;
  bool negative = false;
  if (k < word.size() && (word[k] == '+' || word[k] == '-')) {
    negative = word[k] == '-';
    ++k;
  }
  if (k == word.size()) return false;
  if (word.size() - k > 2 && word[k] == '0') {
    const char b = static_cast<char>(word[k + 1] | 0x20);
    if (b == 'x' || b == 'o' || b == 'b') {
      return normalise_based(word.substr(k), negative, out);
    }
  }
  std::string digits;
  take_digits(word, k, digits);
  bool point = false;
  std::string fraction;
  if (k < word.size() && word[k] == '.') {
    point = true;
    ++k;
    take_digits(word, k, fraction);
  }
  if (digits.empty() && fraction.empty()) return false;
  bool exp_negative = false;
  std::string exponent;
  if (k < word.size() && (word[k] == 'e' || word[k] == 'E')) {
    ++k;
    if (k < word.size() && (word[k] == '+' || word[k] == '-')) {
      exp_negative = word[k] == '-';
      ++k;
    }
    // "1e" or "1e+" only where the text was cut; elsewhere it is a word.
    take_digits(word, k, exponent);
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

bool number_overflows(const NumberScan& scan) {
  if (scan.exp_end - scan.exp_begin < 3 &&
      scan.int_end - scan.int_begin < 300) {
    return false;
  }
  JsonNumber ignored;
  return !convert_number(scan, ignored);
}

// MARK: - Comments and other trivia

std::size_t comment_end(std::string_view t, std::size_t i) noexcept {
  if (!comment_at(t, i)) return npos;
  if (t[i] == '/' && t[i + 1] == '*') {
    const std::size_t stop = t.find("*/", i + 2);
    return stop == npos ? t.size() : stop + 2;
  }
  const std::size_t stop = t.find('\n', i + (t[i] == '#' ? 1 : 2));
  return stop == npos ? t.size() : stop;
}

namespace {

// The byte length of a Unicode space that ends t[start, end), or 0.
std::size_t space_before(std::string_view t, std::size_t start,
                         std::size_t end) noexcept {
  for (const std::size_t w : {std::size_t{2}, std::size_t{3}}) {
    if (end - start >= w &&
        white_space_length(t.data() + end - w, t.data() + end) == w) {
      return w;
    }
  }
  return 0;
}

}  // namespace

std::size_t quote_marker_length(std::string_view t, std::size_t i) noexcept {
  if (t[i] != '>' || line_indent_at(t, i) == std::string_view::npos) return 0;
  std::size_t e = i;
  while (e < t.size() && t[e] == '>') ++e;
  if (e < t.size() && t[e] == ' ') ++e;
  return e - i;
}

std::size_t list_marker_length(std::string_view t, std::size_t i) noexcept {
  if (line_indent_at(t, i) == std::string_view::npos) return 0;
  std::size_t e = i;
  if (t[e] == '-' || t[e] == '*' || t[e] == '+') {
    ++e;
  } else if (t.substr(e, 3) == "\u2022") {  // a bullet
    e += 3;
  } else {
    while (e < t.size() && e - i < 3 &&
           is_digit(static_cast<unsigned char>(t[e])))
      ++e;
    if (e == i || e >= t.size() || (t[e] != '.' && t[e] != ')')) return 0;
    ++e;
  }
  const std::size_t marker = e;
  while (e < t.size() && (t[e] == ' ' || t[e] == '\t')) ++e;
  if (e == marker || e >= t.size()) return 0;
  const bool opens =
      t[e] == '{' || t[e] == '[' || quote_at(t, e).kind != Quote::None;
  return opens ? e - i : 0;
}

std::size_t rule_line_length(std::string_view t, std::size_t i) noexcept {
  if (i > 0 && t[i - 1] != '\n' && t[i - 1] != '\r') return 0;
  const char mark = t[i];
  if (mark != '-' && mark != '*' && mark != '_') return 0;
  std::size_t marks = 0;
  std::size_t e = i;
  for (; e < t.size() && t[e] != '\n' && t[e] != '\r'; ++e) {
    if (t[e] == mark) {
      ++marks;
    } else if (t[e] != ' ' && t[e] != '\t') {
      return 0;
    }
  }
  return marks >= 3 ? e - i : 0;
}

std::size_t control_token_length(std::string_view t, std::size_t i) noexcept {
  if (t[i] != '[') return 0;
  std::size_t e = i + 1;
  if (e < t.size() && t[e] == '/') ++e;
  const std::size_t name = e;
  bool upper = true;    // [TOOL_CALLS]
  bool letter = false;  // and a phrase has words: [Internal reasoning omitted]
  std::size_t blanks = 0;
  for (; e < t.size(); ++e) {
    const char c = t[e];
    if (c == ' ') {
      ++blanks;
    } else if (is_ascii_letter(c)) {
      letter = true;
      upper = upper && c >= 'A' && c <= 'Z';
    } else if (c != '_' && c != '-' && c != '.' &&
               !is_digit(static_cast<unsigned char>(c))) {
      break;
    }
  }
  if (!letter || (!upper && blanks == 0) || e - name < 2 || e >= t.size() ||
      t[e] != ']') {
    return 0;
  }
  std::size_t v = ++e;
  while (v < t.size() && is_json_ws(static_cast<unsigned char>(t[v]))) ++v;
  const bool opens = v < t.size() && (t[v] == '{' || t[v] == '[' ||
                                      quote_at(t, v).kind != Quote::None);
  return opens ? e - i : 0;
}

std::size_t trim_word_end(std::string_view t, std::size_t start,
                          std::size_t end) noexcept {
  while (end > start) {
    if (t[end - 1] == ' ' || t[end - 1] == '\t') {
      --end;
    } else if (end - start >= 3 && invisible_length(t, end - 3) != 0) {
      end -= 3;
    } else if (const std::size_t w = space_before(t, start, end); w != 0) {
      end -= w;  // a no-break or other Unicode space
    } else {
      break;
    }
  }
  return end;
}

// MARK: - Ellipsis

// MARK: - Call heads and wrappers

bool is_call_head(std::string_view t, std::size_t start,
                  std::size_t paren) noexcept {
  if (paren <= start ||
      !is_ident_byte(static_cast<unsigned char>(t[paren - 1]))) {
    return false;
  }
  std::size_t k = start;
  if (t.substr(k, 4) == "new ") {
    k += 4;
    while (k < paren && t[k] == ' ') ++k;
  }
  if (k >= paren) return false;
  for (; k < paren; ++k) {
    const auto b = static_cast<unsigned char>(t[k]);
    if (!is_ident_byte(b) && b != '.') return false;
  }
  return true;
}

std::size_t arguments_end(std::string_view t, std::size_t i) noexcept {
  const std::size_t n = t.size();
  std::size_t depth = 0;
  QuoteMark in{};
  for (; i < n; ++i) {
    const char c = t[i];
    if (in.kind != Quote::None) {
      if (c == '\\') {
        ++i;
      } else if (closer_at(t, i, in.kind) != 0) {
        in = {};
      }
    } else if (c == '"' || c == '\'') {
      in = quote_at(t, i);
    } else if (c == '(' || c == '[' || c == '{') {
      ++depth;
    } else if (c == ')' || c == ']' || c == '}') {
      if (depth == 0) break;
      --depth;
    }
  }
  return i > n ? n : i;
}

}  // namespace tarnwick::detail::lenient
