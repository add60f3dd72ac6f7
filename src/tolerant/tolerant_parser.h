// The tolerant parser behind the ladder's "tolerant" rung:
// reads one JSON-like value from the start of a text and never fails. Each
// defect is resolved by a fixed local rule; what follows the value is ignored.
// (Private)
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move
#include <vector>       // vector

#include "json/reader_impl.h"
#include "tarnwick/value.h"
#include "tarnwick/writer.h"
#include "text/chars.h"
#include "text/utf8.h"

namespace tarnwick::detail {

// One entry of the parser's stack per container being parsed.
enum class ContainerKind : std::uint8_t {
  Object = 0,
  Array = 1,
};

// Everything of the tolerant parser that does not build values: the text,
// the position, the container stack and the token readers. It reads the
// UTF-8 bytes themselves: every character the rules look at is ASCII, and an
// ASCII byte is always a code point of its own, so code points are decoded
// only where whitespace or a string's content needs them.
class TolerantScanner {
 public:
  // A '[' or '{' opens a container only while fewer than this many are open;
  // a deeper one is skipped whole by skip_balanced and becomes null. This
  // bounds the recursion of parse_value whatever the text holds.
  static constexpr std::size_t MAX_DEPTH = 120;

  // pos 0, empty stack. The text is read in place and must outlive the
  // scanner. Bytes that form no well-formed UTF-8 sequence read
  // as U+FFFD, one per byte.
  explicit TolerantScanner(std::string_view text);

  // Advances pos past White_Space code points.
  void skip_whitespace() noexcept { skip_ws(); }

  // Byte offsets into the text.
  std::size_t pos() const noexcept { return pos_; }
  std::size_t length() const noexcept { return n_; }
  // The number of containers open now (0 outside parse_value).
  std::size_t depth() const noexcept { return stack_.size(); }
  // The largest number of containers that were ever open at once.
  std::size_t peak_depth() const noexcept { return peak_depth_; }

 protected:
  enum class Word : std::uint8_t { True, False, Other };

  // The byte at i < length(), as an unsigned value.
  unsigned char at(std::size_t i) const noexcept {
    return static_cast<unsigned char>(s_[i]);
  }
  // Reads a string at pos into `out` (cleared first; a reused buffer).
  void parse_string(std::string& out);
  Word parse_word() noexcept;
  // The number a run of number characters spells, or nothing (null).
  std::optional<JsonNumber> parse_number_run() noexcept;
  void skip_balanced(char open, char close) noexcept;
  // Moves pos past the code point there: one byte when it is ASCII.
  void skip_code_point() noexcept {
    if (at(pos_) < 0x80) {
      ++pos_;
    } else {
      (void)decode_utf8(std::string_view(s_, n_), pos_);
    }
  }
  // skip_whitespace, inlined into the loops.
  void skip_ws() noexcept {
    while (pos_ < n_) {
      const unsigned char c = at(pos_);
      if (c == ' ' || (c >= 0x09 && c <= 0x0D)) {
        ++pos_;
        continue;
      }
      if (c < 0x80) return;
      const std::size_t w = white_space_length(s_ + pos_, s_ + n_);
      if (w == 0) return;
      pos_ += w;
    }
  }
  // After an outermost closer at pos: when the next code point that is not
  // White_Space is ',', moves pos past it and returns true; otherwise leaves
  // pos alone.
  bool continue_top_level() noexcept;
  void push(ContainerKind kind);
  void pop() noexcept;
  std::uint32_t read_hex4() noexcept;

