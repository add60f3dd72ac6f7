// The writer's double formatting, shared with the reader, which keeps a
// float token when it already is the writer's spelling.
#pragma once

#include <cstddef>      // size_t

namespace tarnwick::detail {

// The longest text write_double produces: sign, 17 digits, point, and
// "e-308", or "0." with five zeros and 17 digits; rounded up.
inline constexpr std::size_t kMaxDoubleText = 32;

// Writes a finite double in its shortest round-trip form at `w` (room for
// kMaxDoubleText bytes); returns the end.
char* write_double(double value, char* w) noexcept;

}  // namespace tarnwick::detail
