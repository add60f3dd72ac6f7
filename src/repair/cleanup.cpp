// The text cleanup passes.
//
// The passes work on UTF-8 bytes rather than decoded code points: every
// character they act on (quote, backslash, comma, brackets, controls,
// backticks) is ASCII, and no byte of a multi-byte sequence is ASCII, so a
// byte scan gives the code-point result. Only White_Space needs its multi-byte
// forms, which white_space_length matches in place.

#include "repair/cleanup.h"

#include <cstddef>  // size_t
#include <cstdint>  // uint64_t
#include <cstring>  // memchr
#include <utility>  // move

#include "repair/unicode.h"
#include "tarnwick/reader.h"

namespace tarnwick::detail {

namespace {

// MARK: - Scanning (Private)

// The first byte in [p, end) that is a double quote, a backslash or below
// 0x20; `end` when there is none. The bytes that matter inside a string.
const char* find_string_special(const char* p, const char* end) noexcept {
  while (end - p >= 8) {
    const std::uint64_t v = load8(p);
    if ((swar_eq(v, '"') | swar_eq(v, '\\') | swar_control(v)) != 0) break;
    p += 8;
  }
  for (; p != end; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\' || c < 0x20) return p;
  }
  return end;
}

// The first double quote or backslash in [p, end); `end` when there is none.
const char* find_quote_or_backslash(const char* p, const char* end) noexcept {
  while (end - p >= 8) {
    const std::uint64_t v = load8(p);
    if ((swar_eq(v, '"') | swar_eq(v, '\\')) != 0) break;
    p += 8;
  }
  for (; p != end; ++p) {
    if (*p == '"' || *p == '\\') return p;
  }
  return end;
}

// The first double quote or comma in [p, end); `end` when there is none.
const char* find_quote_or_comma(const char* p, const char* end) noexcept {
  while (end - p >= 8) {
    const std::uint64_t v = load8(p);
    if ((swar_eq(v, '"') | swar_eq(v, ',')) != 0) break;
    p += 8;
  }
  for (; p != end; ++p) {
    if (*p == '"' || *p == ',') return p;
  }
  return end;
}

// True when some byte of [p, end) is below 0x20.
bool has_control(const char* p, const char* end) noexcept {
  while (end - p >= 32) {
    const std::uint64_t m =
        swar_control(load8(p)) | swar_control(load8(p + 8)) |
        swar_control(load8(p + 16)) | swar_control(load8(p + 24));
    if (m != 0) return true;
    p += 32;
  }
  for (; p != end; ++p) {
    if (static_cast<unsigned char>(*p) < 0x20) return true;
  }
  return false;
}

// The position just past the string literal whose content starts at `p`
// (after the opening quote), escapes followed; `end` when it never closes.
const char* skip_string_body(const char* p, const char* end) noexcept {
  for (;;) {
    p = find_quote_or_backslash(p, end);
    if (p == end) return end;
    if (*p == '"') return p + 1;
    // A backslash: the byte after it is taken without interpretation.
    p = (end - p >= 2) ? p + 2 : end;
  }
}

}  // namespace

// MARK: - Passes (Public)

std::string_view trim_whitespace(std::string_view text) noexcept {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p != end) {
    const std::size_t n = white_space_length(p, end);
    if (n == 0) break;
    p += n;
  }
  while (end != p) {
    // Step back to the first byte of the last code point (at most 3
    // continuation bytes), then test that code point.
    const char* q = end - 1;
    for (int k = 0;
         k < 3 && q != p && (static_cast<unsigned char>(*q) & 0xC0) == 0x80;
         ++k) {
      --q;
    }
    if (white_space_length(q, end) != static_cast<std::size_t>(end - q)) {
      break;
    }
    end = q;
  }
  return {p, static_cast<std::size_t>(end - p)};
}

std::optional<std::string> strip_fences(std::string_view text) {
  constexpr std::string_view kFence = "```";
  const std::string_view trimmed = trim_whitespace(text);
  if (!trimmed.starts_with(kFence)) return std::nullopt;
  std::string_view rest = trimmed.substr(kFence.size());
  std::size_t tag = 0;
  while (tag < rest.size()) {
    const char c = rest[tag];
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       (c >= '0' && c <= '9');
    if (!alnum) break;
    ++tag;
  }
  rest.remove_prefix(tag);
  if (rest.ends_with(kFence)) rest.remove_suffix(kFence.size());
  const std::string_view inner = trim_whitespace(rest);
  if (inner.empty()) return std::nullopt;
  return std::string(inner);
}

std::optional<std::string> strip_controls_if_changed(std::string_view text) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  // Only a byte below 0x20 can be changed; most texts have none in strings,
  // and many have none at all.
  if (!has_control(begin, end)) return std::nullopt;

  std::string out;
  bool building = false;
  const char* copied = begin;  // text before this is already in `out`
  const char* p = begin;
  while (p != end) {
    const auto* quote = static_cast<const char*>(
        std::memchr(p, '"', static_cast<std::size_t>(end - p)));
    if (quote == nullptr) break;
    p = quote + 1;
    // Inside a string literal.
    for (;;) {
      p = find_string_special(p, end);
      if (p == end) break;
      const auto c = static_cast<unsigned char>(*p);
      if (c == '"') {
        ++p;
        break;
      }
      if (c == '\\') {
        p = (end - p >= 2) ? p + 2 : end;
        continue;
      }
      if (!building) {
        out.reserve(text.size());
        building = true;
      }
      out.append(copied, p);
      if (c == '\t') {
        out.append("\\t");
      } else if (c == '\n') {
        out.append("\\n");
      } else if (c == '\r') {
        out.append("\\r");
      }
      ++p;
      copied = p;
    }
  }
  if (!building) return std::nullopt;
  out.append(copied, end);
  return out;
}

std::string strip_controls(std::string_view text) {
  std::optional<std::string> changed = strip_controls_if_changed(text);
  return changed ? std::move(*changed) : std::string(text);
}

std::optional<std::string> strip_trailing_commas_if_changed(
    std::string_view text) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  if (std::memchr(begin, ',', text.size()) == nullptr) return std::nullopt;

  std::string out;
  bool building = false;
  const char* copied = begin;
  const char* p = begin;
  for (;;) {
    p = find_quote_or_comma(p, end);
    if (p == end) break;
    if (*p == '"') {
      p = skip_string_body(p + 1, end);
      continue;
    }
    // A comma outside strings: look past White_Space. Each byte of that run
    // is looked at by this comma only, so the pass stays linear.
    const char* q = p + 1;
    while (q != end) {
      const std::size_t n = white_space_length(q, end);
      if (n == 0) break;
      q += n;
    }
    if (q == end || *q == '}' || *q == ']') {
      if (!building) {
        out.reserve(text.size());
        building = true;
      }
      out.append(copied, p);
      copied = p + 1;
    }
    ++p;
  }
  if (!building) return std::nullopt;
  out.append(copied, end);
  return out;
}

std::string strip_trailing_commas(std::string_view text) {
  std::optional<std::string> changed = strip_trailing_commas_if_changed(text);
  return changed ? std::move(*changed) : std::string(text);
}

std::optional<JsonValue> unwrap_double(const JsonValue& value) {
  if (value.kind() != ValueKind::String) return std::nullopt;
  return parse_container(value.as_string());
}

}  // namespace tarnwick::detail
