// The lenient pass's driver: layout, the stack of open containers, the top
// level and the result (see pass.h).

#include "lenient/pass.h"

#include <cstddef>      // size_t
#include <string_view>  // string_view

#include "lenient/strict_span.h"  // kMaxDepth
#include "text/brackets.h"        // bracket_span_end
#include "text/chars.h"           // is_json_ws
#include "text/utf8.h"            // white_space_length

namespace tarnwick::detail::lenient {

// Whether the last byte before p that is not blank is a colon.
bool Pass::after_colon(std::size_t p) const noexcept {
  while (p > 0 && (t_[p - 1] == ' ' || t_[p - 1] == '\t')) --p;
  return p > 0 && t_[p - 1] == ':';
}

// Whitespace (other White_Space becomes a space) and comments (deleted).
void Pass::skip_other_trivia() {
  while (i_ < n_) {
    const auto c = static_cast<unsigned char>(t_[i_]);
    if (is_json_ws(c)) {
      ++i_;
      continue;
    }
    // {color: #ff8800}: after a colon, a # that a word follows is a value.
    if (c == '#' && i_ + 1 < n_ &&
        is_ident_byte(static_cast<unsigned char>(t_[i_ + 1])) &&
        after_colon(i_)) {
      return;
    }
    if (const std::size_t stop = comment_end(t_, i_); stop != npos) {
      edits_.erase(i_, stop - i_, Fix::Comments);
      i_ = stop;
      continue;
    }
    if (const std::size_t q = quote_marker_length(t_, i_); q != 0) {
      edits_.replace(i_, q, {}, FixSet{0});  // layout: no family to name
      i_ += q;
      continue;
    }
    if (c >= 0x80) {
      const std::size_t w = white_space_length(t_.data() + i_, t_.data() + n_);
      if (w != 0) {
        edits_.replace(i_, w, " ", FixSet{0});  // layout: no family to name
        i_ += w;
        continue;
      }
      if (const std::size_t v = invisible_length(t_, i_); v != 0) {
        edits_.replace(i_, v, {}, FixSet{0});
        i_ += v;
        continue;
      }
    }
    return;
  }
}

// Closes the innermost frame: its closer is at `at` (inserted there when
// `inserted`). A value that was due is given as null.
void Pass::close_top(std::size_t at, bool inserted) {
  Frame f = stack_.back();
  if (f.comma != npos) {
    edits_.erase(f.comma, comma_length(f.comma), Fix::TrailingCommas);
  }
  const Fix closing = truncated_ ? Fix::Truncated : Fix::Brackets;
  if (f.kind == Kind::Object) {
    if (f.state == State::Colon) {
      edits_.insert(at, ":null", Fix::MissingPunctuation);
      f.empty = false;
    } else if (f.state == State::Value) {
      edits_.insert(at, "null", Fix::MissingPunctuation);
      f.empty = false;
    }
    if (inserted) edits_.insert(at, "}", closing);
  } else if (f.kind == Kind::Tuple && inserted && !f.separated && !f.empty &&
             f.comma == npos) {
    // ({"a": 1} cut or left open: a value in parentheses still.
    edits_.amend(f.open_edit, {}, fix_bit(Fix::Brackets));
  } else if (f.kind == Kind::Array || f.kind == Kind::Tuple) {
    if (inserted) edits_.insert(at, "]", closing);
  } else if (f.state == State::Value) {
    edits_.insert(at, "null", Fix::Wrappers);  // name() with no argument
  }
  closed_empty_ = f.empty;
  last_closer_ =
      !inserted && f.kind == Kind::Array && t_[at] == ']' ? at : npos;
  stack_.pop_back();
  if (f.kind == Kind::Wrapper || f.kind == Kind::Tuple) --calls_;
  if (f.kind != Kind::Wrapper) --depth_;
}

// A closing bracket at i_: it closes the frame closer_target picks, and any
// opened inside that one, whose closers go in before it.
void Pass::handle_closer(char c) {
  const std::size_t target = closer_target(c);
  if (target == npos) {  // a closer that matches nothing here
    edits_.erase(i_, 1, Fix::Brackets);
    ++i_;
    return;
  }
  while (stack_.size() > target + 1) {
    close_top(i_, /*inserted=*/true);
    value_done();
  }
  if (Frame& open = stack_.back(); c == '}' && open.merged != 0) {
    // The brace of an object merged into this one: it goes, and this one
    // stays open.
    --open.merged;
    edits_.erase(i_, 1, Fix::Brackets);
    ++i_;
    return;
  }
  const Frame& f = stack_.back();
  if (f.kind == Kind::Wrapper) {
    edits_.erase(i_, 1, Fix::Wrappers);
  } else if (f.kind == Kind::Tuple) {
    if (!f.separated && !f.empty && f.comma == npos) {
      // ({"a": 1}): a value in parentheses, which both lose.
      edits_.amend(f.open_edit, {}, fix_bit(Fix::Brackets));
      edits_.erase(i_, 1, Fix::Brackets);
    } else {
      edits_.replace(i_, 1, "]", Fix::Brackets);
    }
  } else if (f.kind == Kind::Array && c != ']') {
    edits_.replace(i_, 1, "]", Fix::Brackets);
  } else if (f.kind == Kind::Object && c != '}') {
    edits_.replace(i_, 1, "}", Fix::Brackets);
  }
  close_top(i_, /*inserted=*/false);
  ++i_;
  value_done();
}

// A container past the nesting limit: skipped whole (brackets counted,
// strings honoured) and given as null.
void Pass::skip_deep_container() {
  const std::size_t start = i_;
  i_ = bracket_span_end(t_, i_);
  edits_.replace(start, i_ - start, "null", Fix::Brackets);
  guessed_ = true;  // what it held is lost
  value_done();
}

// After the first argument of a wrapper call: the others are dropped up to
// the parenthesis that closes the call.
void Pass::skip_rest_of_arguments() {
  const std::size_t start = i_;
  i_ = arguments_end(t_, i_);
  edits_.erase(start, i_ - start, Fix::Wrappers);
  // Arguments after the first are dropped: a guess when they held a value.
  for (std::size_t k = start; k < i_; ++k) {
    const char c = t_[k];
    if (c != ',' && c != ';' && !is_json_ws(static_cast<unsigned char>(c))) {
      guessed_ = true;
      break;
    }
  }
}

// A step at the top level, between values: what marks a listed value
// goes, then the first value or the next.
void Pass::step_top() {
  // "1. {...}\n2. {...}": values listed one a line; the markers go.
  if (scope_ == LenientScope::Document) {
    if (const std::size_t m = list_marker_length(t_, i_); m != 0) {
      edits_.replace(i_, m, {}, FixSet{0});
      i_ += m;
    }
  }
  // A Markdown rule (---, ***) between values listed one a line.
  if (scope_ == LenientScope::Document && top_.values > 0) {
    if (const std::size_t m = rule_line_length(t_, i_); m != 0) {
      edits_.replace(i_, m, {}, FixSet{0});
      i_ += m;
      return;
    }
  }
  // "[TOOL_CALLS] [...]": the token before the output is no value.
  if (const std::size_t m = control_token_length(t_, i_); m != 0) {
    edits_.replace(i_, m, {}, FixSet{0});
    i_ += m;
    return;
  }
  if (!top_.due) {
    after_top_value();
    return;
  }
  note_top_kind();
  if (!read_value()) stop_ = true;
}

void Pass::note_top_kind() {
  const char c = t_[i_];
  const char kind = c == '{' || c == '['                   ? c
                    : quote_at(t_, i_).kind != Quote::None ? '"'
                                                           : '0';
  if (top_.kind == 0) top_.kind = kind;
  top_.mixed = top_.mixed || kind != top_.kind;
}

// One step of the grammar: the production that the innermost frame's state
// asks for.
void Pass::step() {
  skip_trivia();
  if (i_ >= n_) {
    finish();
    stop_ = true;
    return;
  }
  if (stack_.empty()) {
    step_top();
    return;
  }
  Frame& f = stack_.back();
  switch (f.state) {
    case State::Value:
      read_element(f);
      break;
    case State::Key:
      read_member(f);
      break;
    case State::Colon:
      read_colon(f);
      break;
    case State::CommaOrEnd:
      read_separator(f);
      break;
  }
}

LenientText Pass::run() {
  skip_trivia();
  if (i_ >= n_) return {};
  top_.first_start = i_;
  while (!stop_) step();
  if (escaped_document_) return unescape_and_rerun();
  return result();
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
    if (top_.comma == npos) {
      top_.comma = i_;
    } else {
      edits_.erase(i_, 1, Fix::TrailingCommas);  // one comma between values
    }
    ++i_;
    std::size_t q = i_;
    while (q < n_ && is_json_ws(static_cast<unsigned char>(t_[q]))) ++q;
    if (closed_object_goes_on(q)) reopen_closed_object(q);
    return;
  }
  if (c == ';') {  // a statement's end, as after a call
    edits_.replace(i_, 1, {}, FixSet{0});
    ++i_;
    return;
  }
  // Another value? Not on a line of prose ("1 of 2 hosts is down."), and not
  // if the array around them would nest too deep.
  if ((t_.substr(top_.end, i_ - top_.end).find('\n') != npos &&
       prose_line_at(i_, /*loose=*/true)) ||
      peak_depth_ >= kMaxDepth) {
    stop_ = true;
    return;
  }
  const std::size_t at = i_;
  const EditLog::Checkpoint before = edits_.checkpoint();
  const TopLevel top_before = top_;
  // The opening bracket of the array they make is written in front of the
  // output (see result), not as an edit: an edit at the first value would
  // come after thousands of others and cost a sort.
  if (top_.comma == npos) edits_.insert(at, ",", Fix::MultipleValues);
  top_.multi = true;
  note_top_kind();
  if (!read_value() || escaped_document_) {
    // Trailing text: the document ends with the values before it.
    edits_.rollback(before);
    top_ = top_before;
    i_ = at;
    stop_ = true;
    escaped_document_ = false;
    return;
  }
  top_.comma = npos;
}

