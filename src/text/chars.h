// Character classes for every parser of the engine: JSON's whitespace,
// digits, hexadecimal digits and the Unicode White_Space set. (Private)
#pragma once

#include <cstddef>  // size_t

namespace tarnwick::detail {

// JSON's four whitespace bytes; the strict grammar knows no other.
constexpr bool is_json_ws(unsigned char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// For bytes and code points alike, with no conversion in the hot loops.
template <class Char>
constexpr bool is_digit(Char c) noexcept {
  return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit, or -1.
constexpr int hex_value(char32_t c) noexcept {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// The character a one-letter JSON escape stands for (the letter after the
// backslash: " \ / b f n r t), or 0 for any other letter, \u included.
constexpr char simple_escape(char32_t letter) noexcept {
  switch (letter) {
    case '"':
    case '\\':
    case '/':
      return static_cast<char>(letter);
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return 0;
  }
}

// True for the 25 code points of the Unicode White_Space property:
// U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028,
// U+2029, U+202F, U+205F, U+3000.
constexpr bool is_white_space(char32_t c) noexcept {
  if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
  if (c < 0x85) return false;
  if (c < 0x1680) return c == 0x85 || c == 0xA0;
  if (c == 0x1680) return true;
  if (c >= 0x2000 && c <= 0x200A) return true;
  return c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// The byte length of the White_Space code point that starts at `p`, or 0 when
// the bytes in [p, end) start anything else (invalid UTF-8 included). Works on
// the encoded bytes directly, so no decoding is needed to skip whitespace.
inline std::size_t white_space_length(const char* p, const char* end) noexcept {
  const auto b0 = static_cast<unsigned char>(*p);
  if (b0 < 0x80) return (b0 == 0x20 || (b0 >= 0x09 && b0 <= 0x0D)) ? 1 : 0;
  const auto left = static_cast<std::size_t>(end - p);
  if (b0 == 0xC2) {  // U+0085, U+00A0
    if (left < 2) return 0;
    const auto b1 = static_cast<unsigned char>(p[1]);
    return (b1 == 0x85 || b1 == 0xA0) ? 2 : 0;
  }
  if (b0 < 0xE1 || b0 > 0xE3 || left < 3) return 0;
  const auto b1 = static_cast<unsigned char>(p[1]);
  const auto b2 = static_cast<unsigned char>(p[2]);
  if (b0 == 0xE1) return (b1 == 0x9A && b2 == 0x80) ? 3 : 0;  // U+1680
  if (b0 == 0xE3) return (b1 == 0x80 && b2 == 0x80) ? 3 : 0;  // U+3000
  if (b1 == 0x80) {                                           // U+2000..U+203F
    return (b2 <= 0x8A && b2 >= 0x80) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF
               ? 3
               : 0;
  }
  return (b1 == 0x81 && b2 == 0x9F) ? 3 : 0;  // U+205F
}

}  // namespace tarnwick::detail
