#include "debug_quote.h"

#include <algorithm>  // std::lower_bound
#include <charconv>   // std::to_chars
#include <cstddef>    // std::size_t

#include "text/utf8.h"  // decode_utf8

namespace tarnwick {
namespace {

bool in_ranges(std::span<const detail::CodePointRange> ranges,
               char32_t code_point) noexcept {
  const auto it = std::lower_bound(
      ranges.begin(), ranges.end(), code_point,
      [](const detail::CodePointRange& r, char32_t c) { return r.last < c; });
  return it != ranges.end() && it->first <= code_point;
}

// True for a non-ASCII code point that is shown as \u{...}.
bool needs_unicode_escape(char32_t code_point) noexcept {
  // No code point below U+0300 has Grapheme_Extend.
  return in_ranges(detail::not_printable_ranges(), code_point) ||
         (code_point >= 0x300 &&
          in_ranges(detail::grapheme_extend_ranges(), code_point));
}

void append_unicode_escape(std::string& out, char32_t code_point) {
  char hex[8];  // six hex digits at most
  // Lowercase, no leading zeros.
  const auto result = std::to_chars(hex, hex + sizeof hex,
                                    static_cast<unsigned long>(code_point), 16);
  out += "\\u{";
  out.append(hex, result.ptr);
  out += '}';
}

}  // namespace

std::string debug_quote(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out += '"';
  std::size_t run_start = 0;  // first byte not yet copied to `out`
  std::size_t i = 0;
  const auto flush_run = [&] { out.append(utf8, run_start, i - run_start); };
  while (i < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
      ++i;  // printable ASCII: stays in the run
      continue;
    }
    std::size_t length = 1;
    if (byte >= 0x80) {
      // A byte of 0x80 or more decoded alone starts no well-formed sequence.
      std::size_t next = i;
      const char32_t code_point = detail::decode_utf8(utf8, next);
      const bool well_formed = next - i > 1;
      if (well_formed && !needs_unicode_escape(code_point)) {
        i = next;
        continue;
      }
      flush_run();
      if (!well_formed) {
        out += "\xEF\xBF\xBD";  // U+FFFD keeps the result valid UTF-8
      } else {
        append_unicode_escape(out, code_point);
        length = next - i;
      }
    } else {
      flush_run();
      switch (byte) {
        case 0x00:
          out += "\\0";
          break;
        case '\t':
          out += "\\t";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        default:
          append_unicode_escape(out, byte);
          break;
      }
    }
    i += length;
    run_start = i;
  }
  flush_run();
  out += '"';
  return out;
}

}  // namespace tarnwick