  const char* s_;
  std::size_t n_;
  std::vector<ContainerKind> stack_;
  std::size_t pos_ = 0;
  // Counts of each kind on the stack, so that "is any enclosing container an
  // object (array)?" is answered in constant time.
  std::size_t open_objects_ = 0;
  std::size_t open_arrays_ = 0;
  std::size_t peak_depth_ = 0;
};

// The tolerant parser over a builder of json/reader_impl.h (the engine's tree
// or the binding's objects; the builder also answers is_null(value)). With a
// canonical buffer it writes the value's canonical text as it goes: a value
// is written when the parser takes it (every value that consumed text is
// kept), a container's brackets when it opens and closes. A repeated key
// makes that text wrong; canonical_exact() says so.
template <class Builder>
class BasicTolerantParser : public TolerantScanner {
 public:
  using Value = typename Builder::Value;
  using Key = typename Builder::Key;

  BasicTolerantParser(std::string_view text, Builder& builder,
                      std::string* canonical = nullptr)
      : TolerantScanner(text), builder_(builder), canonical_(canonical) {}

  // Reads one value starting at pos; null when no value can start there (pos
  // does not move then, and nothing is written). Never fails.
  Value parse_value() {
    skip_ws();
    Value out;
    if (pos_ >= n_) {
      builder_.null_value(out);
      return out;
    }
    switch (at(pos_)) {
      case '"': {
        parse_string(text_);
        emit_string(text_);
        if constexpr (kAdopts) {
          builder_.adopt_string(std::move(text_), out);
        } else {
          builder_.string_value(text_, out);
        }
        return out;
      }
      case '+':
      case '-':
      case '.':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        if (const std::optional<JsonNumber> n = parse_number_run()) {
          emit_number(*n);
          builder_.number_value(*n, out);
        } else {
          emit_literal("null", 4);
          builder_.null_value(out);
        }
        return out;
      case '[':
        if (stack_.size() < MAX_DEPTH) return parse_array();
        skip_balanced('[', ']');
        emit_literal("null", 4);
        builder_.null_value(out);
        return out;
      case '{':
        if (stack_.size() < MAX_DEPTH) return parse_object();
        skip_balanced('{', '}');
        emit_literal("null", 4);
        builder_.null_value(out);
        return out;
      case 'f':
      case 'n':
      case 't':
        switch (parse_word()) {
          case Word::True:
            emit_literal("true", 4);
            builder_.bool_value(true, out);
            return out;
          case Word::False:
            emit_literal("false", 5);
            builder_.bool_value(false, out);
            return out;
          case Word::Other:
            break;
        }
        emit_literal("null", 4);
        builder_.null_value(out);
        return out;
      default:
        builder_.null_value(out);
        return out;
    }
  }

  bool canonical_exact() const noexcept { return exact_; }

 private:
  // A builder whose strings are std::string takes the buffer over instead
  // of copying it (the next string then starts a new one).
  static constexpr bool kAdopts =
      requires(Builder& b, std::string s, Value& v, Key& k) {
        b.adopt_string(std::move(s), v);
        b.adopt_key(std::move(s), k);
      };

  Value parse_array() {
    ++pos_;  // '['
    push(ContainerKind::Array);
    emit_open('[');
    // Elements wait on values_ until the array ends, so that it is allocated
    // once at its final length (growing it doubled both time and memory).
    const std::size_t base = values_.size();
    const std::size_t n = n_;
    for (;;) {
      skip_ws();
      if (pos_ >= n) break;
      const unsigned char c = at(pos_);
      if (c == ']') {
        if (stack_.size() == 1 && continue_top_level()) continue;
        ++pos_;
        break;
      }
      if (c == ',') {
        ++pos_;
        continue;
      }
      if (c == '}') {
        if (open_objects_ > 0) break;  // left for the enclosing object
        ++pos_;
        continue;
      }
      const std::size_t before = pos_;
      Value item = parse_value();
      if (pos_ == before) {
        skip_code_point();  // one that starts no value
        continue;
      }
      values_.push_back(std::move(item));
      skip_ws();
      if (pos_ < n && at(pos_) == ',') ++pos_;
    }
    pop();
    emit_close(']');
    Value out;
    builder_.array_value(values_, base, out);
    return out;
  }

