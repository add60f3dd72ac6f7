// UTF-8 encoding shared by the strict reader's escapes and the tolerant
// parser's strings. (Private)
#pragma once

#include <cstddef>  // size_t
#include <string>   // string

namespace tarnwick::detail {

// Appends the UTF-8 form of the scalar value `c` (c <= U+10FFFF, no
// surrogate) to `out`.
inline void append_utf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
    return;
  }
  char buf[4];
  std::size_t n;
  if (c < 0x800) {
    buf[0] = static_cast<char>(0xC0 | (c >> 6));
    buf[1] = static_cast<char>(0x80 | (c & 0x3F));
    n = 2;
  } else if (c < 0x10000) {
    buf[0] = static_cast<char>(0xE0 | (c >> 12));
    buf[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    buf[2] = static_cast<char>(0x80 | (c & 0x3F));
    n = 3;
  } else {
    buf[0] = static_cast<char>(0xF0 | (c >> 18));
    buf[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    buf[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    buf[3] = static_cast<char>(0x80 | (c & 0x3F));
    n = 4;
  }
  out.append(buf, n);
}

}  // namespace tarnwick::detail
