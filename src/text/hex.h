// The hex digits of a \u escape, read the one way every reader of the
// engine reads them. (Private)
#pragma once

#include <cstddef>  // size_t
#include <cstdint>  // uint32_t

#include "text/chars.h"  // hex_value

namespace tarnwick::detail {

// Reads up to four hexadecimal digits from [p, end) into `code` (set to 0
// first). Returns how many were read: 4 for a complete escape, fewer where
// a non-digit or the end came first. Readers that need all four check the
// count; those that take what is there (a cut escape) use it as the length.
inline std::size_t read_hex_digits(const char* p, const char* end,
                                   std::uint32_t& code) noexcept {
  code = 0;
  std::size_t n = 0;
  for (; n < 4 && p + n != end; ++n) {
    const int d = hex_value(static_cast<unsigned char>(p[n]));
    if (d < 0) break;
    code = code * 16 + static_cast<std::uint32_t>(d);
  }
  return n;
}

constexpr bool is_high_surrogate(std::uint32_t code) noexcept {
  return code >= 0xD800 && code <= 0xDBFF;
}
constexpr bool is_low_surrogate(std::uint32_t code) noexcept {
  return code >= 0xDC00 && code <= 0xDFFF;
}

}  // namespace tarnwick::detail