  Value parse_object() {
    ++pos_;  // '{'
    push(ContainerKind::Object);
    emit_open('{');
    // Members wait on members_ for the same reason; the builder applies the
    // duplicate-key rule in their order at the end.
    const std::size_t base = members_.size();
    const std::size_t n = n_;
    for (;;) {
      skip_ws();
      if (pos_ >= n) break;
      const unsigned char c = at(pos_);
      if (c == '}') {
        if (stack_.size() == 1 && continue_top_level()) continue;
        ++pos_;
        break;
      }
      if (c == '"') {
        parse_string(text_);
        emit_key(text_);
        Key key;
        if constexpr (kAdopts) {
          builder_.adopt_key(std::move(text_), key);
        } else {
          builder_.key(text_, key);
        }
        skip_ws();
        if (pos_ < n && at(pos_) == ':') ++pos_;
        Value value = parse_value();              // null when missing
        if (after_key_) emit_literal("null", 4);  // nothing was written
        members_.emplace_back(std::move(key), std::move(value));
        skip_ws();
        if (pos_ < n && at(pos_) == ',') ++pos_;
        continue;
      }
      if (c == ']') {
        if (open_arrays_ > 0) break;  // left for the enclosing array
        ++pos_;
        continue;
      }
      skip_code_point();  // anything else in key position is skipped
    }
    pop();
    emit_close('}');
    Value out;
    bool repeated = false;
    builder_.object_value(members_, base, out, repeated);
    if (repeated) exact_ = false;
    return out;
  }

  // MARK: Canonical text

  // Before a value's first byte: a comma when its container already holds
  // one, none right after a key.
  void begin_value() {
    if (after_key_) {
      after_key_ = false;
      return;
    }
    if (!filled_.empty()) {
      if (filled_.back()) canonical_->push_back(',');
      filled_.back() = true;
    }
  }
  void emit_literal(const char* text, std::size_t length) {
    if (canonical_ == nullptr) return;
    begin_value();
    canonical_->append(text, length);
  }
  void emit_number(const JsonNumber& n) {
    if (canonical_ == nullptr) return;
    begin_value();
    append_number(n, *canonical_);
  }
  void emit_string(std::string_view s) {
    if (canonical_ == nullptr) return;
    begin_value();
    escape_string(s, *canonical_);
  }
  void emit_key(std::string_view s) {
    if (canonical_ == nullptr) return;
    begin_value();
    escape_string(s, *canonical_);
    canonical_->push_back(':');
    after_key_ = true;
  }
  void emit_open(char bracket) {
    if (canonical_ == nullptr) return;
    begin_value();
    canonical_->push_back(bracket);
    filled_.push_back(false);
  }
  void emit_close(char bracket) {
    if (canonical_ == nullptr) return;
    canonical_->push_back(bracket);
    filled_.pop_back();
  }
  Builder& builder_;
  std::string* canonical_;     // null: no canonical text wanted
  bool exact_ = true;          // no repeated key spoiled the canonical text
  bool after_key_ = false;     // the next value follows a key and its colon
  std::vector<bool> filled_;   // per open container: holds a value already
  std::string text_;           // the string or key being read
  std::vector<Value> values_;  // elements of the open arrays, innermost last
  std::vector<Member<Key, Value>> members_;  // members of the open objects
};

namespace tolerant_detail {
struct TreeHolder {
  TreeBuilder tree;
};
}  // namespace tolerant_detail

// The tolerant parser over the engine's tree.
class TolerantParser : private tolerant_detail::TreeHolder,
                       public BasicTolerantParser<TreeBuilder> {
 public:
  explicit TolerantParser(std::string_view text,
                          std::string* canonical = nullptr)
      : BasicTolerantParser<TreeBuilder>(text, tree, canonical) {}
};

// Runs a parser over `text` from its first non-White_Space code point and
// returns parse_value's result.
JsonValue parse_tolerant(std::string_view text);

}  // namespace tarnwick::detail
