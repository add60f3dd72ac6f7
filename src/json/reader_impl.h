// The strict reader as a template over what it builds, so the engine's tree
// and the binding's interpreter objects both come out of one pass over the
// bytes, together with the canonical text when the caller asks for it.
// (Private)
//
// A Builder provides:
//   using Value = ...;  // default-constructible, movable
//   using Key = ...;    // likewise
//   bool null_value(Value&); bool bool_value(bool, Value&);
//   bool number_value(const JsonNumber&, Value&);
//   bool string_value(std::string_view utf8, Value&);
//   bool key(std::string_view utf8, Key&);
//   // Takes the elements stack[base, end) over and leaves `stack` at `base`.
//   bool array_value(std::vector<Value>& stack, std::size_t base, Value&);
//   // Likewise for members; `repeated` set when a key occurred twice.
//   bool object_value(std::vector<Member<Key, Value>>& stack,
//                     std::size_t base, Value&, bool& repeated);
// A false return stops the read: the builder failed and says why itself.
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t, uint32_t
#include <cstring>      // memcmp
#include <iterator>     // make_move_iterator
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move
#include <vector>       // vector

#include "json/canonical.h"
#include "json/number.h"
#include "tarnwick/reader.h"
#include "tarnwick/writer.h"
#include "text/chars.h"
#include "text/hex.h"
#include "text/swar.h"
#include "text/utf8.h"

namespace tarnwick::detail {

// MARK: - Character utilities (Private)

// Whether a Float token with a point and no exponent is the writer's
// spelling of its value, from the digits alone; empty when that takes
// formatting the value. With at most 15 digits the value is the correctly
// rounded one (one exact division) and its shortest round-trip digits are
// the token's own, so only the layout is left to check: no trailing zero
// after the point except in "X.0", at most four zeros after "0.".
inline std::optional<bool> plain_float_is_canonical(
    const NumberScan& s) noexcept {
  if (s.has_exp || !s.has_frac) return std::nullopt;
  if ((s.int_end - s.int_begin) + (s.frac_end - s.frac_begin) > 15) {
    return std::nullopt;
  }
  const char* last = s.frac_end;
  while (last != s.frac_begin && last[-1] == '0') --last;
  if (last == s.frac_begin) return s.frac_end - s.frac_begin == 1;
  if (last != s.frac_end) return false;
  if (s.int_end - s.int_begin == 1 && *s.int_begin == '0') {
    const char* first = s.frac_begin;
    while (*first == '0') ++first;
    return first - s.frac_begin <= 4;
  }
  return true;
}

template <class Key, class Value>
struct Member {
  Member() noexcept = default;
  Member(Key k, Value v) noexcept : key(std::move(k)), value(std::move(v)) {}
  Key key;
  Value value;
};

// MARK: - Reader (Private)

// One read of one text. With a canonical buffer, the value's canonical text
// is made on the way: the input is copied run by run, with whitespace cut
// and the few tokens the writer spells otherwise (escaped strings, some
// floats) rewritten, so a compact text costs one copy. A repeated key makes
// that text wrong (the member it drops was copied); canonical_exact() says
// so and the caller writes the value instead.
template <class Builder>
class Reader {
 public:
  using Value = typename Builder::Value;
  using Key = typename Builder::Key;

  Reader(std::string_view text, Builder& builder,
         std::string* canonical = nullptr) noexcept
      : begin_(text.data()),
        p_(text.data()),
        end_(text.data() + text.size()),
        run_(text.data()),
        canonical_(canonical),
        builder_(builder) {}

  const ReadError& error() const noexcept { return error_; }
  // After a successful read: whether the canonical buffer holds the value's
  // canonical text.
  bool canonical_exact() const noexcept { return exact_; }
  // After a successful read of a string document: its decoded content, valid
  // until the reader or the text goes away.
  std::string_view last_string() const noexcept { return last_string_; }

  // Document steps around one value; false with error() set on failure
  // (error() is meaningless when the builder stopped the read).
  bool read_document(Value& out) {
    if (canonical_ != nullptr) {
      canonical_->clear();
      canonical_->reserve(static_cast<std::size_t>(end_ - begin_));
    }
    skip_ws();
    if (p_ == end_) return fail(ReadErrorKind::EofInValue);
    if (!read_value(out)) return false;
    if (!finish_document()) return false;
    if (canonical_ != nullptr) cut(end_, end_);
    return true;
  }

