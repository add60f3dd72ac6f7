// The lenient pass's decisions between two readings of the text. Each is
// made here, at one named place, by a bounded look-ahead; each says what it
// looks at and shows the readings it tells apart.

#include <cstddef>      // size_t
#include <string_view>  // string_view

#include "lenient/pass.h"
#include "text/chars.h"

namespace tarnwick::detail::lenient {

// Outside strings, \" or \n can only come from one more level of encoding:
// the document was escaped but not quoted ({\"a\": 1}).
bool Pass::escaped_layout_at(std::size_t p) const noexcept {
  if (!may_unescape_ || t_[p] != '\\' || p + 1 >= n_) return false;
  const char e = t_[p + 1];
  return e == '"' || e == 'n' || e == 't' || e == 'r';
}

// Whether the text at p (after an unquoted or quoted key) has a colon next,
// over horizontal whitespace.
bool Pass::key_follows(std::size_t p) const {
  while (p < n_ && (t_[p] == ' ' || t_[p] == '\t')) ++p;
  return p < n_ && t_[p] == ':';
}

// Whether a quoted string starts at p, ends on its line and has a colon
// after it: a key. Linear: the string is read next anyway.
bool Pass::quoted_key_at(std::size_t p) const {
  const QuoteMark open = quote_at(t_, p);
  if (open.kind == Quote::None) return false;
  const std::size_t end = quoted_end_on_line(t_, p, open);
  return end != npos && key_follows(end);
}

// Closing or inner quote, at once: what strict text has right after a
// string ends it for sure ("a"} "a"] "key": "a", "b" in an array).
bool Pass::plain_end(std::size_t after, Place where) const noexcept {
  const char follow = after < n_ ? t_[after] : ' ';
  return follow == '}' || follow == ']' ||
         (follow == ':' && where == Place::Key) ||
         (follow == ',' && (where != Place::ObjectValue ||
                            (after + 1 < n_ && t_[after + 1] == '"')));
}

// Closing or inner quote: the mark before `after` closes the string where
// what follows fits the end of a string in that place, or where no other
// mark that could close it follows on its line. "say "hi" now": the quote
// before hi is inner, "a" "b" in an array closes.
bool Pass::quote_closes(std::size_t after, Quote kind, Place where) const {
  return plain_end(after, where) || string_ends_at(after, where) ||
         !closer_follows_on_line(after, kind);
}

// Where a value lost its closing quote: "Oslo, "zip": 1. After an inner
// quote that followed a comma, a mark with a colon after it shows that the
// quote opened a key, so the value ended at that comma.
bool Pass::lost_close_before_key(const StringRead& s, std::size_t after) const {
  if (s.where != Place::ObjectValue || s.lost_close == npos) return false;
  std::size_t q = after;
  while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
  return q < n_ && t_[q] == ':';
}

// The rule that tells a closing quote from a quote inside the string: the
// quote before p closes it only where what follows fits the end of a string
// in that place.
bool Pass::string_ends_at(std::size_t p, Place where) const {
  bool line_break = false;
  for (; p < n_; ++p) {
    const char c = t_[p];
    if (c == '\n' || c == '\r') {
      line_break = true;
    } else if (c != ' ' && c != '\t') {
      break;
    }
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
    case ',':
      return where != Place::ObjectValue || comma_ends_value(p);
    case '+': {  // "a" + "b"
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
  if (next.kind != Quote::None) return next_string_ends(p, next, where);
  return line_break && line_break_ends(p, where);
}

// In an object, a comma at p ends the value only if a key, a closer or the
// end follows it: {"a": "x, y"} keeps its comma, {"a": "x", b: 1} does not.
bool Pass::comma_ends_value(std::size_t p) const {
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

// Another string at p after a quote: a missing comma, if that string is a
// key ("a" "b": 1) or an element of the same array (["a" "b"]).
bool Pass::next_string_ends(std::size_t p, QuoteMark next, Place where) const {
  std::size_t q = quoted_end_on_line(t_, p, next);
  if (q == npos) return false;
  if (key_follows(q)) return where != Place::Key;
  if (where != Place::Array && where != Place::Top) return false;
  while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
  return q >= n_ || t_[q] == ',' || t_[q] == ']' || t_[q] == '\n' ||
         t_[q] == '\r';
}

// After a quote and a line break, at p: an unquoted key (in an object) or
// another element (in an array) shows the string ended at the quote.
bool Pass::line_break_ends(std::size_t p, Place where) const {
  const char c = t_[p];
  const bool listed = where == Place::Array || where == Place::Top;
  if (c == '{' || c == '[') return listed;
  if (is_ident_byte(static_cast<unsigned char>(c))) {
    const std::size_t w = word_end(p, /*key=*/true);
    if (w < n_ && t_[w] == ':') return where == Place::ObjectValue;
    return listed && is_digit(static_cast<unsigned char>(c));
  }
  return c == '-' && listed;
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

// "10 MB": a number followed on its line by a word is text, in a value.
bool Pass::word_is_text(std::size_t stop, Place where) const {
  if (stop >= n_ || where == Place::Top ||
      !is_json_ws(static_cast<unsigned char>(t_[stop]))) {
    return false;
  }
  std::size_t q = stop;
  while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
  const auto e = static_cast<unsigned char>(q < n_ ? t_[q] : ' ');
  return is_ident_byte(e) && !is_digit(e);
}

// {"a": 1}, "b": 2}: after the only top-level value, an object, a comma and
// then a key at q show that the object was closed one member too early.
bool Pass::closed_object_goes_on(std::size_t q) const {
  if (top_.values != 1 || top_.multi || top_.end == 0 ||
      t_[top_.end - 1] != '}' || q >= n_) {
    return false;
  }
  std::size_t key_end = npos;
  if (const QuoteMark qm = quote_at(t_, q); qm.kind != Quote::None) {
    key_end = quoted_end_on_line(t_, q, qm);
  } else if (is_ident_byte(static_cast<unsigned char>(t_[q]))) {
    key_end = word_end(q, /*key=*/true);
  }
  return key_end != npos && key_follows(key_end);
}

}  // namespace tarnwick::detail::lenient
