// Character utilities shared by the cleanup passes and the tolerant parser:
// the Unicode White_Space set and UTF-8 decoding. (Private)
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint64_t
#include <string>       // string
#include <string_view>  // string_view

#include "json/swar.h"  // kOnes, kHighs, load_u64
#include "json/utf8.h"  // append_utf8

namespace tarnwick::detail {

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

// Decodes the code point that starts at text[i] and advances i past it. A byte
// that starts no well-formed UTF-8 sequence (overlong forms, encoded
// surrogates and values above U+10FFFF included) decodes as U+FFFD and
// advances i by one byte. Requires i < text.size().
inline char32_t decode_utf8(std::string_view text, std::size_t& i) noexcept {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const unsigned char b0 = s[i];
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  auto cont = [&](std::size_t k) noexcept {
    return i + k < n && (s[i + k] & 0xC0) == 0x80;
  };
  if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
    const char32_t c = (char32_t{b0} & 0x1F) << 6 | (s[i + 1] & 0x3F);
    i += 2;
    return c;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
    const char32_t c = (char32_t{b0} & 0x0F) << 12 |
                       char32_t{s[i + 1] & 0x3Fu} << 6 | (s[i + 2] & 0x3F);
    if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
      i += 3;
      return c;
    }
  } else if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
    const char32_t c = (char32_t{b0} & 0x07) << 18 |
                       char32_t{s[i + 1] & 0x3Fu} << 12 |
                       char32_t{s[i + 2] & 0x3Fu} << 6 | (s[i + 3] & 0x3F);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      i += 4;
      return c;
    }
  }
  ++i;
  return 0xFFFD;
}

}  // namespace tarnwick::detail