  bool read_number_document(JsonNumber& out) {
    skip_ws();
    if (p_ == end_) return fail(ReadErrorKind::EofInValue);
    const unsigned char c = static_cast<unsigned char>(*p_);
    if (c == '-' || is_digit(c)) {
      if (!read_number(out)) return false;
      return finish_document();
    }
    if (c == '[' || c == '{') return fail(ReadErrorKind::NotANumber);
    // A literal or string is read first so a malformed one reports its own
    // kind; a well-formed one is still not a number.
    if (c == 'n' || c == 't' || c == 'f' || c == '"') {
      Value ignored;
      if (!read_value(ignored)) return false;
      return fail_before(ReadErrorKind::NotANumber);
    }
    return fail(ReadErrorKind::ExpectedValue);
  }

 private:
  // Records an error at the byte under p_ (the error point is just past it).
  bool fail(ReadErrorKind kind) noexcept {
    set_error(kind, p_ == end_ ? p_ : p_ + 1);
    return false;
  }

  // Records an error at the last byte consumed.
  bool fail_before(ReadErrorKind kind) noexcept {
    set_error(kind, p_);
    return false;
  }

  void set_error(ReadErrorKind kind, const char* point) noexcept {
    std::uint32_t line = 1;
    const char* line_start = begin_;
    for (const char* q = begin_; q < point; ++q) {
      if (*q == '\n') {
        ++line;
        line_start = q + 1;
      }
    }
    error_ =
        ReadError{kind, line, static_cast<std::uint32_t>(point - line_start)};
  }

  bool finish_document() {
    skip_ws();
    if (p_ != end_) return fail(ReadErrorKind::TrailingCharacters);
    return true;
  }

  // Canonical text: copies the pending run up to `from` and resumes it at
  // `to`, leaving [from, to) out.
  void cut(const char* from, const char* to) {
    canonical_->append(run_, static_cast<std::size_t>(from - run_));
    run_ = to;
  }

  void skip_ws() {
    if (p_ == end_ || !is_json_ws(static_cast<unsigned char>(*p_))) return;
    const char* start = p_;
    do {
      ++p_;
    } while (p_ != end_ && is_json_ws(static_cast<unsigned char>(*p_)));
    if (canonical_ != nullptr) cut(start, p_);  // the writer writes none
  }

  bool read_value(Value& out) {
    switch (*p_) {
      case 'n':
        return read_literal("null", 4) && builder_.null_value(out);
      case 't':
        return read_literal("true", 4) && builder_.bool_value(true, out);
      case 'f':
        return read_literal("false", 5) && builder_.bool_value(false, out);
      case '"': {
        std::string_view s;
        if (!read_string(s)) return false;
        last_string_ = s;
        return builder_.string_value(s, out);
      }
      case '[':
        return read_array(out);
      case '{':
        return read_object(out);
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9': {
        JsonNumber n;
        return read_number(n) && builder_.number_value(n, out);
      }
      default:
        return fail(ReadErrorKind::ExpectedValue);
    }
  }

  bool read_literal(const char* word, std::size_t len) noexcept {
    ++p_;
    for (std::size_t i = 1; i < len; ++i) {
      if (p_ == end_) return fail(ReadErrorKind::EofInValue);
      if (*p_ != word[i]) return fail(ReadErrorKind::ExpectedLiteral);
      ++p_;
    }
    return true;
  }

  bool take_budget() noexcept {
    if (--budget_ == 0) {
      ++budget_;
      return fail(ReadErrorKind::RecursionLimitExceeded);
    }
    return true;
  }

  bool read_array(Value& out) {
    if (!take_budget()) return false;
    const bool ok = read_array_body(out);
    ++budget_;
    return ok;
  }

