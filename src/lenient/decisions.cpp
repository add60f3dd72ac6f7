// The lenient pass's decisions between two readings of the text. Each is
// made here, at one named place, by a bounded look-ahead; each says what it
// looks at and shows the readings it tells apart.

#include <cstddef>      // size_t
#include <string>       // string
#include <string_view>  // string_view

#include "lenient/pass.h"
#include "text/chars.h"

namespace tarnwick::detail::lenient {

// Whether a quoted string starts at p, ends on its line and has a colon
// after it: a key. Linear: the string is read next anyway.
bool Pass::quoted_key_at(std::size_t p) const {
  const QuoteMark open = quote_at(t_, p);
  if (open.kind == Quote::None) return false;
  const std::size_t end = quoted_end_on_line(t_, p, open);
  return end != npos && key_follows(end);
}

// Closing or inner quote, where what follows is not plainly a string's end
// (plain_end): the mark before `after` closes the string where what follows
// fits the end of a string in that place, or where no other mark that could
// close it follows on its line. "say "hi" now": the quote before hi is
// inner, "a" "b" in an array closes.
bool Pass::quote_closes(std::size_t after, Quote kind, Place where) {
  if (string_ends_at(after, where)) return true;
  if (closer_follows_on_line(after, kind)) return false;
  // Nothing else could close it, though what follows fits no string's end:
  // what follows is left to fare as it may.
  std::size_t q = after;
  while (q < n_ && is_json_ws(static_cast<unsigned char>(t_[q]))) ++q;
  if (q < n_) guessed_ = true;
  return true;
}

// Where a value lost its closing quote: "Oslo, "zip": 1. After an inner
// quote that followed a comma, a mark with a colon after it shows that the
// quote opened a key, so the value ended at that comma.
bool Pass::lost_close_before_key(const StringRead& s, std::size_t after) const {
  if (s.lost_close == npos) return false;
  std::size_t q = after;
  while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
  if (s.where == Place::ObjectValue) return q < n_ && t_[q] == ':';
  // In an array, the string that opened there closed as an element does.
  return q >= n_ || t_[q] == ',' || t_[q] == ']' || t_[q] == '\n' ||
         t_[q] == '\r';
}

// Where an object's value or an array's element would end if the quote at
// i_ opened the next key or element: at the comma before it ("Oslo, "zip")
// or, with no comma, before the line break ("Quarterly report\n "pages").
// npos when neither comes right before the quote.
std::size_t Pass::lost_close_at(const StringRead& s) const {
  if (s.where != Place::ObjectValue && s.where != Place::Array) return npos;
  std::size_t b = i_;
  bool line_break = false;
  while (b > s.start && is_json_ws(static_cast<unsigned char>(t_[b - 1]))) {
    line_break = line_break || t_[b - 1] == '\n' || t_[b - 1] == '\r';
    --b;
  }
  if (b > s.start && t_[b - 1] == ',') {
    // "first}, {"id": the value ends before a closer and a comma that an
    // opener follows, when that closer fits the frame it stands in.
    std::size_t q = b - 1;
    while (q > s.start && is_json_ws(static_cast<unsigned char>(t_[q - 1]))) {
      --q;
    }
    if (q > s.start && (t_[q - 1] == '}' || t_[q - 1] == ']') && i_ > 0 &&
        (t_[i_ - 1] == '{' || t_[i_ - 1] == '[' ||
         is_json_ws(static_cast<unsigned char>(t_[i_ - 1]))) &&
        closers_close_stack(q - 1, q)) {
      while (q - 1 > s.start &&
             is_json_ws(static_cast<unsigned char>(t_[q - 2]))) {
        --q;
      }
      return q - 1;
    }
    return b - 1;
  }
  if (b > s.start && (t_[b - 1] == '{' || t_[b - 1] == '[')) {
    // "first}, {"id": the same with the next element's opener before the
    // quote.
    std::size_t q = b - 1;
    while (q > s.start && is_json_ws(static_cast<unsigned char>(t_[q - 1]))) {
      --q;
    }
    if (q > s.start && t_[q - 1] == ',') {
      --q;
      while (q > s.start && is_json_ws(static_cast<unsigned char>(t_[q - 1]))) {
        --q;
      }
      if (q > s.start && (t_[q - 1] == '}' || t_[q - 1] == ']') &&
          closers_close_stack(q - 1, q)) {
        std::size_t e = q - 1;
        while (e > s.start &&
               is_json_ws(static_cast<unsigned char>(t_[e - 1]))) {
          --e;
        }
        return e;
      }
    }
  }
  return line_break && b > s.start ? b : npos;
}

// At a line break in a string: whether the next line starts (after its
// indentation) with a closer of the innermost frame that a comma, another
// closer or the line's end follows: structure, not string content.
bool Pass::line_closes_container(const StringRead& s) const {
  if (s.where != Place::ObjectValue && s.where != Place::Array) return false;
  std::size_t p = i_;
  if (t_[p] == '\r' && p + 1 < n_ && t_[p + 1] == '\n') ++p;
  ++p;
  while (p < n_ && (t_[p] == ' ' || t_[p] == '\t')) ++p;
  if (p >= n_ || (t_[p] != '}' && t_[p] != ']')) return false;
  if (!closers_close_stack(p, p + 1)) return false;
  std::size_t q = p + 1;
  while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
  return q >= n_ || t_[q] == ',' || t_[q] == '}' || t_[q] == ']' ||
         t_[q] == '\n' || t_[q] == '\r';
}

// {"dir": "src/app}: where the string's content ends if the closers at its
// end (before `limit`, over whitespace) close the open containers, innermost
// first; npos when they do not, or when the content opens a bracket of the
// kind they close ("Hello {name}" keeps its brace).
std::size_t Pass::closers_before(const StringRead& s, std::size_t limit) const {
  if (s.where == Place::Top || s.where == Place::Key) return npos;
  std::size_t p = limit;
  std::size_t closers = 0;
  while (p > s.start && closers < 64) {
    const char c = t_[p - 1];
    if (c == '}' || c == ']') {
      ++closers;
    } else if (!is_json_ws(static_cast<unsigned char>(c))) {
      break;
    }
    --p;
  }
  // The leftmost closer from which the rest close the stack.
  for (; p < limit; ++p) {
    if (t_[p] != '}' && t_[p] != ']') continue;
    if (closers_close_stack(p, limit)) break;
  }
  if (p >= limit || p == s.start) return npos;
  // A bracket that the content opened and did not close owns the closer.
  const char opener = t_[p] == '}' ? '{' : '[';
  const char closer = t_[p];
  std::size_t open = 0;
  for (std::size_t q = s.start; q < p; ++q) {
    if (t_[q] == opener) {
      ++open;
    } else if (t_[q] == closer && open > 0) {
      --open;
    }
  }
  if (open != 0) return npos;
  while (p > s.start && is_json_ws(static_cast<unsigned char>(t_[p - 1]))) --p;
  return p;
}

// Whether the closers in t_[from, limit) (whitespace between them) close
// the open frames one after another, innermost first.
bool Pass::closers_close_stack(std::size_t from, std::size_t limit) const {
  std::size_t frame = stack_.size();
  for (std::size_t q = from; q < limit; ++q) {
    const char c = t_[q];
    if (c != '}' && c != ']') continue;
    if (frame == 0) return false;
    const Kind kind = stack_[--frame].kind;
    if (kind != (c == '}' ? Kind::Object : Kind::Array)) return false;
  }
  return true;
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
      std::size_t v = invisible_length(t_, p);
      if (v == 0) v = white_space_length(t_.data() + p, t_.data() + n_);
      if (v == 0 && line_break) v = quote_marker_length(t_, p);
      if (v == 0 && line_break && where == Place::Top) {
        v = list_marker_length(t_, p);  // the next value listed
      }
      if (v == 0) break;
      p += v;
      continue;
    }
    ++p;
  }
  if (p >= n_) return true;
  // Full-width punctuation counts as the mark it stands for.
  const char wide = fullwidth_mark(t_, p);
  const char c = wide != 0 ? wide : t_[p];
  switch (c) {
    case '}':
    case ']':
    case ')':
      // "expected "}" here": a closer with a quote right after it is text.
      if (closer_then_quote(p)) break;
      return true;
    case ':':
      return where == Place::Key || where == Place::Top;
    case '=':
      if (where == Place::Key) return true;
      break;
    case ',':
    case ';':
      return where != Place::ObjectValue ||
             comma_ends_value(wide != 0 ? p + 2 : p);
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
        // "key "with" quotes": a key ends only where a colon follows, when
        // a later mark on its line has one.
        if (colon_after_later_mark(p)) return false;
        return line_break || t_[p - 1] == ' ' || t_[p - 1] == '\t' ||
               !is_ident_byte(static_cast<unsigned char>(c));
      }
      // ["a" 1]: a number or literal of its own after the string is the
      // next element.
      if ((where == Place::Array || where == Place::Top) && !line_break &&
          value_token_at(p)) {
        return true;
      }
      break;
  }
  const QuoteMark next = quote_at(t_, p);
  if (next.kind != Quote::None) {
    // One element a line: a string that opens a line of an array starts
    // the next element.
    if (line_break && (where == Place::Array || where == Place::Top)) {
      return true;
    }
    return next_string_ends(p, next, where);
  }
  return line_break && line_break_ends(p, where);
}

