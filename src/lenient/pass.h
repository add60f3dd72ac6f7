// The lenient pass: one scan over the text, with an explicit stack of open
// containers, that records edits (edit_log.h) where the text departs from
// strict JSON. Tokens are recognised by the lexer (lexer.h); the grammar is
// driven here, one function per production; every choice between two
// readings of the text is made at one named decision (decisions.cpp), by a
// bounded look-ahead. (Private)
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <string_view>  // string_view
#include <vector>       // vector

#include "lenient/edit_log.h"
#include "lenient/lexer.h"
#include "tarnwick/lenient.h"

namespace tarnwick::detail::lenient {

class Pass {
 public:
  Pass(std::string_view text, LenientScope scope, bool may_unescape) noexcept
      : t_(text),
        n_(text.size()),
        scope_(scope),
        may_unescape_(may_unescape),
        edits_(text) {}

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
    std::size_t comma;   // a comma not yet known to be followed by a value
    std::size_t member;  // where the current member or element started
    EditLog::Checkpoint member_edits;  // before the current member started
    bool empty;                        // no element or member yet
    bool missing_comma;  // the next element or member needs a comma
    // Objects written where a key of this one belongs ({{"a": 1}}): their
    // members are this object's, and their braces go. How many are open.
    std::size_t merged = 0;
    // A tuple: the edit that made its parenthesis a bracket, and whether a
    // comma was read in it. One value and no comma, ({"a": 1}), is that
    // value in parentheses, not an array.
    EditLog::Checkpoint open_edit{};
    bool separated = false;
    // How far its first member's key was indented, when that key opened
    // its line: pretty-printed text shows by it where a lost } was.
    std::size_t indent = npos;
  };
  // Where the value being read stands, for the rule that closes strings.
  enum class Place : std::uint8_t { Top, Array, ObjectValue, Key, Argument };

  // What read_string carries from one mark to the next.
  struct StringRead {
    Quote kind;
    Place where;
    std::size_t start;                 // the first byte of its content
    bool literal_backslashes = false;  // the string does not escape them
    // A comma in the value that an inner quote follows, and the edits
    // before it: where the value ends if that quote turns out to open a
    // key.
    std::size_t lost_close = npos;
    EditLog::Checkpoint edits;  // before the string's own edits
  };

  // The top level: complete values, where the first began, where the last
  // ended, and the edits that belong to them.
  struct TopLevel {
    std::size_t values = 0;
    std::size_t first_start = 0;
    std::size_t end = 0;
    EditLog::Checkpoint at_end;
    bool multi = false;  // several values, made one array
    bool multi_at_end = false;
    bool due = true;  // a top-level value is due
    std::size_t comma = npos;
    // What the first value opens with ('{', '[', '"' for any string, '0'
    // for the rest), and whether a later one opens otherwise: values of
    // mixed kinds made one array are a guess (print(x)\n{...}).
    char kind = 0;
    bool mixed = false;
  };

  Place place() const noexcept;

  // Productions (productions.cpp). Each reads from i_ and leaves i_ after
  // what it took.
  bool read_value();  // false: no value starts here (top level only)
  bool open_container(char c);
  bool open_tuple(Place where);
  bool tuple_follows(std::size_t p) const;
  void read_element(Frame& f);
  void comma_taken(const Frame& f);
  void semicolon_as_comma(std::size_t at);
  std::size_t comma_length(std::size_t p) const noexcept;
  std::size_t char_end(std::size_t p) const noexcept;
  void read_member(Frame& f);
  void read_key(Frame& f);
  void drop_unread_member(Frame& f, std::size_t end, Fix fix);
  bool container_as_member(Frame& f, char c);
  bool outdented_member(Frame& f);
  bool continue_last_array(Frame& f);
  void read_colon(Frame& f);
  void read_separator(Frame& f);
  bool read_word(Place where);
  bool rewrite_word(std::size_t trimmed, std::size_t stray_quote, Place where);
  bool read_number_or_word(Place where);
  std::size_t word_end(std::size_t p, bool key) const;

