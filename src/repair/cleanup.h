// The text cleanup passes behind the ladder's cleanup rungs ("strip-fences",
// "strip-controls", "strip-trailing-commas"). Each is a pure function of its
// argument and makes one linear scan; none of them parses JSON. (Unwrapping a
// double-encoded document is the ladder's own step: its reader hands back a
// string document's content.) (Private)
#pragma once

#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view

namespace tarnwick::detail {

// The part of `text` between its first and last code point that is not
// White_Space; empty when there is none. A view into `text`.
std::string_view trim_whitespace(std::string_view text) noexcept;

// The inner text of a Markdown code fence that opens the trimmed text, with
// the language tag, a closing fence that ends the text, and surrounding
// White_Space removed; nothing when there is no opening fence or the inner
// text is empty.
std::optional<std::string> strip_fences(std::string_view text);

// `text` with raw tab, line feed and carriage return inside string literals
// escaped (\t, \n, \r) and the other raw code points below U+0020 there
// removed; everything outside strings and every escaped code point is kept.
std::string strip_controls(std::string_view text);

// `text` without the commas outside string literals that stand before '}' or
// ']' or before the end of the text, White_Space in between ignored.
std::string strip_trailing_commas(std::string_view text);

// Which of those two passes would change `text`, found in one scan, so that
// the ladder runs only a pass that has something to do. Escaping controls
// never moves a string's bounds or a comma, so `trailing_commas` holds for
// the text strip_controls returns as well.
struct CleanupNeeds {
  bool controls = false;
  bool trailing_commas = false;
};
CleanupNeeds cleanup_needs(std::string_view text) noexcept;

// The same two passes for the ladder: nothing when the pass would return
// `text` byte for byte, so an idle pass costs a scan and no copy.
std::optional<std::string> strip_controls_if_changed(std::string_view text);
std::optional<std::string> strip_trailing_commas_if_changed(
    std::string_view text);

}  // namespace tarnwick::detail
