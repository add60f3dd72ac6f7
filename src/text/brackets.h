// The span of a bracketed value, found without parsing it. (Private)
#pragma once

#include <cstddef>      // size_t
#include <string_view>  // string_view

#include "text/swar.h"

namespace tarnwick::detail {

// End (one past) of the bracketed span that opens at text[start] ('[' or
// '{'): brackets of both kinds counted outside double-quoted strings; the
// end of the text when it never closes. Linear, and builds nothing, so the
// extraction search and the lenient pass can skip a span they will not read.
inline std::size_t bracket_span_end(std::string_view text,
                                    std::size_t start) noexcept {
  const char* const first = text.data();
  const char* const end = first + text.size();
  const char* p = first + start;
  std::size_t depth = 0;
  // Jumps from one quotation mark or bracket to the next, and through a
  // string from one quotation mark or backslash to the next (a control
  // byte stops the scan too, and is passed over).
  while ((p = find_quote_or_bracket(p, end)) != end) {
    const char c = *p++;
    if (c == '"') {
      while ((p = find_string_special(p, end)) != end && *p != '"') {
        p += *p == '\\' ? 2 : 1;
        if (p >= end) return text.size();
      }
      if (p == end) return text.size();
      ++p;
    } else if (c == '[' || c == '{') {
      ++depth;
    } else if (--depth == 0) {
      return static_cast<std::size_t>(p - first);
    }
  }
  return text.size();
}

}  // namespace tarnwick::detail