// {"a": 1}, "b": 2}: the first closer was one too many; the object takes
// the member that starts at q, and the comma before it, back.
void Pass::reopen_closed_object(std::size_t q) {
  edits_.erase(top_.end - 1, 1, Fix::Brackets);
  if (closed_empty_) edits_.erase(top_.comma, 1, Fix::TrailingCommas);
  --top_.values;
  top_.due = true;
  // The comma is the reopened object's own now: pending until its member
  // turns out to be one.
  stack_.push_back(Frame{Kind::Object, State::Key,
                         closed_empty_ ? npos : top_.comma, q,
                         edits_.checkpoint(), closed_empty_, false});
  ++depth_;
  top_.comma = npos;
}

// Prose where a value was due: the open containers close at `at`, before
// it, and the document ends there, the prose left as trailing text.
void Pass::end_before_prose(std::size_t at) {
  while (!stack_.empty()) {
    close_top(at, /*inserted=*/true);
    if (!stack_.empty()) value_done();
  }
  i_ = at;
  value_done();
  stop_ = true;
}

// A key cut by the end of the text: dropped with its comma, and with the
// edits its member made.
void Pass::drop_cut_key(Frame& f) {
  const std::size_t from = f.member;
  edits_.rollback(f.member_edits);
  edits_.erase(from, n_ - from, Fix::Truncated);
  f.comma = npos;
  f.state = f.empty ? State::Key : State::CommaOrEnd;
}

