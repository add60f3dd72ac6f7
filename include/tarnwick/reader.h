// The strict reader: exactly one RFC 8259 document, no extensions.
#pragma once

#include <cstdint>      // uint32_t
#include <optional>     // optional
#include <string_view>  // string_view
#include <utility>      // move
#include <variant>      // variant

#include "tarnwick/value.h"

namespace tarnwick {

enum class ReadErrorKind : std::uint8_t {
  EofInArray,     // text ends after '[' or an element
  EofInObject,    // text ends after '{', a key or a member
  EofInString,    // text ends inside a string or a \u escape
  EofInValue,     // text ends where a value was due, or mid-literal/number
  ExpectedColon,  // a key is not followed by ':'
  ExpectedArrayCommaOrEnd,   // an element is not followed by ',' or ']'
  ExpectedObjectCommaOrEnd,  // a member is not followed by ',' or '}'
  ExpectedLiteral,           // a letter of null/true/false does not match
  ExpectedValue,             // the first byte of a value starts no value
  InvalidEscape,             // unknown escape, or a non-hex digit in \u
  InvalidNumber,             // the number grammar is broken
  NumberOutOfRange,          // the magnitude overflows the double range
  ControlCharacterInString,  // a raw byte below 0x20 inside a string
  KeyMustBeString,           // a member does not start with '"'
  LoneSurrogate,             // an unpaired surrogate escape
  TrailingComma,             // ',' directly before ']' or '}'
  TrailingCharacters,        // non-whitespace after the top-level value
  UnexpectedEndOfHexEscape,  // a high surrogate not followed by "\u"
  RecursionLimitExceeded,    // the 128th open container
  NotANumber,                // parse_number_document found another value
};

// Where the reader stopped: line is 1 + the line feeds before the error
// point, column the bytes between the last of them and the error point.
struct ReadError {
  ReadErrorKind kind;
  std::uint32_t line;
  std::uint32_t column;
};

// A value or the error that ended the read.
template <class T>
class [[nodiscard]] ReadResult {
 public:
  ReadResult(T value) noexcept : v_(std::move(value)) {}  // NOLINT: implicit
  ReadResult(ReadError error) noexcept : v_(error) {}     // NOLINT: implicit

  bool ok() const noexcept { return v_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }
  T& value() noexcept { return *std::get_if<0>(&v_); }
  const T& value() const noexcept { return *std::get_if<0>(&v_); }
  const ReadError& error() const noexcept { return *std::get_if<1>(&v_); }

 private:
  std::variant<T, ReadError> v_;
};

// One JSON document, whitespace allowed around it.
ReadResult<JsonValue> parse_document(std::string_view text);

// The document's value only when it is an array or an object.
std::optional<JsonValue> parse_container(std::string_view text);

// False when parse_document(text) certainly fails: the last byte outside
// JSON whitespace cannot end a value that starts with the first one (or there
// is none). True promises nothing. Looks at the two ends only, so a caller that
// needs nothing but success can skip a parse that would build a whole tree
// before failing, as on a truncated text.
bool may_be_document(std::string_view text) noexcept;

// A document whose value must be a number; any other value is NotANumber.
ReadResult<JsonNumber> parse_number_document(std::string_view text);

}  // namespace tarnwick
