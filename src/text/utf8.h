// UTF-8 encoding and decoding, and the surrogate-pair formula, for every
// parser of the engine. (Private)
#pragma once

#include <cstddef>      // size_t
#include <string>       // string
#include <string_view>  // string_view

namespace tarnwick::detail {

// The UTF-8 length of the scalar value `c` (no surrogate).
constexpr std::size_t utf8_length(char32_t c) noexcept {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// Writes the UTF-8 form of the scalar value `c` (c <= U+10FFFF, no
// surrogate) at `dst`; returns the end.
inline char* write_utf8(char32_t c, char* dst) noexcept {
  if (c < 0x80) {
    *dst++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *dst++ = static_cast<char>(0xC0 | (c >> 6));
    *dst++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *dst++ = static_cast<char>(0xE0 | (c >> 12));
    *dst++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *dst++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *dst++ = static_cast<char>(0xF0 | (c >> 18));
    *dst++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *dst++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *dst++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return dst;
}

// Appends the UTF-8 form of the scalar value `c` to `out`.
inline void append_utf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
    return;
  }
  char buf[4];
  out.append(buf, static_cast<std::size_t>(write_utf8(c, buf) - buf));
}

// The scalar value of a surrogate pair (high in D800..DBFF, low in
// DC00..DFFF).
constexpr char32_t combine_surrogates(char32_t high, char32_t low) noexcept {
  return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
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