// Whether the line from p reads as a sentence: it starts with a letter,
// holds three words or more and no quote, colon or opening bracket, and
// ends with . ! or ? Where no member can stand (`loose`: in an array, at
// the top level), it may also start with a digit ("1 of 2 hosts is down.")
// and hold one colon ("Thought: sorted now.").
bool Pass::prose_line_at(std::size_t p, bool loose) const {
  if (p >= n_ || !(is_ascii_letter(t_[p]) ||
                   (loose && is_digit(static_cast<unsigned char>(t_[p]))))) {
    return false;
  }
  std::size_t blanks = 0;
  std::size_t colons = 0;
  std::size_t q = p;
  for (; q < n_ && t_[q] != '\n' && t_[q] != '\r'; ++q) {
    const char c = t_[q];
    if (c == '"' || c == '{' || c == '[') return false;
    if (c == ':' && (!loose || ++colons > 1)) return false;
    blanks += c == ' ';
  }
  while (q > p && (t_[q - 1] == ' ' || t_[q - 1] == '\t')) --q;
  return blanks >= 2 && q > p &&
         (t_[q - 1] == '.' || t_[q - 1] == '!' || t_[q - 1] == '?');
}

// Whether the next mark on the line of p has a colon after it: the quote
// before p was inside a key then ("key "with" quotes": 1).
bool Pass::colon_after_later_mark(std::size_t p) const {
  for (; p < n_ && t_[p] != '\n'; ++p) {
    if (t_[p] == '"') return key_follows(p + 1);
    if (t_[p] == ',' || t_[p] == '{' || t_[p] == '}') return false;
  }
  return false;
}

