// The writer's number formatting, shared with the readers, which write the
// canonical text of what they read as they go.
#pragma once

#include <cstddef>  // size_t
#include <string>   // string

#include "tarnwick/value.h"

namespace tarnwick::detail {

// The longest text write_double produces: sign, 17 digits, point, and
// "e-308", or "0." with five zeros and 17 digits; rounded up.
inline constexpr std::size_t kMaxDoubleText = 32;

// Writes a finite double in its shortest round-trip form at `w` (room for
// kMaxDoubleText bytes); returns the end.
char* write_double(double value, char* w) noexcept;

// Appends the writer's text of a number (integers as they are, floats in
// shortest round-trip form).
void append_number(const JsonNumber& number, std::string& out);

}  // namespace tarnwick::detail
