// {\"a\": 1}: a document whose quotes carry the backslashes of one more
// level of encoding, unescaped once and read again.

#include <cstddef>  // size_t
#include <cstdint>  // uint32_t
#include <string>   // string

#include "lenient/pass.h"
#include "text/chars.h"  // is_json_ws
#include "text/hex.h"
#include "text/utf8.h"  // append_utf8

namespace tarnwick::detail::lenient {
namespace {

// `t` with one level of escapes undone: \n, \t and the like become their
// characters, \uXXXX its character (a surrogate stays an escape, for the
// second reading), \" \\ \/ and the rest the character itself.
std::string unescape_once(std::string_view t) {
  std::string plain;
  plain.reserve(t.size());
  const std::size_t n = t.size();
  for (std::size_t k = 0; k < n; ++k) {
    const char c = t[k];
    if (c != '\\' || k + 1 >= n) {
      plain.push_back(c);
      continue;
    }
    const char e = t[++k];
    if (e == 'u') {
      std::uint32_t code = 0;
      if (read_hex_digits(t.data() + k + 1, t.data() + n, code) == 4 &&
          !is_high_surrogate(code) && !is_low_surrogate(code)) {
        append_utf8(static_cast<char32_t>(code), plain);
        k += 4;
      } else {
        plain += "\\u";
      }
    } else if (const char s = simple_escape(static_cast<unsigned char>(e))) {
      plain.push_back(s);
    } else {
      plain.push_back(e);
    }
  }
  return plain;
}

}  // namespace

LenientText Pass::unescape_and_rerun() const {
  const std::string plain = unescape_once(t_);
  Pass again(plain, scope_, /*may_unescape=*/false);
  LenientText result = again.run();
  if (!result.found) return LenientText{};
  if (!result.changed) {
    result.text = plain.substr(result.begin, result.end - result.begin);
    result.changed = true;
  }
  result.fixes |= fix_bit(Fix::EscapedDocument);
  // Offsets of the second reading do not map back: the span is the text's
  // own, from its first value to its last non-blank byte.
  result.begin = top_.first_start;
  result.end = n_;
  while (result.end > result.begin &&
         is_json_ws(static_cast<unsigned char>(t_[result.end - 1]))) {
    --result.end;
  }
  return result;
}

}  // namespace tarnwick::detail::lenient
