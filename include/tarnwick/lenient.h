// The lenient pass: rewrites the defects that model replies carry (quotes of
// every kind, comments, Python and JavaScript literals, unquoted keys and
// words, number spellings, wrapper calls, several values in a row...) into
// one strict JSON document. Pure: no global state, no exceptions, no
// recursion; linear in the length of the text.
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint32_t
#include <string>       // string
#include <string_view>  // string_view

namespace tarnwick {

// The families of rewrites, one bit each. Reported in this order; the names
// are kebab-case ("single-quotes", ...), see fix_name.
enum class Fix : std::uint32_t {
  ByteOrderMark = 1u << 0,        // a leading U+FEFF dropped
  LoneSurrogates = 1u << 1,       // set by callers that replace them (U+FFFD)
  EscapedDocument = 1u << 2,      // {\"a\": 1}: unescaped once
  Quotes = 1u << 3,               // '...', `...`, typographic quotes
  InnerQuotes = 1u << 4,          // a " inside a string that ends nothing
  Comments = 1u << 5,             // //..., /*...*/, #...
  Literals = 1u << 6,             // True, NONE, undefined, NaN, Infinity...
  UnquotedKeys = 1u << 7,         // {name: 1}
  BareWords = 1u << 8,            // [a, b], {"id": 746de9ad-25d8}
  Numbers = 1u << 9,              // 1_000, .5, 5., +1, 0x1f, 007
  ControlCharacters = 1u << 10,   // raw controls in strings, escaped
  Escapes = 1u << 11,             // \', \x, lone \u surrogates, cut escapes
  Ellipsis = 1u << 12,            // [1, 2, ...]
  Wrappers = 1u << 13,            // name(...), ObjectId("..."), NumberLong(2)
  Concatenation = 1u << 14,       // "a" + "b"
  MultipleValues = 1u << 15,      // 1\n2\n3: one array
  MissingPunctuation = 1u << 16,  // a comma or colon that was left out
  TrailingCommas = 1u << 17,      // [1, 2,] and empty slots [1,,2]
  Brackets = 1u << 18,            // a stray or mismatched closing bracket
  Truncated = 1u << 19,           // strings and containers closed at the end
  TrailingText = 1u << 20,        // what follows the value, dropped
  InvalidUtf8 = 1u << 21,         // set by callers that decode bytes (U+FFFD)
};
inline constexpr std::size_t FIX_COUNT = 22;

// A set of Fix bits.
using FixSet = std::uint32_t;

constexpr FixSet fix_bit(Fix fix) noexcept { return static_cast<FixSet>(fix); }

// The kebab-case name of one fix ("byte-order-mark", "quotes", ...).
std::string_view fix_name(Fix fix) noexcept;

// The fix whose bit is `1 << index`, for index < FIX_COUNT: the reporting
// order.
constexpr Fix fix_at(std::size_t index) noexcept {
  return static_cast<Fix>(std::uint32_t{1} << index);
}

struct LenientText {
  // The strict JSON document the text was rewritten to; empty when
  // `changed` is false.
  std::string text;
  FixSet fixes = 0;
  // False: nothing needed rewriting (the text is taken as it stands), or no
  // value was recognised at the start of the text (`found` false).
  bool changed = false;
  // A value starts the text (after whitespace and comments): a container, a
  // string, a number, a literal or a wrapper call. Prose does not.
  bool found = false;
  // Where the value (or the values) begins and ends in the text, in bytes.
  // Unchanged, the document is text[begin, end).
  std::size_t begin = 0;
  std::size_t end = 0;
  // Only whitespace, comments or a statement's end follow `end`: the value
  // took the whole text. Otherwise what follows was left as trailing text.
  bool to_end = false;
  // The rewrite rests on a choice between two readings of the text that
  // were both plausible: where a string that lost its closing quote ends,
  // which container a mismatched closer closes, a missing colon against a
  // missing comma, a word dropped for want of a colon. Fences, prose,
  // trailing commas, comments, quote styles, literals and truncation alone
  // never set it.
  bool guessed = false;
};

// How much of the text the pass reads.
enum class LenientScope : std::uint8_t {
  Document,  // the whole text: values one after another become an array
  OneValue,  // the first value only; the rest is trailing text
};

// Rewrites `text` (UTF-8) into one strict JSON document. The identity on
// every strict document (changed false). Output at most a small constant
// times the input. Never fails: text that starts no value gives found false.
LenientText lenient_rewrite(std::string_view text,
                            LenientScope scope = LenientScope::Document);

}  // namespace tarnwick
