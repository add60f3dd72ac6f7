// Checks shared by the fuzz targets. A violated invariant aborts, so
// libFuzzer (and the replay main) report it like a crash, with the input.
#pragma once

#include <cstddef>      // size_t
#include <cstdio>       // fprintf, stderr
#include <cstdlib>      // abort
#include <string>       // string
#include <string_view>  // string_view

#include "tarnwick/reader.h"
#include "tarnwick/value.h"
#include "tarnwick/writer.h"

namespace tarnwick::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant violated: %s\n", file, line, what);
  std::abort();
}

// Unlike assert, stays on in release builds: the checks are the point.
#define TARNWICK_FUZZ_CHECK(cond) \
  ((cond) ? (void)0 : ::tarnwick::fuzz::fail(#cond, __FILE__, __LINE__))

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Well-formed UTF-8: no overlongs, no surrogates, nothing above U+10FFFF.
inline bool is_valid_utf8(std::string_view s) noexcept {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      len = 3;
      if (b0 == 0xE0) lo = 0xA0;
      if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      len = 4;
      if (b0 == 0xF0) lo = 0x90;
      if (b0 == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (n - i < len) return false;
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    if (b1 < lo || b1 > hi) return false;
    for (std::size_t k = 2; k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if (b < 0x80 || b > 0xBF) return false;
    }
    i += len;
  }
  return true;
}

// Open containers on the deepest path; 0 for a scalar.
inline std::size_t nesting_depth(const JsonValue& v) noexcept {
  std::size_t inner = 0;
  if (v.kind() == ValueKind::Array) {
    for (const JsonValue& item : v.as_array()) {
      const std::size_t d = nesting_depth(item);
      if (d > inner) inner = d;
    }
    return inner + 1;
  }
  if (v.kind() == ValueKind::Object) {
    for (const JsonObject::Entry& e : v.as_object()) {
      const std::size_t d = nesting_depth(e.value);
      if (d > inner) inner = d;
    }
    return inner + 1;
  }
  return 0;
}

// The canonical text of `value` is itself a strict document that reads back
// to an equal value and writes back to the same text. Returns that text.
inline std::string check_round_trip(const JsonValue& value) {
  std::string text = to_canonical_text(value);
  ReadResult<JsonValue> again = parse_document(text);
  TARNWICK_FUZZ_CHECK(again.ok());
  TARNWICK_FUZZ_CHECK(again.value() == value);
  TARNWICK_FUZZ_CHECK(to_canonical_text(again.value()) == text);
  return text;
}

}  // namespace tarnwick::fuzz
