// Double-quoted, escaped rendering of a text for the repr of RepairResult and
// for error messages. Pure C++: no interpreter headers.

#ifndef TARNWICK_PYTHON_DEBUG_QUOTE_H_
#define TARNWICK_PYTHON_DEBUG_QUOTE_H_

#include <span>         // std::span
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace tarnwick {

// Returns `utf8` between quotation marks, character by character:
// NUL, tab, line feed and carriage return as \0 \t \n \r; a quotation mark
// and a backslash preceded by a backslash; a character with Grapheme_Extend
// or one that is not printable as \u{hex} (lowercase, no leading zeros);
// every other character, the apostrophe included, as its own UTF-8 bytes.
// Input is expected to be valid UTF-8; a byte that starts no well-formed
// sequence becomes U+FFFD, so the result is always valid UTF-8.
std::string debug_quote(std::string_view utf8);

namespace detail {

// A closed range [first, last] of code points.
struct CodePointRange {
  char32_t first;
  char32_t last;
};

// The Unicode version of the tables below, e.g. "15.0.0".
std::string_view unicode_version() noexcept;

// Sorted, disjoint, non-adjacent ranges of the code points that are not
// printable: general category Cc, Cf, Cs, Co, Cn, Zl, Zp, or Zs but U+0020.
std::span<const CodePointRange> not_printable_ranges() noexcept;

// Sorted, disjoint, non-adjacent ranges of the code points with the
// Grapheme_Extend property.
std::span<const CodePointRange> grapheme_extend_ranges() noexcept;

}  // namespace detail
}  // namespace tarnwick

#endif  // TARNWICK_PYTHON_DEBUG_QUOTE_H_
