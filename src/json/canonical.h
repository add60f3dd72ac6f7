// Lets the ladder skip the writer when the text it parsed is already the
// canonical text of its value, as compact replies often are.
#pragma once

#include <cstddef>      // size_t
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view

#include "tarnwick/reader.h"
#include "tarnwick/value.h"

namespace tarnwick::detail {

// parse_document that on success also sets `canonical` to
// to_canonical_text of the value when the text differs from that only by
// whitespace and by how numbers are spelled: the canonical text is then the
// input with those few pieces cut or rewritten, cheaper than writing the
// tree. Left empty when a string has an escape the writer spells otherwise
// or a key repeats; the caller writes the tree then.
ReadResult<JsonValue> parse_document_noting_canonical(
    std::string_view text, std::optional<std::string>& canonical);

// The longest text write_double produces: sign, 17 digits, point, and
// "e-308", or "0." with five zeros and 17 digits; rounded up.
inline constexpr std::size_t kMaxDoubleText = 32;

// Writes a finite double in its shortest round-trip form at `w` (room for
// kMaxDoubleText bytes); returns the end.
char* write_double(double value, char* w) noexcept;

}  // namespace tarnwick::detail