// Whether a number or a literal starts at p and ends where a value ends.
bool Pass::value_token_at(std::size_t p) const {
  std::size_t e = p;
  if (e < n_ && t_[e] == '-') ++e;
  while (e < n_ &&
         (is_ident_byte(static_cast<unsigned char>(t_[e])) || t_[e] == '.')) {
    ++e;
  }
  if (e == p || (e < n_ && !ends_plain_token(t_[e]) && t_[e] != ' ')) {
    return false;
  }
  const std::string_view word = t_.substr(p, e - p);
  std::string scratch;
  return !literal_spelling(word).empty() || normalise_number(word, scratch);
}

// In an object, a comma at p ends the value only if a key, a closer or the
// end follows it: {"a": "x, y"} keeps its comma, {"a": "x", b: 1} does not.
bool Pass::comma_ends_value(std::size_t p) const {
  std::size_t q = p + 1;
  while (q < n_) {
    if (is_json_ws(static_cast<unsigned char>(t_[q])) || t_[q] == ',') {
      ++q;
    } else if (const std::size_t v = invisible_length(t_, q); v != 0) {
      q += v;
    } else if (const std::size_t w =
                   white_space_length(t_.data() + q, t_.data() + n_);
               w != 0) {
      q += w;
    } else if (const std::size_t m = quote_marker_length(t_, q); m != 0) {
      q += m;
    } else {
      break;
    }
  }
  if (q >= n_) return true;
  const char d = t_[q];
  if (d == '}' || d == '"' || d == '\'' || d == '/' || d == '#' ||
      quote_at(t_, q).kind != Quote::None) {
    return true;
  }
  if (d == '.' || static_cast<unsigned char>(d) == 0xE2) return true;
  if (d == '{' || d == '[') return true;  // the next element or a container
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
  // ["north" "south"   "east"]: a run of strings with only blanks between
  // them is a run of elements.
  while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
  return q >= n_ || t_[q] == ',' || t_[q] == ']' || t_[q] == '\n' ||
         t_[q] == '\r' || quote_at(t_, q).kind != Quote::None;
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
      t_[top_.end - 1] != '}' || t_[top_.first_start] != '{' || q >= n_) {
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

// Which open frame a closing bracket at i_ closes (its index), or npos to
// drop it. One that matches the innermost frame closes it. Otherwise the
// readings are: it closes everything up to the frame it matches; it stands
// for the closer of the frame that what follows goes on in (a comma and a
// key continue the nearest object, a comma and a value the nearest array),
// or is stray when that is the innermost frame; with no match and nothing
// going on, it stands for the innermost frame's closer. The reading that
// lets the rest of the text balance wins: {"u": {"r": ["a"}, "x": 1} gives
// x to the outer object, {"a": {"r": ["a"}, "x": 1}} to the inner one. With
// no such evidence, a closer that would close the outermost frame while the
// text goes on keeps it open, and otherwise closes up to its match.
std::size_t Pass::closer_target(char c) {
  const Kind kind = c == '}'   ? Kind::Object
                    : c == ']' ? Kind::Array
                               : Kind::Wrapper;
  auto matches = [&](Kind open) {
    return open == kind || (kind == Kind::Wrapper && open == Kind::Tuple);
  };
  std::size_t match = stack_.size();
  while (match > 0 && !matches(stack_[match - 1].kind)) --match;
  const std::size_t innermost = stack_.size() - 1;
  if (match == stack_.size()) return innermost;
  if (kind == Kind::Wrapper) return match == 0 ? npos : match - 1;
  const std::size_t going_on = frame_going_on(i_ + 1);
  // Each reading as the frames it leaves open; the frame it closes is the
  // last of those, and one that leaves them all open drops the closer.
  const std::size_t size = stack_.size();
  const std::size_t by_match = match == 0 ? npos : match - 1;
  const std::size_t by_going_on = going_on == npos ? npos : going_on + 1;
  const std::size_t by_default =
      match == 0 ? (going_on == npos ? innermost : by_going_on)
      : (match == 1 && going_on != npos) ? by_going_on
                                         : by_match;
  auto target_of = [&](std::size_t left) { return left == size ? npos : left; };
  const std::size_t closes = frames_closed_ahead(i_ + 1);
  if (closes != npos) {
    for (const std::size_t left :
         {by_default, by_match, by_going_on, innermost, size}) {
      if (left == closes) return target_of(left);
    }
    if (closes > size) return npos;  // closers to spare: this one is stray
  }
  if (by_going_on != npos && by_going_on != by_match) guessed_ = true;
  return target_of(by_default);
}

// How many closers the rest of the text from p has beyond its own openers
// (strings honoured): the frames open now that it closes when it balances;
// npos when that cannot be told: parentheses are open, or the look-ahead
// budget, a few times the text's length in all, is spent.
std::size_t Pass::frames_closed_ahead(std::size_t p) {
  for (const Frame& f : stack_) {
    if (f.kind == Kind::Wrapper || f.kind == Kind::Tuple) return npos;
  }
  std::size_t depth = 0;
  std::size_t closes = 0;
  bool in_string = false;
  for (; p < n_; ++p) {
    if (lookahead_budget_ == 0) return npos;
    --lookahead_budget_;
    const char c = t_[p];
    if (in_string) {
      if (c == '\\') {
        ++p;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (depth == 0) {
        ++closes;
      } else {
        --depth;
      }
    }
  }
  return closes;
}

// After a closer, at p: a comma and then a key or a value show which frame
// the text goes on in (the nearest object, or array, from the innermost
// out); its index, or npos when nothing shows it.
std::size_t Pass::frame_going_on(std::size_t p) const {
  while (p < n_ && is_json_ws(static_cast<unsigned char>(t_[p]))) ++p;
  if (p >= n_ || t_[p] != ',') return npos;
  ++p;
  while (p < n_ && is_json_ws(static_cast<unsigned char>(t_[p]))) ++p;
  if (p >= n_ || t_[p] == '}' || t_[p] == ']') return npos;
  const bool key =
      quoted_key_at(p) || (is_ident_byte(static_cast<unsigned char>(t_[p])) &&
                           key_follows(word_end(p, /*key=*/true)));
  for (std::size_t k = stack_.size(); k-- > 0;) {
    const Kind kind = stack_[k].kind;
    if (key ? kind == Kind::Object
            : kind == Kind::Array || kind == Kind::Tuple) {
      return k;
    }
  }
  return npos;
}

// "population": 2,148,000: an integer of one to three digits at `start`
// (its scan stopped at the comma at `stop`) that groups of three digits
// after commas go on, as prose writes large numbers, or that one or two
// digits after a decimal comma end ("temperatur": 21,5), up to a comma, a
// closer or the line's end. An object's value only: in an array the commas
// part elements, and in an object no member can start with a digit group.
// Where the number ends; npos when it is no such number.
std::size_t Pass::grouped_number_end(std::size_t start,
                                     std::size_t stop) const {
  const std::size_t first = t_[start] == '-' ? start + 1 : start;
  if (stop == first || stop - first > 3) return npos;
  for (std::size_t k = first; k < stop; ++k) {
    if (!is_digit(static_cast<unsigned char>(t_[k]))) return npos;
  }
  const auto digit = [this](std::size_t k) {
    return k < n_ && is_digit(static_cast<unsigned char>(t_[k]));
  };
  std::size_t q = stop;
  // Groups follow a first one that JSON can start a number with (not 0).
  while (t_[first] != '0' && q < n_ && t_[q] == ',' && digit(q + 1) &&
         digit(q + 2) && digit(q + 3) && !digit(q + 4)) {
    q += 4;
  }
  // 21,5 or 3,75: one or two digits after the comma are a decimal comma.
  if (q == stop && digit(q + 1) && !digit(q + 2 + (digit(q + 2) ? 1 : 0))) {
    q += digit(q + 2) ? 3 : 2;
  }
  if (q == stop) return npos;
  if (q + 1 < n_ && t_[q] == '.' && digit(q + 1)) {  // 1,234.5
    for (++q; digit(q); ++q) {
    }
  }
  std::size_t r = q;
  while (r < n_ && (t_[r] == ' ' || t_[r] == '\t')) ++r;
  const bool ends =
      r >= n_ || t_[r] == ',' || t_[r] == '}' || t_[r] == '\n' || t_[r] == '\r';
  return ends ? q : npos;
}

}  // namespace tarnwick::detail::lenient