  // Elements wait on values_ until the array closes, so each array is
  // allocated once at its final length instead of growing element by element.
  bool read_array_body(Value& out) {
    ++p_;
    skip_ws();
    if (p_ == end_) return fail(ReadErrorKind::EofInArray);
    const std::size_t base = values_.size();
    if (*p_ != ']') {
      for (;;) {
        // Read aside: nested arrays grow values_ and may move it.
        Value item;
        if (!read_value(item)) return false;
        values_.push_back(std::move(item));
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInArray);
        if (*p_ == ']') break;
        if (*p_ != ',') return fail(ReadErrorKind::ExpectedArrayCommaOrEnd);
        ++p_;
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInValue);
        if (*p_ == ']') return fail(ReadErrorKind::TrailingComma);
      }
    }
    ++p_;
    return builder_.array_value(values_, base, out);
  }

  bool read_object(Value& out) {
    if (!take_budget()) return false;
    const bool ok = read_object_body(out);
    ++budget_;
    return ok;
  }

  // Members wait on members_ until the object closes, for the same reason.
  bool read_object_body(Value& out) {
    ++p_;
    skip_ws();
    if (p_ == end_) return fail(ReadErrorKind::EofInObject);
    const std::size_t base = members_.size();
    if (*p_ != '}') {
      if (*p_ != '"') return fail(ReadErrorKind::KeyMustBeString);
      for (;;) {
        std::string_view key_text;
        if (!read_string(key_text)) return false;
        // The key is made now: reading the value reuses scratch_.
        Key key;
        if (!builder_.key(key_text, key)) return false;
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInObject);
        if (*p_ != ':') return fail(ReadErrorKind::ExpectedColon);
        ++p_;
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInValue);
        Value value;
        if (!read_value(value)) return false;
        members_.emplace_back(std::move(key), std::move(value));
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInObject);
        if (*p_ == '}') break;
        if (*p_ != ',') return fail(ReadErrorKind::ExpectedObjectCommaOrEnd);
        ++p_;
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInValue);
        if (*p_ == '}') return fail(ReadErrorKind::TrailingComma);
        if (*p_ != '"') return fail(ReadErrorKind::KeyMustBeString);
      }
    }
    ++p_;
    bool repeated = false;
    if (!builder_.object_value(members_, base, out, repeated)) return false;
    if (repeated) exact_ = false;
    return true;
  }

  // Entered on the opening quotation mark; `out` views the decoded bytes,
  // straight in the text when the string has no escape, else in scratch_
  // (valid until the next string is read).
  bool read_string(std::string_view& out) {
    const char* const open = p_;
    ++p_;
    const char* run = p_;
    bool escaped = false;
    for (;;) {
      p_ = find_string_special(p_, end_);
      if (p_ == end_) return fail(ReadErrorKind::EofInString);
      const unsigned char c = static_cast<unsigned char>(*p_);
      if (c == '"') {
        if (!escaped) {
          out = std::string_view(run, static_cast<std::size_t>(p_ - run));
          ++p_;
          return true;
        }
        scratch_.append(run, static_cast<std::size_t>(p_ - run));
        out = scratch_;
        ++p_;
        // The writer spells some escapes otherwise ("\/", most "\u").
        if (canonical_ != nullptr) {
          cut(open, p_);
          escape_string(scratch_, *canonical_);
        }
        return true;
      }
      if (c < 0x20) return fail(ReadErrorKind::ControlCharacterInString);
      // A backslash.
      if (!escaped) {
        escaped = true;
        scratch_.clear();
      }
      scratch_.append(run, static_cast<std::size_t>(p_ - run));
      ++p_;
      if (!read_escape()) return false;
      run = p_;
    }
  }

  // Entered just past a backslash; appends the escape's bytes to scratch_.
  bool read_escape() {
    if (p_ == end_) return fail(ReadErrorKind::EofInString);
    if (*p_ == 'u') {
      ++p_;
      return read_unicode_escape();
    }
    const char c = simple_escape(static_cast<unsigned char>(*p_));
    if (c == 0) return fail(ReadErrorKind::InvalidEscape);
    scratch_.push_back(c);
    ++p_;
    return true;
  }

  // Four hex digits at p_ into `out`.
  bool read_hex4(std::uint32_t& out) noexcept {
    if (end_ - p_ < 4) {
      p_ = end_;
      return fail(ReadErrorKind::EofInString);
    }
    std::uint32_t v = 0;
    const std::size_t n = read_hex_digits(p_, end_, v);
    p_ += n;
    if (n < 4) return fail(ReadErrorKind::InvalidEscape);
    out = v;
    return true;
  }

  // Entered just past "\u".
  bool read_unicode_escape() {
    std::uint32_t n = 0;
    if (!read_hex4(n)) return false;
    if (n >= 0xDC00 && n <= 0xDFFF)
      return fail_before(ReadErrorKind::LoneSurrogate);
    if (n >= 0xD800 && n <= 0xDBFF) {
      if (p_ == end_) return fail(ReadErrorKind::EofInString);
      if (*p_ != '\\') return fail(ReadErrorKind::UnexpectedEndOfHexEscape);
      ++p_;
      if (p_ == end_) return fail(ReadErrorKind::EofInString);
      if (*p_ != 'u') return fail(ReadErrorKind::UnexpectedEndOfHexEscape);
      ++p_;
      std::uint32_t m = 0;
      if (!read_hex4(m)) return false;
      if (m < 0xDC00 || m > 0xDFFF)
        return fail_before(ReadErrorKind::LoneSurrogate);
      n = combine_surrogates(n, m);
    }
    append_utf8(n, scratch_);
    return true;
  }

  // Entered on '-' or a digit.
  bool read_number(JsonNumber& out) {
    NumberScan scan = scan_number(p_, end_);
    p_ = scan.stop;
    if (scan.error != NumberScanError::None) {
      return fail(scan.error == NumberScanError::Eof
                      ? ReadErrorKind::EofInValue
                      : ReadErrorKind::InvalidNumber);
    }
    if (!convert_number(scan, out)) {
      return fail_before(ReadErrorKind::NumberOutOfRange);
    }
    // Integers come back as written (the grammar rules out leading zeros
    // and "-0" is a Float); a Float keeps its token only if that is the
    // writer's form ("1e-08" is not).
    if (canonical_ != nullptr && out.kind() == NumberKind::Float &&
        plain_float_is_canonical(scan) != true) {
      char buf[kMaxDoubleText];
      const char* w = write_double(out.as_double(), buf);
      const auto n = static_cast<std::size_t>(w - buf);
      if (n != static_cast<std::size_t>(p_ - scan.begin) ||
          std::memcmp(buf, scan.begin, n) != 0) {
        cut(scan.begin, p_);
        canonical_->append(buf, n);
      }
    }
    return true;
  }

  const char* begin_;
  const char* p_;
  const char* end_;
  const char* run_;         // start of the input not yet copied or cut
  std::string* canonical_;  // null: no canonical text wanted
  Builder& builder_;
  bool exact_ = true;  // no repeated key spoiled the canonical text
  std::uint8_t budget_ = 128;
  std::string_view last_string_;
  std::string scratch_;
  std::vector<Value> values_;  // elements of the open arrays, innermost last
  std::vector<Member<Key, Value>> members_;  // members of the open objects
  ReadError error_{ReadErrorKind::EofInValue, 1, 0};
};

