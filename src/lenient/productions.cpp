// The lenient pass's productions: a value, an array element (or object
// value, or call argument), an object member and its key, the colon, the
// separator, and unquoted words. Each reads from i_ and leaves i_ after what
// it took; strings are in strings.cpp.

#include <algorithm>    // count
#include <cstddef>      // size_t
#include <string>       // string
#include <string_view>  // string_view

#include "json/number.h"
#include "lenient/pass.h"
#include "lenient/strict_span.h"  // kMaxDepth
#include "tarnwick/writer.h"      // escape_string
#include "text/brackets.h"        // bracket_span_end
#include "text/chars.h"

namespace tarnwick::detail::lenient {

// value: at i_, a value starts or (top level) does not. Reads a scalar
// whole; opens a container, whose members the frame's states read next.
// False only at the top level, where no value starts (prose).
bool Pass::read_value() {
  const Place where = place();
  const char c = t_[i_];
  if (c == '{' || c == '[') return open_container(c);
  if (c == '(') return open_tuple(where);
  if (c == '\\' && escaped_layout_at(i_)) {
    escaped_document_ = true;
    stop_ = true;
    return true;
  }
  // true, false, null and plain integers as strict text spells them.
  if (const std::size_t len = strict_literal_at(t_, i_); len != 0) {
    i_ += len;
    value_done();
    return true;
  }
  if (is_digit(static_cast<unsigned char>(c)) && c != '0') {
    std::size_t e = i_ + 1;
    while (e < n_ && is_digit(static_cast<unsigned char>(t_[e]))) ++e;
    const bool grouped = e + 1 < n_ && t_[e] == ',' &&
                         is_digit(static_cast<unsigned char>(t_[e + 1])) &&
                         where == Place::ObjectValue;  // 2,148,000
    if (e - i_ < 300 && (e == n_ || ends_plain_token(t_[e])) && !grouped) {
      i_ = e;
      value_done();
      return true;
    }
  }
  // u'text', b"bytes", r'raw': a string prefix of Python's, dropped.
  if ((c == 'u' || c == 'b' || c == 'r' || c == 'U' || c == 'B' || c == 'R') &&
      i_ + 1 < n_ && (t_[i_ + 1] == '\'' || t_[i_ + 1] == '"')) {
    edits_.erase(i_, 1, Fix::Quotes);
    ++i_;
    read_string(quote_at(t_, i_), where);
    value_done();
    return true;
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
  // "...": a placeholder for elements left out.
  if (const std::size_t len = ellipsis_length(t_, i_);
      len != 0 && where != Place::Top) {
    edits_.erase(i_, len, Fix::Ellipsis);
    i_ += len;
    return true;
  }
  if (c == '-' || c == '+' || c == '.' ||
      is_digit(static_cast<unsigned char>(c))) {
    return read_number_or_word(where);
  }
  if (where == Place::Top && !is_ident_byte(static_cast<unsigned char>(c))) {
    return false;
  }
  return read_word(where);
}

// The opening bracket of an object or array at i_; one past the nesting
// limit is skipped whole and given as null.
bool Pass::open_container(char c) {
  // Values made one array take a level more.
  if (depth_ + (top_.multi ? 1 : 0) >= kMaxDepth) {
    skip_deep_container();
    return true;
  }
  ++i_;
  push(c == '{' ? Kind::Object : Kind::Array,
       c == '{' ? State::Key : State::Value);
  return true;
}

// (1, 2): a tuple is an array. At the top level only one whose first
// element is plainly a value counts; "(see below)" is prose. (Too deep a
// tuple never gets here: see read_element.)
bool Pass::open_tuple(Place where) {
  if (where == Place::Top && !tuple_follows(i_ + 1)) return false;
  const EditLog::Checkpoint at = edits_.checkpoint();
  edits_.replace(i_, 1, "[", Fix::Brackets);
  ++i_;
  push(Kind::Tuple, State::Value);
  stack_.back().open_edit = at;
  return true;
}

// Whether what follows p (over whitespace) opens a value of its own: a
// quote, a number, a bracket, or the parenthesis that closes an empty
// tuple.
bool Pass::tuple_follows(std::size_t p) const {
  while (p < n_ && is_json_ws(static_cast<unsigned char>(t_[p]))) ++p;
  if (p >= n_) return false;
  const char c = t_[p];
  if (quote_at(t_, p).kind != Quote::None ||
      is_digit(static_cast<unsigned char>(c)) || c == '-' || c == '[' ||
      c == '{' || c == '(' || c == ')') {
    return true;
  }
  // (true, None): a literal, as a word of its own.
  std::size_t e = p;
  while (e < n_ && is_ident_byte(static_cast<unsigned char>(t_[e]))) ++e;
  return e < n_ && (t_[e] == ',' || t_[e] == ')') &&
         !literal_spelling(t_.substr(p, e - p)).empty();
}

void Pass::semicolon_as_comma(std::size_t at) {
  edits_.replace(at, comma_length(at), ",", Fix::MissingPunctuation);
}

// array element (also an object's value and a call's argument): a value is
// due in the frame `f`. Punctuation where the value should be is mended
// here; otherwise the value starts, with the comma it was owed.
void Pass::read_element(Frame& f) {
  const char c = t_[i_];
  if (c == '}' || c == ']' || c == ')') {
    handle_closer(c);
    return;
  }
  if (c == ',' || c == ';' || fullwidth_mark(t_, i_) == ',') {
    if (f.kind == Kind::Object) {
      edits_.insert(i_, "null", Fix::MissingPunctuation);
      f.state = State::CommaOrEnd;
      f.empty = false;
      guessed_ = true;
    } else if (f.kind == Kind::Wrapper) {
      edits_.insert(i_, "null", Fix::Wrappers);
      f.state = State::CommaOrEnd;
    } else {
      const std::size_t len = comma_length(i_);  // an empty slot
      edits_.erase(i_, len, Fix::TrailingCommas);
      i_ += len;
    }
    return;
  }
  if (c == ':') {
    edits_.erase(i_, 1, Fix::MissingPunctuation);
    ++i_;
    guessed_ = true;
    return;
  }
  if (f.kind != Kind::Object && stack_.size() >= 2 &&
      stack_[stack_.size() - 2].kind == Kind::Object && quoted_key_at(i_)) {
    // [1, 2 "key": 3}: a key of the object around an array that was never
    // closed. The array ends here; the object takes the key.
    close_top(i_, /*inserted=*/true);
    value_done();
    return;
  }
  if (c == '(' && depth_ + (top_.multi ? 1 : 0) >= kMaxDepth) {
    // Too deep for a tuple: its parentheses go and what it holds stays
    // here, so no comma is owed before it yet.
    edits_.erase(i_, 1, Fix::Brackets);
    ++i_;
    return;
  }
  if (ellipsis_length(t_, i_) == 0) {
    // An element starts: its comma is no longer a trailing one.
    f.member = f.comma != npos ? f.comma : i_;
    comma_taken(f);
    f.comma = npos;
    if (f.missing_comma) {
      edits_.insert(i_, ",", Fix::MissingPunctuation);
      f.missing_comma = false;
    }
    f.separated = f.separated || !f.empty;  // a second element
  }
  read_value();  // may push: f is not used after it
}

// object member: a key is due in the object frame `f`. A member starts from
// its comma, if it has one; a quoted key is read as a string, an unquoted
// one by read_key.
void Pass::read_member(Frame& f) {
  const char c = t_[i_];
  if (c == '}' || c == ']' || c == ')') {
    handle_closer(c);
    return;
  }
  if (c == ',' || c == ';' || fullwidth_mark(t_, i_) == ',') {
    const std::size_t len = comma_length(i_);
    edits_.erase(i_, len, Fix::TrailingCommas);
    i_ += len;
    return;
  }
  if (escaped_layout_at(i_)) {
    escaped_document_ = true;
    stop_ = true;
    return;
  }
  if (const std::size_t len = ellipsis_length(t_, i_); len != 0) {
    edits_.erase(i_, len, Fix::Ellipsis);
    i_ += len;
    return;
  }
  if ((c == '{' || c == '[') && container_as_member(f, c)) return;
  if (outdented_member(f)) return;
  if (c == '{') {
    // {{"a": 1}}, or an object among members: its members are these, its
    // braces go; the comma owed or pending waits for its first member.
    // Merged braces count toward the nesting limit: past it, the object
    // is skipped whole.
    if (depth_ + f.merged + (top_.multi ? 1 : 0) >= kMaxDepth) {
      const std::size_t start = i_;
      i_ = bracket_span_end(t_, i_);
      edits_.erase(start, i_ - start, Fix::Brackets);
      guessed_ = true;
      return;
    }
    if (!f.empty) guessed_ = true;
    edits_.erase(i_, 1, Fix::Brackets);
    ++i_;
    ++f.merged;
    return;
  }
  f.member = f.comma != npos ? f.comma : i_;
  f.member_edits = edits_.checkpoint();  // the comma's own edit included
  comma_taken(f);
  f.comma = npos;
  if (f.missing_comma) {
    edits_.insert(i_, ",", Fix::MissingPunctuation);
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
    return;
  }
  if (c == ':') {
    // No key before the colon: the member is given the empty key.
    edits_.insert(i_, "\"\"", Fix::UnquotedKeys);
    f.state = State::Colon;
    return;
  }
  read_key(f);
}

// A member at i_ that object `f` would take, indented less than its own
// members and as far as those of the object around it, in a text that
// lacks closers: in pretty-printed text it is that object's, and `f` lost
// its closing brace there. True when `f` was closed for it.
bool Pass::outdented_member(Frame& f) {
  // Most members stand as far in as the first: a blank f.indent bytes back
  // shows it at once.
  if (!f.empty && (f.indent == npos || f.indent == 0 ||
                   (i_ >= f.indent &&
                    (t_[i_ - f.indent] == ' ' || t_[i_ - f.indent] == '\t')))) {
    return false;
  }
  const std::size_t indent = line_indent_at(t_, i_);
  if (f.empty || f.indent == npos || indent == npos || indent >= f.indent ||
      stack_.size() < 2) {
    if (f.empty && f.indent == npos) f.indent = indent;
    return false;
  }
  const Frame& outer = stack_[stack_.size() - 2];
  if (outer.kind != Kind::Object || outer.indent != indent) return false;
  // Only where a closer was lost: when the closers ahead close every open
  // object (or cannot be counted), they say where each one ends instead.
  std::size_t open = stack_.size();
  for (const Frame& each : stack_) open += each.merged;
  if (const std::size_t ahead = frames_closed_ahead(i_);
      ahead == npos || ahead >= open) {
    return false;
  }
  // Its comma, if it had one, separates the outer object's members now.
  const std::size_t comma = f.comma;
  f.comma = npos;
  f.merged = 0;
  close_top(comma != npos ? comma : i_, /*inserted=*/true);
  value_done();
  if (comma != npos) {
    stack_.back().state = State::Key;
    stack_.back().comma = comma;
  }
  return true;
}

// A container at i_ where object `f` wants a key: is it a new element or a
// stray? Inside an array, an object that opens where its predecessor's next
// key should be starts the next element ([{"a": 1, {"a": 2}]); after an
// array value, further bracketed values continue that array ("k": [1], [2]);
// an array anywhere else holds no member and is dropped. True when one of
// these took it; false leaves an object to be merged (read_member).
bool Pass::container_as_member(Frame& f, char c) {
  const bool doubled =
      f.empty && f.comma == npos && c == '{' && i_ > 0 && t_[i_ - 1] == '{';
  if (doubled) return false;
  if (continue_last_array(f)) return true;
  const Kind outer =
      stack_.size() >= 2 ? stack_[stack_.size() - 2].kind : Kind::Object;
  if (outer == Kind::Array || outer == Kind::Tuple) {
    comma_taken(f);
    const std::size_t comma = f.comma;
    f.comma = npos;
    close_top(comma != npos ? comma : i_, /*inserted=*/true);
    value_done();
    if (comma != npos) {  // the comma separates the elements now
      stack_.back().state = State::Value;
      stack_.back().comma = npos;
    }
    return true;
  }
  if (c == '{') return false;
  const std::size_t start = i_;
  i_ = bracket_span_end(t_, i_);
  edits_.erase(start, i_ - start, Fix::Brackets);
  guessed_ = true;
  return true;
}

// "k": [1, 2], [3, 4]: when the last member's value was an array that its
// own bracket closed, with nothing but a comma since, that bracket goes and
// the array takes the container at i_ as its next element.
bool Pass::continue_last_array(Frame& f) {
  if (f.empty || last_closer_ == npos || last_closer_ >= i_) return false;
  for (std::size_t q = last_closer_ + 1; q < i_; ++q) {
    if (t_[q] != ',' && !is_json_ws(static_cast<unsigned char>(t_[q]))) {
      last_closer_ = npos;  // looked at once only
      return false;
    }
  }
  // Only a value of the kind the array holds continues it: [{...}], {...}
  // does; ["x"], {...} does not.
  std::size_t last = last_closer_;
  while (last > 0 && (t_[last - 1] == ',' ||
                      is_json_ws(static_cast<unsigned char>(t_[last - 1])))) {
    --last;
  }
  if (last == 0 || t_[last - 1] != (t_[i_] == '{' ? '}' : ']')) return false;
  edits_.erase(last_closer_, 1, Fix::Brackets);
  comma_taken(f);
  if (f.comma == npos) edits_.insert(i_, ",", Fix::MissingPunctuation);
  f.comma = npos;
  f.missing_comma = false;
  f.state = State::Value;
  push(Kind::Array, State::Value);
  stack_.back().empty = false;
  guessed_ = true;
  return true;
}

// key: an unquoted key at i_, up to its colon. A word with no colon after
// it is no key: dropped, and its member with it.
void Pass::read_key(Frame& f) {
  const std::size_t end = word_end(i_, /*key=*/true);
  const std::size_t trimmed = trim_word_end(t_, i_, end);
  if (trimmed == i_) {  // a character that starts no key, all its bytes
    drop_unread_member(f, char_end(i_), Fix::UnquotedKeys);
    return;
  }
  // {key "value"}: one word and then a value, its colon left out.
  const bool then_value = end < n_ && t_[end] == '"' && trimmed < end &&
                          is_identifier(t_.substr(i_, trimmed - i_));
  // b": 1, a key that lost its opening quote, has its closing one.
  const bool half_quoted =
      end < n_ && t_[end] == '"' && end == trimmed && key_follows(end + 1);
  if (half_quoted || then_value || key_follows(end)) {
    std::string key;
    escape_string(t_.substr(i_, trimmed - i_), key);
    edits_.replace(i_, trimmed - i_ + (half_quoted ? 1 : 0), key,
                   half_quoted ? Fix::Quotes : Fix::UnquotedKeys);
    i_ = trimmed + (half_quoted ? 1 : 0);
    f.state = State::Colon;
  } else if (end >= n_) {
    i_ = n_;
    drop_cut_key(f);
  } else {
    // A word with no colon: no member to make of it.
    drop_unread_member(f, end, Fix::BareWords);
  }
}

// What stood where a member should start, up to `end`, makes none: it is
// dropped, with the member's edits, and the member's comma is pending (or
// owed) again, as before it.
void Pass::drop_unread_member(Frame& f, std::size_t end, Fix fix) {
  guessed_ = true;
  edits_.rollback(f.member_edits);
  edits_.erase(i_, end - i_, fix);
  i_ = end;
  if (t_[f.member] == ',' || t_[f.member] == ';' ||
      fullwidth_mark(t_, f.member) == ',') {
    f.comma = f.member;
  } else {
    f.missing_comma = !f.empty;
  }
}

// The colon after a key: =, ; or nothing stand for it; a member with no
// value before a comma or closer gets null.
void Pass::read_colon(Frame& f) {
  const char c = t_[i_];
  if (c == ':') {
    ++i_;
    f.state = State::Value;
  } else if (fullwidth_mark(t_, i_) == ':') {
    edits_.replace(i_, 3, ":", Fix::MissingPunctuation);
    i_ += 3;
    f.state = State::Value;
  } else if (c == '=' || c == ';') {
    const std::size_t len =
        c == '=' && i_ + 1 < n_ && t_[i_ + 1] == '>' ? 2 : 1;
    edits_.replace(i_, len, ":", Fix::MissingPunctuation);
    i_ += len;
    f.state = State::Value;
  } else if (c == ',' || c == '}' || c == ']' ||
             fullwidth_mark(t_, i_) == ',') {
    // A key with no value: null, or was it no key? A guess.
    edits_.insert(i_, ":null", Fix::MissingPunctuation);
    f.state = State::CommaOrEnd;
    f.empty = false;
    guessed_ = true;
  } else if (quoted_key_at(i_) ||
             (is_ident_byte(static_cast<unsigned char>(c)) &&
              key_follows(word_end(i_, /*key=*/true)))) {
    // {"a" "b": 1}: a key follows, so this one has no value. Or was the
    // colon left out, and the next one too? A guess.
    edits_.insert(i_, ":null", Fix::MissingPunctuation);
    f.state = State::CommaOrEnd;
    f.empty = false;
    guessed_ = true;
  } else {
    // {"a" 1}: the colon left out.
    edits_.insert(i_, ":", Fix::MissingPunctuation);
    f.state = State::Value;
  }
}

// After a value: a comma or the closer. A call keeps its first argument
// only; anything else starts the next element or member, which is owed a
// comma once it really starts.
void Pass::read_separator(Frame& f) {
  const char c = t_[i_];
  const bool wide = fullwidth_mark(t_, i_) == ',';
  if ((c == ',' || c == ';' || wide) && f.kind != Kind::Wrapper) {
    // Pending: a ; or a full-width comma becomes a comma once a value
    // follows (comma_taken), and goes as a trailing one otherwise.
    f.separated = true;
    f.comma = i_;
    i_ += wide ? 3 : 1;
    f.state = f.kind == Kind::Object ? State::Key : State::Value;
    return;
  }
  if (c == '}' || c == ']' || c == ')') {
    handle_closer(c);
    return;
  }
  if (f.kind == Kind::Wrapper) {
    skip_rest_of_arguments();
    return;
  }
  if (c == ':' || c == '=') {
    edits_.erase(i_, 1, Fix::MissingPunctuation);
    ++i_;
    guessed_ = true;
    return;
  }
  // A line of prose after a value, where the next one is due without its
  // comma ("...[1, 2\nThat is all."), is no value: the document ends there.
  const std::size_t last = value_end_;
  if (t_.substr(last, i_ - last).find('\n') != npos &&
      prose_line_at(i_, f.kind != Kind::Object)) {
    end_before_prose(last);
    return;
  }
  f.missing_comma = true;
  f.state = f.kind == Kind::Object ? State::Key : State::Value;
}

// Where an unquoted word that starts at p ends. A key runs to the colon;
// a value to a comma, a closer, a line break, a quote, a comment or the
// parenthesis of a call.
std::size_t Pass::word_end(std::size_t p, bool key) const {
  const std::size_t start = p;
  for (; p < n_; ++p) {
    // Most bytes of a word are letters and digits: passed over at once.
    while (p < n_ && !is_word_stop(static_cast<unsigned char>(t_[p]))) ++p;
    if (p >= n_) break;
    const char c = t_[p];
    if (c == ',' || c == '}' || c == ']' || c == '{' || c == '[' || c == '"' ||
        c == '\n' || c == '\r' || (c == ')' && calls_ != 0)) {
      return p;
    }
    if (c == '\xEF') {  // 名前：佐藤，
      const char wide = fullwidth_mark(t_, p);
      if (wide == ',' || (key && wide == ':')) return p;
      continue;
    }
    if (c == '(' && !key && is_call_head(t_, start, p)) return p;
    if (key && (c == ':' || c == '\'' || c == '=')) return p;
    if (!key && c == ';') return p;
    if (c == ' ' || c == '\t') {
      // Keys may hold spaces only when the colon follows the last word.
      if (key) {
        std::size_t q = p;
        while (q < n_ && (t_[q] == ' ' || t_[q] == '\t')) ++q;
        if (q < n_ && (t_[q] == ':' || t_[q] == '=')) return p;
      }
      if (comment_at(t_, p + 1)) return p;
    }
  }
  return p;
}

// A word in value position at i_: a literal, a number, a wrapper call or an
// unquoted string. At the top level only the first three count; false then.
bool Pass::read_word(Place where) {
  const std::size_t start = i_;
  const std::size_t end = word_end(i_, /*key=*/false);
  std::size_t trimmed = trim_word_end(t_, start, end);
  if (where != Place::Top) trimmed = first_of_literal_run(t_, start, trimmed);
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
    edits_.erase(start, end + 1 - start, Fix::Wrappers);
    i_ = end + 1;
    push(Kind::Wrapper, State::Value);
    return true;
  }
  return rewrite_word(trimmed, stray_quote, where);
}

// The word t_[i_, trimmed) as a literal, a number, the cut start of either,
// or else (but at the top level) a string.
bool Pass::rewrite_word(std::size_t trimmed, std::size_t stray_quote,
                        Place where) {
  const std::size_t start = i_;
  const std::string_view word = t_.substr(start, trimmed - start);
  std::string out;
  if (const std::string_view literal = literal_spelling(word);
      !literal.empty()) {
    if (literal != word) {
      edits_.replace(start, word.size(), literal, Fix::Literals);
    }
  } else if (!word.empty() && normalise_number(word, out)) {
    const NumberScan scan = scan_number(out.data(), out.data() + out.size());
    if (number_overflows(scan)) {
      edits_.replace(start, word.size(), "null", Fix::Numbers);
    } else if (out != word) {
      edits_.replace(start, word.size(), out, Fix::Numbers);
    }
  } else if ((word == "-" || word == "+") && trimmed == n_) {
    edits_.replace(start, word.size(), "null", Fix::Truncated);  // cut number
  } else if (const std::string_view cut = cut_literal(word);
             trimmed == n_ && where != Place::Top && !cut.empty()) {
    edits_.replace(start, word.size(), cut, Fix::Truncated);
  } else {
    if (where == Place::Top) return false;
    if (word.empty()) {
      // A character that starts nothing: dropped, all its bytes.
      const std::size_t end = char_end(start);
      guessed_ = true;
      edits_.erase(start, end - start, Fix::BareWords);
      i_ = end;
      return true;
    }
    out.clear();
    escape_string(word, out);
    edits_.replace(start, word.size() + stray_quote, out,
                   stray_quote != 0 ? Fix::Quotes : Fix::BareWords);
    i_ = trimmed + stray_quote;
    value_done();
    return true;
  }
  if (stray_quote != 0) edits_.erase(trimmed, 1, Fix::Quotes);  // True", 12"
  i_ = trimmed + stray_quote;
  value_done();
  return true;
}

// A value at i_ starting with a digit, a sign or a point: a strict number
// as it stands where it can be, else a word. False as read_word.
bool Pass::read_number_or_word(Place where) {
  const char c = t_[i_];
  if (c != '-' && !is_digit(static_cast<unsigned char>(c))) {
    return read_word(where);
  }
  const NumberScan scan = scan_number(t_.data() + i_, t_.data() + n_);
  if (scan.error != NumberScanError::None) return read_word(where);
  const auto stop = static_cast<std::size_t>(scan.stop - t_.data());
  const char d = stop < n_ ? t_[stop] : ' ';
  if (d != ',' && d != '}' && d != ']' && d != ')' && !comment_at(t_, stop) &&
      !is_json_ws(static_cast<unsigned char>(d)) &&
      fullwidth_mark(t_, stop) != ',') {
    return read_word(where);
  }
  if (word_is_text(stop, where)) return read_word(where);
  if (d == ',' && where == Place::ObjectValue) {
    if (const std::size_t end = grouped_number_end(i_, stop); end != npos) {
      if (end - stop < 4) {  // a decimal comma: a guess
        edits_.replace(stop, 1, ".", Fix::Numbers);
        guessed_ = true;
      }
      for (std::size_t k = stop; k < end && end - stop >= 4; k += 4) {
        if (t_[k] == ',') edits_.erase(k, 1, Fix::Numbers);
      }
      // One group may be a decimal comma (12,345): a guess.
      if (end - stop == 4 || (end - stop > 4 && t_[stop + 4] != ',')) {
        guessed_ = true;
      }
      i_ = end;
      value_done();
      return true;
    }
  }
  // A strict number, unless the double range cannot hold it.
  if (number_overflows(scan)) {
    edits_.replace(i_, stop - i_, "null", Fix::Numbers);
  }
  i_ = stop;
  value_done();
  return true;
}

}  // namespace tarnwick::detail::lenient