  // Strings (strings.cpp).
  void read_string(QuoteMark open, Place where);
  void read_escape(StringRead& s);
  void read_unicode_escape();
  bool read_mark(StringRead& s, std::size_t close);
  void end_string_at(const StringRead& s, std::size_t at, Fix fix);
  bool join_concatenated(StringRead& s, std::size_t after);

  // Decisions between two readings (decisions.cpp).
  bool plain_end(std::size_t after, Place where) const noexcept;
  bool closer_then_quote(std::size_t p) const noexcept;
  bool quote_closes(std::size_t after, Quote kind, Place where);
  bool colon_after_later_mark(std::size_t p) const;
  bool prose_line_at(std::size_t p, bool loose = false) const;
  bool value_token_at(std::size_t p) const;
  bool lost_close_before_key(const StringRead& s, std::size_t after) const;
  std::size_t lost_close_at(const StringRead& s) const;
  bool line_closes_container(const StringRead& s) const;
  std::size_t closers_before(const StringRead& s, std::size_t limit) const;
  bool closers_close_stack(std::size_t from, std::size_t limit) const;
  bool string_ends_at(std::size_t p, Place where) const;
  bool comma_ends_value(std::size_t p) const;
  bool next_string_ends(std::size_t p, QuoteMark next, Place where) const;
  bool line_break_ends(std::size_t p, Place where) const;
  bool closer_follows_on_line(std::size_t p, Quote kind) const;
  bool quoted_key_at(std::size_t p) const;
  bool key_follows(std::size_t p) const;
  bool word_is_text(std::size_t stop, Place where) const;
  std::size_t grouped_number_end(std::size_t start, std::size_t stop) const;
  bool closed_object_goes_on(std::size_t q) const;
  bool escaped_layout_at(std::size_t p) const noexcept;
  std::size_t closer_target(char c);
  std::size_t frame_going_on(std::size_t p) const;
  std::size_t frames_closed_ahead(std::size_t p);

  // Layout, the stack and the top level (pass.cpp).
  void skip_trivia() {
    // The common case, JSON's own whitespace, stays inline.
    while (i_ < n_) {
      const auto c = static_cast<unsigned char>(t_[i_]);
      if (is_json_ws(c)) {
        ++i_;
      } else if (c == '/' || c == '#' || c == '>' || c >= 0x80) {
        skip_other_trivia();
        return;
      } else {
        return;
      }
    }
  }
  void skip_other_trivia();
  bool after_colon(std::size_t p) const noexcept;
  void push(Kind kind, State state);
  void value_done();
  void close_top(std::size_t at, bool inserted);
  void handle_closer(char c);
  void skip_deep_container();
  void skip_rest_of_arguments();
  void step();
  void step_top();
  void note_top_kind();
  void after_top_value();
  void reopen_closed_object(std::size_t q);
  void finish();
  void drop_cut_key(Frame& f);
  void end_before_prose(std::size_t at);
  LenientText result();
  LenientText unescape_and_rerun() const;

  std::string_view t_;
  std::size_t n_;
  LenientScope scope_;
  bool may_unescape_;
  std::size_t i_ = 0;
  EditLog edits_;
  std::vector<Frame> stack_;
  std::size_t depth_ = 0;  // open objects and arrays
  std::size_t peak_depth_ = 0;
  std::size_t calls_ = 0;      // open parentheses: wrapper calls and tuples
  bool closed_empty_ = false;  // the container closed last had nothing in it
  std::size_t last_closer_ = npos;  // where the last array closed in the text
  // Bytes that the closer decision may still look ahead, in all: linear.
  std::size_t lookahead_budget_ = 4 * n_ + 4096;
  FixSet fixes_ = 0;  // families reported besides the edits' own
  std::vector<std::size_t> letter_escapes_;  // read_string's, reused
  TopLevel top_;
  bool escaped_document_ = false;  // stop: the text is a document escaped once
  bool truncated_ = false;         // something was closed at the end
  // The value rests on a choice between two readings that both passed the
  // look-ahead that decided it; set where that choice is made.
  bool guessed_ = false;
  // Where the last value inside a container ended (a comment after it may
  // have been erased since: the text ends here, not inside that comment).
  std::size_t value_end_ = 0;
  bool stop_ = false;
};

