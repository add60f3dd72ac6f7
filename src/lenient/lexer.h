// The lenient pass's lexer: one recogniser for each kind of token that model
// replies spell their own way. Each looks at the text only, decides nothing
// about the grammar, and costs at most the token it reads. (Private)
//
//   quote marks and strings   quote_at, closer_at, quoted_end_on_line
//   words and literals        is_ident_byte, literal_spelling, cut_literal
//   numbers                   normalise_number, number_overflows
//   comments and trivia       comment_end, invisible_length, trim_word_end
//   ellipsis                  ellipsis_length
//   call heads and wrappers   call_head_end, arguments_end
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <string>       // string
#include <string_view>  // string_view

#include "json/number.h"  // NumberScan
#include "text/chars.h"   // is_digit

namespace tarnwick::detail::lenient {

inline constexpr std::size_t npos = std::string_view::npos;

// MARK: - Quote marks and strings

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

// The mark that may open a string at t[i], or kind None.
inline QuoteMark quote_at(std::string_view t, std::size_t i) noexcept {
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

// The length of a mark at t[i] that can close a string opened by `open`,
// or 0.
inline std::size_t closer_at(std::string_view t, std::size_t i,
                             Quote open) noexcept {
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

// The same-line string scan: where the string whose opening mark `open` is
// at p ends (one past its closing mark), when it closes before the line
// does; npos otherwise. Backslashes escape the byte after them.
std::size_t quoted_end_on_line(std::string_view t, std::size_t p,
                               QuoteMark open) noexcept;

// Whether `rest` is what is left of a \uXXXX escape cut by the end of the
// text: nothing, "\", "\u" or "\u" and fewer than four hex digits.
bool is_cut_escape(std::string_view rest) noexcept;

// MARK: - Words and literals

// Bytes of an identifier: letters, digits, _ and $, and any non-ASCII byte.
constexpr bool is_ident_byte(unsigned char c) noexcept {
  return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         is_digit(c) || c == '_' || c == '$';
}

// Bytes that may end an unquoted word, or start what ends it (a comment
// after a blank, a call's parenthesis, full-width punctuation): , } ] { [
// " ( ) : ; = ' space, tab, line feed, carriage return and the lead byte
// 0xEF. word_end looks only at these.
constexpr bool is_word_stop(unsigned char c) noexcept {
  switch (c) {
    case ',':
    case '}':
    case ']':
    case '{':
    case '[':
    case '"':
    case '(':
    case ')':
    case ':':
    case ';':
    case '=':
    case '\'':
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case 0xEF:
      return true;
    default:
      return false;
  }
}

constexpr bool is_ascii_letter(char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether t is one identifier: letters, digits, _ and $ only.
inline bool is_identifier(std::string_view t) noexcept {
  if (t.empty()) return false;
  for (const char c : t) {
    if (!is_ident_byte(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// The end of the first of the blank-separated words in t[start, end) when
// every one of them is a literal or a number ([true false true] holds three
// values, not one phrase); `end` otherwise.
std::size_t first_of_literal_run(std::string_view t, std::size_t start,
                                 std::size_t end) noexcept;

// Bytes after which a literal or a number read as strict text ends for sure.
constexpr bool ends_plain_token(char c) noexcept {
  return c == ',' || c == '}' || c == ']' || c == '\n' || c == '\r';
}

bool equals_ignoring_case(std::string_view word,
                          std::string_view lower) noexcept;

// The strict literal a word stands for: true/false/null in any case, None
// and nil ("true", "false" or "null"); JavaScript's and Python's names for
// what JSON cannot hold (undefined, NaN, Infinity, inf) become "null".
// Empty when the word is no literal.
std::string_view literal_spelling(std::string_view word) noexcept;

// The literal that `word`, cut by the end of the text, is the start of
// ("tr" of true, "Nu" of null, "No" of None); empty when none.
std::string_view cut_literal(std::string_view word) noexcept;

// Whether the strict literal true, false or null stands at t[i], ending
// where a strict token ends (the common case, read without a rewrite); its
// length, or 0.
inline std::size_t strict_literal_at(std::string_view t,
                                     std::size_t i) noexcept {
  const char c = t[i];
  if (c != 't' && c != 'f' && c != 'n') return 0;
  const std::size_t len = c == 'f' ? 5 : 4;
  const std::string_view literal = c == 't'   ? "true"
                                   : c == 'f' ? "false"
                                              : "null";
  if (t.substr(i, len) != literal) return 0;
  return i + len == t.size() || ends_plain_token(t[i + len]) ? len : 0;
}

// MARK: - Numbers

// A number spelled the way people and other languages write it: a sign,
// digit separators, a bare point, hexadecimal, octal or binary, leading
// zeros, a cut exponent. Appends its strict spelling to `out`; false when
// the word is no number.
bool normalise_number(std::string_view word, std::string& out);

// Whether a strict number token would overflow the double range, which the
// strict reader refuses. Only long tokens can.
bool number_overflows(const NumberScan& scan);

// MARK: - Comments and other trivia

// Where a comment that starts at t[i] ends (//... and #... at the line
// break, /*...*/ after its closer, or the end of the text); npos when no
// comment starts there.
std::size_t comment_end(std::string_view t, std::size_t i) noexcept;

// The ASCII mark that full-width punctuation at t[i] stands for, as CJK
// text writes it between tokens: ':' for U+FF1A, ',' for U+FF0C (three
// bytes each); 0 for anything else.
inline char fullwidth_mark(std::string_view t, std::size_t i) noexcept {
  if (i + 2 >= t.size() || t[i] != '\xEF' || t[i + 1] != '\xBC') return 0;
  return t[i + 2] == '\x9A' ? ':' : t[i + 2] == '\x8C' ? ',' : 0;
}

// How far t[i] is indented when only spaces and tabs come before it on its
// line; npos otherwise. What opens a line is told by it.
inline std::size_t line_indent_at(std::string_view t, std::size_t i) noexcept {
  std::size_t b = i;
  while (b > 0 && (t[b - 1] == ' ' || t[b - 1] == '\t')) --b;
  if (b > 0 && t[b - 1] != '\n' && t[b - 1] != '\r') {
    return std::string_view::npos;
  }
  return i - b;
}

// The length of a list marker at t[i] ("- ", "* ", "1. ", "2) ") that opens
// its line and comes before a container or a string, as a reply lists
// values one a line; 0 when none is there.
std::size_t list_marker_length(std::string_view t, std::size_t i) noexcept;

// The length of a control token at t[i] that a model's chat template
// writes before its output ("[TOOL_CALLS]", "[/INST]": an upper-case name
// in brackets), or of a bracketed phrase of words ("[Internal reasoning
// omitted]"), when a container or a string follows it; 0 otherwise.
std::size_t control_token_length(std::string_view t, std::size_t i) noexcept;

// The length of a Markdown rule at t[i] ("---", "* * *", "___": three or
// more of one mark, spaces between, alone on its line), to the line's end;
// 0 when none is there.
std::size_t rule_line_length(std::string_view t, std::size_t i) noexcept;

// The length of a Markdown quote marker at t[i] ("> ", ">> "): a '>' that
// opens its line, after spaces at most. A document quoted in a reply has
// one on every line; they are layout. 0 when none is there.
std::size_t quote_marker_length(std::string_view t, std::size_t i) noexcept;

// Whether a comment starts at t[i]: //, /* or #.
inline bool comment_at(std::string_view t, std::size_t i) noexcept {
  return i < t.size() &&
         (t[i] == '#' || (t[i] == '/' && i + 1 < t.size() &&
                          (t[i + 1] == '/' || t[i + 1] == '*')));
}

// The length of an invisible format character at t[i] that model replies
// scatter between tokens: U+200B, U+2060, U+FEFF or U+180E; 0 when none.
// Outside strings they are whitespace; inside they are content.
inline std::size_t invisible_length(std::string_view t,
                                    std::size_t i) noexcept {
  const auto b = static_cast<unsigned char>(t[i]);
  if (b != 0xE2 && b != 0xEF && b != 0xE1) return 0;
  const std::string_view head = t.substr(i, 3);
  return head == "\xE2\x80\x8B" || head == "\xE2\x81\xA0" ||
                 head == "\xEF\xBB\xBF" || head == "\xE1\xA0\x8E"
             ? 3
             : 0;
}

// The end of the word t[start, end) once the layout it ends with (spaces,
// tabs, invisible format characters) is left out.
std::size_t trim_word_end(std::string_view t, std::size_t start,
                          std::size_t end) noexcept;

// MARK: - Ellipsis

// The length of a placeholder for elements left out at t[i]: "..." or
// U+2026, with any dots that follow; 0 when none starts there.
inline std::size_t ellipsis_length(std::string_view t, std::size_t i) noexcept {
  if (i >= t.size() || (t[i] != '.' && t[i] != '\xE2')) return 0;
  const std::string_view head = t.substr(i, 3);
  if (head != "..." && head != "\xE2\x80\xA6") return 0;  // U+2026
  std::size_t e = i + 3;
  while (e < t.size() && t[e] == '.') ++e;
  return e - i;
}

// MARK: - Call heads and wrappers

// Whether t[start, paren) names a call, as in name(...), ObjectId("..."),
// new Date(...): a dotted identifier, perhaps after "new ".
bool is_call_head(std::string_view t, std::size_t start,
                  std::size_t paren) noexcept;

// Where the arguments of a call after its first one end: at the
// parenthesis that closes the call (brackets counted, strings honoured),
// or the end of the text.
std::size_t arguments_end(std::string_view t, std::size_t i) noexcept;

}  // namespace tarnwick::detail::lenient