// MARK: - The engine's tree (Private)

struct TreeBuilder {
  using Value = JsonValue;
  using Key = std::string;

  template <class... Args>
  static void set(Value& out, Args&&... args) noexcept {
    out = JsonValue(std::forward<Args>(args)...);
  }

  bool failed() const noexcept { return false; }
  static bool is_null(const Value& value) noexcept { return value.is_null(); }

  bool null_value(Value& out) noexcept {
    set(out);
    return true;
  }
  bool bool_value(bool b, Value& out) noexcept {
    set(out, b);
    return true;
  }
  bool number_value(const JsonNumber& n, Value& out) noexcept {
    set(out, n);
    return true;
  }
  bool string_value(std::string_view s, Value& out) {
    set(out, std::string(s));
    return true;
  }
  bool key(std::string_view s, Key& out) {
    out.assign(s);
    return true;
  }
  void adopt_string(std::string&& s, Value& out) noexcept {
    set(out, std::move(s));
  }
  void adopt_key(std::string&& s, Key& out) noexcept { out = std::move(s); }
  bool array_value(std::vector<Value>& stack, std::size_t base, Value& out) {
    if (base == 0) {
      // The outermost array owns the whole stack: hand it over without a
      // copy, which halves the peak for a text that is one long array.
      set(out, std::move(stack));
      stack = JsonArray();
      return true;
    }
    const auto first = stack.begin() + static_cast<std::ptrdiff_t>(base);
    set(out, JsonArray(std::make_move_iterator(first),
                       std::make_move_iterator(stack.end())));
    stack.erase(first, stack.end());
    return true;
  }
  bool object_value(std::vector<Member<Key, Value>>& stack, std::size_t base,
                    Value& out, bool& repeated) {
    JsonObject obj;
    obj.reserve(stack.size() - base);
    for (std::size_t i = base; i < stack.size(); ++i) {
      if (obj.insert(std::move(stack[i].key), std::move(stack[i].value))) {
        repeated = true;
      }
    }
    stack.resize(base);
    set(out, std::move(obj));
    return true;
  }
};

}  // namespace tarnwick::detail
