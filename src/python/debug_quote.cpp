#include "debug_quote.h"

#include <algorithm>  // std::lower_bound
#include <charconv>   // std::to_chars
#include <cstddef>    // std::size_t

namespace tarnwick {
namespace {

// A code point and the number of bytes it took; `length` 0 when the bytes
// form no well-formed UTF-8 sequence.
struct Decoded {
  char32_t code_point;
  std::size_t length;
};

// Decodes the sequence starting at s[i], which is a byte >= 0x80. Accepts
// only well-formed UTF-8: no overlong forms, surrogates, values above
// U+10FFFF or sequences cut short by the end of `s`.
Decoded decode_multibyte(std::string_view s, std::size_t i) noexcept {
  const auto byte_at = [s](std::size_t k) {
    return static_cast<unsigned char>(s[k]);
  };
  const unsigned char lead = byte_at(i);
  // Bounds of the second byte; they exclude overlongs, surrogates and
  // values past U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  std::size_t length = 0;
  char32_t code_point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {0, 0};
  }
  if (s.size() - i < length) return {0, 0};
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = byte_at(i + k);
    if (next < low || next > high) return {0, 0};
    low = 0x80;
    high = 0xBF;
    code_point = (code_point << 6) | (next & 0x3Fu);
  }
  return {code_point, length};
}

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
      const Decoded d = decode_multibyte(utf8, i);
      if (d.length != 0 && !needs_unicode_escape(d.code_point)) {
        i += d.length;
        continue;
      }
      flush_run();
      if (d.length == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD keeps the result valid UTF-8
      } else {
        append_unicode_escape(out, d.code_point);
        length = d.length;
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