// The small steps every token takes, inline.

inline Pass::Place Pass::place() const noexcept {
  if (stack_.empty()) return Place::Top;
  const Frame& f = stack_.back();
  if (f.kind == Kind::Array || f.kind == Kind::Tuple) return Place::Array;
  if (f.kind == Kind::Wrapper) return Place::Argument;
  return f.state == State::Value ? Place::ObjectValue : Place::Key;
}

inline void Pass::push(Kind kind, State state) {
  stack_.push_back(
      Frame{kind, state, npos, i_, edits_.checkpoint(), true, false});
  if (kind == Kind::Wrapper || kind == Kind::Tuple) ++calls_;
  if (kind != Kind::Wrapper && ++depth_ > peak_depth_) peak_depth_ = depth_;
}

// A value has been read completely at i_: the frame below moves on.
inline void Pass::value_done() {
  if (stack_.empty()) {
    ++top_.values;
    top_.end = i_;
    top_.at_end = edits_.checkpoint();
    top_.multi_at_end = top_.multi;
    top_.due = false;
    if (scope_ == LenientScope::OneValue) stop_ = true;
    return;
  }
  Frame& f = stack_.back();
  f.state = State::CommaOrEnd;
  f.empty = false;
  f.comma = npos;
  value_end_ = i_;
}

// Outside strings, \" or \n can only come from one more level of encoding:
// the document was escaped but not quoted ({\"a\": 1}).
inline bool Pass::escaped_layout_at(std::size_t p) const noexcept {
  if (!may_unescape_ || t_[p] != '\\' || p + 1 >= n_) return false;
  const char e = t_[p + 1];
  return e == '"' || e == 'n' || e == 't' || e == 'r';
}

// Whether the text at p (after an unquoted or quoted key) has a colon next,
// over horizontal whitespace.
inline bool Pass::key_follows(std::size_t p) const {
  while (p < n_ && (t_[p] == ' ' || t_[p] == '\t')) ++p;
  // name = value and name => value, as configuration and Ruby write them.
  return p < n_ &&
         (t_[p] == ':' || (t_[p] == '=' && (p + 1 >= n_ || t_[p + 1] != '=')) ||
          fullwidth_mark(t_, p) == ':');
}

// A pending comma that a value follows after all: a ; written for it
// becomes one now (a trailing one is dropped as it stands). Every element
// and member passes here, so the common case stays inline.
inline void Pass::comma_taken(const Frame& f) {
  if (f.comma != npos && t_[f.comma] != ',') semicolon_as_comma(f.comma);
}

// Where the character that starts at p ends: past its UTF-8 continuation
// bytes.
inline std::size_t Pass::char_end(std::size_t p) const noexcept {
  ++p;
  while (p < n_ && (static_cast<unsigned char>(t_[p]) & 0xC0) == 0x80) ++p;
  return p;
}

// The byte length of the comma (or what stands for one) at p.
inline std::size_t Pass::comma_length(std::size_t p) const noexcept {
  return t_[p] == '\xEF' ? 3 : 1;
}

// A closing bracket at p with a quote mark right after it, which strict
// text never has: "expected "}" at line 3".
inline bool Pass::closer_then_quote(std::size_t p) const noexcept {
  return p + 1 < n_ && quote_at(t_, p + 1).kind != Quote::None;
}

// Closing or inner quote, at once: what strict text has right after a
// string ends it for sure ("a"} "a"] "key": "a", "b" in an array).
inline bool Pass::plain_end(std::size_t after, Place where) const noexcept {
  char follow = after < n_ ? t_[after] : ' ';
  std::size_t width = 1;
  if (follow == '\xEF') {  // "名前"："佐藤"，
    follow = fullwidth_mark(t_, after);
    width = 3;
  }
  return ((follow == '}' || follow == ']') && !closer_then_quote(after)) ||
         (follow == ':' && where == Place::Key) ||
         (follow == ',' && (where != Place::ObjectValue ||
                            (after + width < n_ && t_[after + width] == '"')));
}

}  // namespace tarnwick::detail::lenient