// The end of the text: open strings are closed where they were read, open
// containers here; a second or later top-level value cut short is dropped.
void Pass::finish() {
  if (stack_.empty()) return;
  truncated_ = true;
  if (top_.values > 0 && scope_ == LenientScope::Document) {
    // The last of several values, cut: only complete ones count.
    edits_.rollback(top_.at_end);
    fixes_ |= fix_bit(Fix::Truncated);
    top_.multi = top_.multi_at_end;
    stack_.clear();
    depth_ = 0;
    calls_ = 0;
    return;
  }
  // A member cut before its value ({"a": 1, "b": or "b" or "b), key and
  // all: what was never written is no null.
  Frame& f = stack_.back();
  if (f.kind == Kind::Object && i_ >= n_ &&
      (f.state == State::Colon || f.state == State::Value)) {
    drop_cut_key(f);
  }
  while (!stack_.empty()) {
    close_top(n_, /*inserted=*/true);
    if (!stack_.empty()) value_done();
  }
  i_ = n_;
  value_done();
}

LenientText Pass::result() {
  LenientText out;
  if (top_.values == 0) return out;  // nothing recognised
  out.found = true;
  if (top_.multi) {
    edits_.insert(top_.end, "]", Fix::MultipleValues);
    fixes_ |= fix_bit(Fix::MultipleValues);
    guessed_ = guessed_ || top_.mixed;
  }
  out.begin = top_.first_start;
  out.end = top_.end;
  std::size_t rest = top_.end;
  while (rest < n_ && is_json_ws(static_cast<unsigned char>(t_[rest]))) ++rest;
  out.to_end = rest >= n_ || i_ >= n_;
  if (!out.to_end && scope_ == LenientScope::Document) {
    fixes_ |= fix_bit(Fix::TrailingText);
  }
  // Edits past the end of the value belong to text that was dropped.
  fixes_ |= edits_.keep_before(top_.end);
  out.fixes = fixes_;
  out.guessed = guessed_;
  if (!edits_.empty()) {
    out.changed = true;
    out.text = edits_.apply(top_.end, top_.multi ? "[" : "");
  }
  return out;
}

}  // namespace tarnwick::detail::lenient
