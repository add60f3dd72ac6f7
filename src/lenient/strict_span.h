// The quick look that answers most texts: whether a text is one strict JSON
// document as it stands. (Private)
#pragma once

#include <cstddef>      // size_t
#include <optional>     // optional
#include <string_view>  // string_view
#include <utility>      // pair

namespace tarnwick::detail::lenient {

// The strict reader accepts 127 nested containers; a deeper one becomes
// null.
inline constexpr std::size_t kMaxDepth = 127;

// Where the value of a strict document lies in `text` ([first, second),
// whitespace around it left out), or nothing when the text is not one
// strict document as the strict reader judges it: its grammar, escapes
// (surrogates paired), number range and nesting limit. Builds nothing and
// edits nothing, so the texts that need no rewrite cost one quick look.
std::optional<std::pair<std::size_t, std::size_t>> strict_document_span(
    std::string_view text) noexcept;

}  // namespace tarnwick::detail::lenient
