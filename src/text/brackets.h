// The span of a bracketed value, found without parsing it. (Private)
#pragma once

#include <cstddef>      // size_t
#include <string_view>  // string_view

namespace tarnwick::detail {

// End (one past) of the bracketed span that opens at text[start] ('[' or
// '{'): brackets of both kinds counted outside double-quoted strings; the
// end of the text when it never closes. Linear, and builds nothing, so the
// extraction search and the lenient pass can skip a span they will not read.
inline std::size_t bracket_span_end(std::string_view text,
                                    std::size_t start) noexcept {
  std::size_t depth = 0;
  bool in_string = false;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      ++depth;
    } else if ((c == ']' || c == '}') && --depth == 0) {
      return i + 1;
    }
  }
  return text.size();
}

}  // namespace tarnwick::detail
