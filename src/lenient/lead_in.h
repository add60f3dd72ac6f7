// What the prose that leads into a candidate says of it, for the choice
// among several values in one reply. (Private)
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <string_view>  // string_view

namespace tarnwick::detail {

// A correction or the answer named ("Corrected:", "Final answer:",
// "Output:") supersedes what came before; a schema, an example, an input or
// a first draft ("Template:", "Input was:", "For reference, an empty result
// looks like") is provisional and gives way to a value after it.
enum class LeadIn : std::uint8_t { Plain, Supersedes, Provisional };

// Reads text[from, to), at most its last 240 bytes: the last sentence that
// says anything decides; in it a strong word outweighs a weak one, and a
// provisional one of the same strength the rest ("an example of the
// output", "the actual response for your request").
LeadIn lead_in(std::string_view text, std::size_t from,
               std::size_t to) noexcept;

// Whether text[from, ...) holds any word lead_in would read.
bool has_lead_in_word(std::string_view text, std::size_t from) noexcept;

}  // namespace tarnwick::detail
